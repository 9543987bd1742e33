#include "SystemCatalog.h"

#include "SqliteConnection.h"
#include "TsqlConversions.h"
#include "TsqlTranslator.h"

#include <QDateTime>
#include <QFileInfo>
#include <sqlite3.h>

namespace sandbox {

namespace {

QString creationTime(const QString& file)
{
    const QFileInfo info(file);
    QDateTime time = info.birthTime();
    if (!time.isValid())
        time = info.lastModified();
    if (!time.isValid())
        time = QDateTime::currentDateTime();
    // Wall-clock time as the server's clock shows it.
    return TsqlConversions::storedDateTime(QDateTime(time.date(), time.time(), Qt::UTC));
}

// Runs the statement for every row of values; false with SQLite's message.
bool insertRows(SqliteConnection& connection, const QString& sql, const QList<QVariantList>& rows, SqlError* error)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection.handle(), sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = makeSqlError(50000, 16, QString::fromUtf8(sqlite3_errmsg(connection.handle())));
        return false;
    }
    bool ok = true;
    for (const QVariantList& row : rows) {
        sqlite3_reset(statement);
        for (int i = 0; i < row.size(); ++i) {
            const QVariant& value = row.at(i);
            if (value.typeId() == QMetaType::QString) {
                const QByteArray text = value.toString().toUtf8();
                sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_int64(statement, i + 1, value.toLongLong());
            }
        }
        if (sqlite3_step(statement) != SQLITE_DONE) {
            *error = makeSqlError(50000, 16, QString::fromUtf8(sqlite3_errmsg(connection.handle())));
            ok = false;
            break;
        }
    }
    sqlite3_finalize(statement);
    return ok;
}

bool prepareTable(SqliteConnection& connection, const QString& table, const QString& columns, SqlError* error)
{
    QString message;
    if (!connection.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (%2); DELETE FROM temp.%1;")
                                .arg(table, columns),
                            &message)) {
        *error = makeSqlError(50000, 16, message);
        return false;
    }
    return true;
}

}  // namespace

qint32 SystemCatalog::objectId(const QString& name)
{
    // FNV-1a over the folded name.
    quint32 hash = 2166136261u;
    for (const QChar c : name.toCaseFolded()) {
        hash ^= c.unicode();
        hash *= 16777619u;
    }
    return qint32(hash & 0x7fffffff) | 1;
}

bool SystemCatalog::sysobjects(SqliteConnection& connection, QString* table, SqlError* error)
{
    const QString collate = QStringLiteral(" COLLATE ") + TsqlTranslator::quoteName(QLatin1String(TsqlTranslator::collationName()));
    const QString name = TsqlTranslator::quoteName(QStringLiteral("sandbox_sysobjects"));
    if (!prepareTable(connection, name,
                      QStringLiteral("name nvarchar(128)%1, id int, xtype char(2)%1, uid smallint, parent_obj int, "
                                     "crdate datetime, type char(2)%1")
                          .arg(collate),
                      error))
        return false;

    sqlite3_stmt* statement = nullptr;
    const QString sql = QStringLiteral("SELECT name, type FROM main.sqlite_master WHERE type IN ('table', 'view')");
    if (sqlite3_prepare_v2(connection.handle(), sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = makeSqlError(50000, 16, QString::fromUtf8(sqlite3_errmsg(connection.handle())));
        return false;
    }
    const QString created = creationTime(connection.file());
    QList<QVariantList> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const QString object = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        if (object.startsWith(QLatin1String("sqlite_")))
            continue;
        // char(2) holds the one-letter type with a trailing blank, as on the server.
        const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)))
                == QLatin1String("view") ? QStringLiteral("V ") : QStringLiteral("U ");
        rows.append({object, qint64(objectId(object)), type, qint64(1), qint64(0), created, type});
    }
    sqlite3_finalize(statement);
    if (!insertRows(connection, QStringLiteral("INSERT INTO temp.%1 VALUES (?, ?, ?, ?, ?, ?, ?)").arg(name), rows, error))
        return false;
    *table = QStringLiteral("temp.") + name;
    return true;
}

bool SystemCatalog::sysdatabases(SqliteConnection& connection, const DataDirectory& directory, QString* table,
                                 SqlError* error)
{
    const QString collate = QStringLiteral(" COLLATE ") + TsqlTranslator::quoteName(QLatin1String(TsqlTranslator::collationName()));
    const QString name = TsqlTranslator::quoteName(QStringLiteral("sandbox_sysdatabases"));
    if (!prepareTable(connection, name,
                      QStringLiteral("name nvarchar(128)%1, dbid smallint, crdate datetime, cmptlevel tinyint, "
                                     "filename nvarchar(260)%1")
                          .arg(collate),
                      error))
        return false;
    QList<QVariantList> rows;
    qint64 dbid = 5;  // 2 to 4 are the server's own tempdb, model and msdb
    for (const QString& database : directory.databases()) {
        const QString file = directory.fileFor(database);
        const bool master = database.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0;
        rows.append({database, master ? qint64(1) : dbid++, creationTime(file), qint64(100), file});
    }
    if (!insertRows(connection, QStringLiteral("INSERT INTO temp.%1 VALUES (?, ?, ?, ?, ?)").arg(name), rows, error))
        return false;
    *table = QStringLiteral("temp.") + name;
    return true;
}

}  // namespace sandbox
