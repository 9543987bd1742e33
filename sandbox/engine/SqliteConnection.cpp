#include "SqliteConnection.h"

#include "TsqlFunctions.h"

#include <sqlite3.h>

namespace sandbox {

SqliteConnection::~SqliteConnection()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

std::shared_ptr<SqliteConnection> SqliteConnection::open(const QString& file, QString* error)
{
    std::shared_ptr<SqliteConnection> connection(new SqliteConnection);
    connection->m_file = file;
    // Each handle is used by one thread at a time: a session on the server thread, a fixture on a test's.
    const int rc = sqlite3_open_v2(file.toUtf8().constData(), &connection->m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = connection->m_db ? QString::fromUtf8(sqlite3_errmsg(connection->m_db)) : QStringLiteral("out of memory");
        return nullptr;
    }
    // Another connection may be writing the same file; wait for it rather than fail at once.
    sqlite3_busy_timeout(connection->m_db, 5000);
    sqlite3_extended_result_codes(connection->m_db, 0);
    // A double-quoted name is always a name: SQLite would otherwise read an unknown one as a string.
    sqlite3_db_config(connection->m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(connection->m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    connection->m_collator = QCollator(QLocale(QLocale::Chinese, QLocale::China));
    connection->m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    QString ignored;
    connection->execute(QStringLiteral("PRAGMA synchronous=NORMAL"), &ignored);
    TsqlFunctions::install(*connection);
    return connection;
}

std::optional<SqlError> SqliteConnection::takeRaised()
{
    std::optional<SqlError> raised;
    raised.swap(m_raised);
    return raised;
}

int SqliteConnection::compare(QStringView a, QStringView b) const
{
    while (!a.isEmpty() && a.back() == QLatin1Char(' '))
        a.chop(1);
    while (!b.isEmpty() && b.back() == QLatin1Char(' '))
        b.chop(1);
    if (a == b)
        return 0;
    return m_collator.compare(a, b);
}

bool SqliteConnection::execute(const QString& sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    *error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return false;
}

bool SqliteConnection::attach(const QString& database, const QString& file, QString* schema, QString* error)
{
    const QString key = database.toLower();
    const auto found = m_attached.constFind(key);
    if (found != m_attached.constEnd()) {
        *schema = found.value();
        return true;
    }
    const QString name = QStringLiteral("db%1").arg(m_attached.size() + 1);
    sqlite3_stmt* statement = nullptr;
    const QByteArray sql = QStringLiteral("ATTACH DATABASE ? AS \"%1\"").arg(name).toUtf8();
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }
    const QByteArray path = file.toUtf8();
    sqlite3_bind_text(statement, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }
    m_attached.insert(key, name);
    *schema = name;
    return true;
}

}  // namespace sandbox
