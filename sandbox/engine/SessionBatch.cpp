#include "SessionBatch.h"

#include "DeclaredType.h"
#include "SystemCatalog.h"
#include "TsqlConversions.h"
#include "TsqlTranslator.h"

#include <sqlite3.h>

namespace sandbox {

namespace {

bool inRange(SqlType type, qint64 value)
{
    const DeclaredType declared = DeclaredType::fromName(sqlTypeName(type));
    return value >= declared.minimum() && value <= declared.maximum();
}

QString columnText(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

}  // namespace

SessionBatch::SessionBatch(std::shared_ptr<SessionState> state, std::vector<TsqlStatement> statements)
    : m_state(std::move(state))
    , m_statements(std::move(statements))
{
    for (const TsqlStatement& statement : m_statements)
        m_pending.push_back(&statement);
}

SessionBatch::SessionBatch(std::shared_ptr<SessionState> state, const SqlError& error)
    : SessionBatch(std::move(state), std::vector<TsqlStatement>())
{
    fail(error);
}

SessionBatch::~SessionBatch()
{
    finishQuery();
}

bool SessionBatch::next(BatchEvent& event)
{
    for (;;) {
        if (!m_events.empty()) {
            event = std::move(m_events.front());
            m_events.pop_front();
            return true;
        }
        if (m_finished)
            return false;
        if (m_query) {
            stepQuery();
            continue;
        }
        if (m_pending.empty()) {
            m_finished = true;
            return false;
        }
        const TsqlStatement* statement = m_pending.front();
        m_pending.pop_front();
        runStatement(*statement);
    }
}

// ---- statements ---------------------------------------------------------------------------

void SessionBatch::runStatement(const TsqlStatement& statement)
{
    if (!m_state->connection) {
        fail(makeSqlError(4060, 11, QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                                     .arg(m_state->database)));
        return;
    }
    m_state->connection->takeRaised();
    switch (statement.kind) {
    case TsqlStatement::Kind::Select:
        runQuery(statement);
        break;
    case TsqlStatement::Kind::Insert:
    case TsqlStatement::Kind::Update:
    case TsqlStatement::Kind::Delete:
        runChange(statement, true);
        break;
    case TsqlStatement::Kind::CreateTable:
    case TsqlStatement::Kind::DropTable:
        runChange(statement, false);
        break;
    case TsqlStatement::Kind::If:
        runIf(statement);
        break;
    }
}

void SessionBatch::runIf(const TsqlStatement& statement)
{
    sqlite3_stmt* condition = nullptr;
    if (!prepare(statement, &condition))
        return;
    const int rc = sqlite3_step(condition);
    if (rc != SQLITE_ROW) {
        const SqlError error = stepError(statement);
        sqlite3_finalize(condition);
        fail(error);
        return;
    }
    const bool holds = sqlite3_column_int(condition, 0) != 0;
    sqlite3_finalize(condition);
    if (holds)
        m_pending.push_front(&statement.branches.at(0));
    else
        pushDone();
}

void SessionBatch::runChange(const TsqlStatement& statement, bool counted)
{
    sqlite3_stmt* prepared = nullptr;
    if (!prepare(statement, &prepared))
        return;
    int rc;
    while ((rc = sqlite3_step(prepared)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        // SQLite has rolled the statement back: a failing statement changes nothing.
        const SqlError error = stepError(statement);
        sqlite3_finalize(prepared);
        fail(error);
        return;
    }
    const qint64 changes = sqlite3_changes64(m_state->connection->handle());
    sqlite3_finalize(prepared);
    pushDone(counted, counted ? changes : 0);
}

void SessionBatch::runQuery(const TsqlStatement& statement)
{
    if (!prepare(statement, &m_query))
        return;
    m_queryStatement = &statement;
    m_rows = 0;
    const int rc = sqlite3_step(m_query);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const SqlError error = stepError(statement);
        finishQuery();
        fail(error);
        return;
    }
    m_columns = describeColumns(statement, rc == SQLITE_ROW);
    BatchEvent columns;
    columns.kind = BatchEvent::Kind::Columns;
    columns.columns = m_columns;
    m_events.push_back(columns);
    if (rc == SQLITE_DONE) {
        finishQuery();
        pushDone(true, 0);
        return;
    }
    BatchEvent row;
    row.kind = BatchEvent::Kind::Row;
    SqlError error;
    if (!readRow(&row.row, &error)) {
        fail(error);
        return;
    }
    m_rows = 1;
    m_events.push_back(row);
}

void SessionBatch::stepQuery()
{
    const int rc = sqlite3_step(m_query);
    if (rc == SQLITE_ROW) {
        BatchEvent row;
        row.kind = BatchEvent::Kind::Row;
        SqlError error;
        if (!readRow(&row.row, &error)) {
            fail(error);
            return;
        }
        ++m_rows;
        m_events.push_back(std::move(row));
    } else if (rc == SQLITE_DONE) {
        finishQuery();
        pushDone(true, m_rows);
    } else {
        const SqlError error = stepError(*m_queryStatement);
        fail(error);
    }
}

// ---- helpers ------------------------------------------------------------------------------

bool SessionBatch::prepare(const TsqlStatement& statement, sqlite3_stmt** prepared)
{
    QString sql;
    SqlError error;
    if (!TsqlTranslator::bind(statement, *this, &sql, &error)) {
        fail(error);
        return false;
    }
    sqlite3* db = m_state->connection->handle();
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, prepared, nullptr) != SQLITE_OK) {
        const SqlError mapped = TsqlTranslator::sqliteError(statement, QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_finalize(*prepared);
        *prepared = nullptr;
        fail(mapped);
        return false;
    }
    return true;
}

SqlError SessionBatch::stepError(const TsqlStatement& statement)
{
    const std::shared_ptr<SqliteConnection>& connection = m_state->connection;
    if (std::optional<SqlError> raised = connection->takeRaised())
        return *raised;
    return TsqlTranslator::sqliteError(statement, QString::fromUtf8(sqlite3_errmsg(connection->handle())));
}

QVector<ColumnInfo> SessionBatch::describeColumns(const TsqlStatement& statement, bool hasRow)
{
    const int count = sqlite3_column_count(m_query);
    const bool hinted = statement.columnHints.size() == count;
    QVector<ColumnInfo> columns;
    columns.reserve(count);
    for (int i = 0; i < count; ++i) {
        ColumnInfo column;
        column.name = QString::fromUtf8(sqlite3_column_name(m_query, i));
        const char* declared = sqlite3_column_decltype(m_query, i);
        const DeclaredType type = declared ? DeclaredType::parse(QString::fromUtf8(declared)) : DeclaredType();
        if (hinted && statement.columnHints.at(i).known) {
            column.type = statement.columnHints.at(i).type;
            column.size = statement.columnHints.at(i).size;
        } else if (type.isValid()) {
            column.type = type.wireType();
            column.size = type.wireSize();
        } else if (hasRow && sqlite3_column_type(m_query, i) == SQLITE_INTEGER) {
            column.type = inRange(SqlType::Int, sqlite3_column_int64(m_query, i)) ? SqlType::Int : SqlType::BigInt;
        } else if (hasRow && sqlite3_column_type(m_query, i) == SQLITE_FLOAT) {
            column.type = SqlType::Float;
        } else {
            column.type = SqlType::NVarChar;
            column.size = 4000;
        }
        columns.append(column);
    }
    return columns;
}

bool SessionBatch::readRow(QVector<QVariant>* row, SqlError* error)
{
    row->resize(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        const ColumnInfo& column = m_columns.at(i);
        const int storage = sqlite3_column_type(m_query, i);
        QVariant& value = (*row)[i];
        if (storage == SQLITE_NULL) {
            value = QVariant();
            continue;
        }
        switch (column.type) {
        case SqlType::TinyInt:
        case SqlType::SmallInt:
        case SqlType::Int:
        case SqlType::BigInt:
        case SqlType::Bit: {
            qint64 v = 0;
            if (storage == SQLITE_INTEGER) {
                v = sqlite3_column_int64(m_query, i);
            } else if (storage == SQLITE_FLOAT) {
                v = qint64(sqlite3_column_double(m_query, i));
            } else {
                const QString text = columnText(m_query, i);
                if (TsqlConversions::parseInteger(text, &v) != TsqlConversions::IntegerParse::Ok) {
                    *error = TsqlConversions::conversionFailed(text, sqlTypeName(column.type));
                    return false;
                }
            }
            if (column.type == SqlType::Bit)
                v = v != 0 ? 1 : 0;
            if (!inRange(column.type, v)) {
                *error = makeSqlError(8115, 16, QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
                                                 .arg(sqlTypeName(column.type)));
                return false;
            }
            value = v;
            break;
        }
        case SqlType::Float:
            if (storage == SQLITE_TEXT) {
                bool ok = false;
                value = columnText(m_query, i).trimmed().toDouble(&ok);
                if (!ok) {
                    *error = makeSqlError(8114, 16, QStringLiteral("Error converting data type varchar to float."));
                    return false;
                }
            } else {
                value = sqlite3_column_double(m_query, i);
            }
            break;
        case SqlType::DateTime: {
            QVariant stored = columnText(m_query, i);
            if (storage != SQLITE_TEXT) {
                const QVariant days = storage == SQLITE_INTEGER ? QVariant(qint64(sqlite3_column_int64(m_query, i)))
                                                                : QVariant(sqlite3_column_double(m_query, i));
                if (!TsqlConversions::convert(days, DeclaredType::fromName(QStringLiteral("datetime")),
                                              TsqlConversions::Mode::Cast, -1, &stored, error))
                    return false;
            }
            const std::optional<QDateTime> parsed = TsqlConversions::parseDateTime(stored.toString());
            if (!parsed) {
                *error = makeSqlError(241, 16, QStringLiteral("Conversion failed when converting date and/or time from character string."));
                return false;
            }
            value = *parsed;
            break;
        }
        case SqlType::VarChar:
        case SqlType::NVarChar: {
            QString text;
            if (storage == SQLITE_INTEGER)
                text = QString::number(sqlite3_column_int64(m_query, i));
            else if (storage == SQLITE_FLOAT)
                text = TsqlConversions::numberText(sqlite3_column_double(m_query, i));
            else
                text = columnText(m_query, i);
            // Never more than the column announced: the wire format depends on it.
            if (column.size > 0) {
                if (column.type == SqlType::NVarChar && text.size() > column.size)
                    text.truncate(column.size);
                else if (column.type == SqlType::VarChar && TsqlConversions::varcharBytes(text) > column.size)
                    text = TsqlConversions::leftBytes(text, column.size);
            }
            value = text;
            break;
        }
        }
    }
    return true;
}

void SessionBatch::pushDone(bool hasRowCount, qint64 rowCount)
{
    BatchEvent done;
    done.kind = BatchEvent::Kind::Done;
    done.hasRowCount = hasRowCount;
    done.rowCount = rowCount;
    m_events.push_back(done);
}

void SessionBatch::fail(const SqlError& error)
{
    finishQuery();
    m_pending.clear();
    BatchEvent failure;
    failure.kind = BatchEvent::Kind::Error;
    failure.error = error;
    m_events.push_back(failure);
    BatchEvent done;
    done.kind = BatchEvent::Kind::Done;
    done.failed = true;
    m_events.push_back(done);
    m_finished = true;
}

void SessionBatch::finishQuery()
{
    if (m_query) {
        sqlite3_finalize(m_query);
        m_query = nullptr;
    }
    m_queryStatement = nullptr;
}

// ---- binding ------------------------------------------------------------------------------

bool SessionBatch::resolveTable(const TsqlTableRef& ref, QString* sql, SqlError* error)
{
    const QString name = ref.name.toLower();
    // The server's catalogue of databases answers from any database.
    if (!ref.target && name == QLatin1String("sysdatabases")) {
        if (!SystemCatalog::sysdatabases(*m_state->connection, m_state->directory, sql, error))
            return false;
    } else if (!ref.database.isEmpty() && ref.database.compare(m_state->database, Qt::CaseInsensitive) != 0) {
        *error = makeSqlError(50000, 16, QStringLiteral("Tables of another database, such as '%1', are not served by this server.")
                                          .arg(ref.written));
        return false;
    } else if (!ref.target && name == QLatin1String("sysobjects")) {
        if (!SystemCatalog::sysobjects(*m_state->connection, sql, error))
            return false;
    } else {
        *sql = QStringLiteral("main.") + TsqlTranslator::quoteName(ref.name);
        return true;
    }
    // A catalogue view keeps the name it was written with, so "sysobjects.name" still binds.
    if (!ref.aliased)
        *sql += QStringLiteral(" AS ") + TsqlTranslator::quoteName(ref.name);
    return true;
}

bool SessionBatch::tableColumns(const TsqlTableRef& ref, QVector<QPair<QString, QString>>* columns, SqlError* error)
{
    QString table;
    if (!resolveTable(ref, &table, error))
        return false;
    const QString sql = QStringLiteral("PRAGMA main.table_info(%1)").arg(TsqlTranslator::quoteName(ref.name));
    sqlite3* db = m_state->connection->handle();
    sqlite3_stmt* info = nullptr;
    columns->clear();
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &info, nullptr) == SQLITE_OK) {
        while (sqlite3_step(info) == SQLITE_ROW)
            columns->append({columnText(info, 1), columnText(info, 2)});
    }
    sqlite3_finalize(info);
    if (columns->isEmpty()) {
        *error = makeSqlError(208, 16, QStringLiteral("Invalid object name '%1'.").arg(ref.written));
        return false;
    }
    return true;
}

}  // namespace sandbox
