#include "OdbcStatement.h"

#include "Connection.h"
#include "DbError.h"
#include "OdbcDiagnostics.h"
#include "OdbcHandles.h"
#include "OdbcText.h"
#include "ServerCall.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace db {

namespace {

// Large enough for most values in one call, small enough that long ones take the loop.
constexpr SQLLEN ChunkUnits = 1024;

}  // namespace

OdbcStatement::OdbcStatement(std::shared_ptr<OdbcHandles> handles)
    : m_handles(std::move(handles))
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->connection(), &m_statement))) {
        const DbError error =
            OdbcDiagnostics::error(SQL_HANDLE_DBC, m_handles->connection(), QStringLiteral("无法分配 ODBC 语句句柄。"));
        m_statement = SQL_NULL_HSTMT;
        throw error;
    }
    // The text reaches the server as written: no {fn ...} or {d ...} rewriting by the driver.
    SQLSetStmtAttrW(m_statement, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_NOSCAN_ON)),
                    0);
    SQLSetStmtAttrW(m_statement, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(Connection::statementTimeout())), 0);
}

OdbcStatement::~OdbcStatement()
{
    if (m_statement == SQL_NULL_HSTMT)
        return;
    ServerCall::InFlight::release(m_statement);
    SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
}

void OdbcStatement::fail(const QString& fallback)
{
    const auto records = OdbcDiagnostics::read(SQL_HANDLE_STMT, m_statement);
    const DbError error = OdbcDiagnostics::error(records, fallback);
    const bool lost = m_handles->noteFailure(records);
    // The server may have done all, part or none of it: say so, and never send it again.
    if (error.sqlState() == QLatin1String("HYT00") || error.sqlState() == QLatin1String("HYT01"))
        throw DbError(QStringLiteral("服务器在 %1 秒内没有应答，语句的执行结果未知。\n").arg(Connection::statementTimeout())
                          + error.description(),
                      error.sqlState(), error.nativeError());
    if (lost)
        throw OdbcHandles::linkLostError(error);
    throw error;
}

void OdbcStatement::execute(const QString& sql)
{
    const ServerCall::InFlight inFlight(m_statement);
    const SQLRETURN rc = SQLExecDirectW(m_statement, OdbcText::in(sql), OdbcText::length(sql));
    // SQL_NO_DATA: the first statement touched no rows; later results may still follow.
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        fail(QStringLiteral("语句执行失败。"));
}

bool OdbcStatement::seekRows()
{
    for (;;) {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_statement, &columns)))
            fail(QStringLiteral("无法读取结果的列数。"));
        if (columns > 0)
            return true;
        if (!nextResult())
            return false;
    }
}

bool OdbcStatement::nextResult()
{
    const ServerCall::InFlight inFlight(m_statement);
    const SQLRETURN rc = SQLMoreResults(m_statement);
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        fail(QStringLiteral("语句执行失败。"));
    return true;
}

void OdbcStatement::drain()
{
    while (nextResult()) {
    }
}

QVector<OdbcStatement::Column> OdbcStatement::describe()
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(m_statement, &count)))
        fail(QStringLiteral("无法读取结果的列数。"));
    QVector<Column> columns;
    columns.reserve(count);
    for (SQLUSMALLINT position = 1; position <= count; ++position) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0;
        Column column;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(m_statement, position, name, 512, &nameLength, &column.type, &column.size,
                                           &column.scale, &nullable)))
            fail(QStringLiteral("无法读取结果的列信息。"));
        column.name = OdbcText::out(name, qMin<qsizetype>(nameLength, 511));
        columns.append(column);
    }
    return columns;
}

bool OdbcStatement::fetch()
{
    const ServerCall::InFlight inFlight(m_statement);
    const SQLRETURN rc = SQLFetch(m_statement);
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        fail(QStringLiteral("无法读取结果行。"));
    return true;
}

QVector<QVariant> OdbcStatement::row(const QVector<Column>& columns)
{
    QVector<QVariant> values;
    values.reserve(columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i)
        values.append(value(static_cast<SQLUSMALLINT>(i + 1), columns[i]));
    return values;
}

template <typename T>
bool OdbcStatement::fixed(SQLUSMALLINT position, SQLSMALLINT cType, T& target)
{
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(m_statement, position, cType, &target, sizeof(T), &indicator)))
        fail(QStringLiteral("无法读取字段值。"));
    return indicator != SQL_NULL_DATA;
}

QVariant OdbcStatement::value(SQLUSMALLINT position, const Column& column)
{
    switch (column.type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
        SQLBIGINT number = 0;
        return fixed(position, SQL_C_SBIGINT, number) ? QVariant(qint64(number)) : QVariant();
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        if (column.scale == 0 && column.size <= 18) {
            SQLBIGINT number = 0;
            return fixed(position, SQL_C_SBIGINT, number) ? QVariant(qint64(number)) : QVariant();
        }
        [[fallthrough]];
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        SQLDOUBLE number = 0;
        return fixed(position, SQL_C_DOUBLE, number) ? QVariant(double(number)) : QVariant();
    }
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT stamp = {};
        if (!fixed(position, SQL_C_TYPE_TIMESTAMP, stamp))
            return {};
        return QDateTime(QDate(stamp.year, stamp.month, stamp.day),
                         QTime(stamp.hour, stamp.minute, stamp.second, int(stamp.fraction / 1000000)));
    }
    case SQL_TYPE_DATE:
    case SQL_DATE: {
        SQL_DATE_STRUCT date = {};
        return fixed(position, SQL_C_TYPE_DATE, date) ? QVariant(QDate(date.year, date.month, date.day)) : QVariant();
    }
    case SQL_TYPE_TIME:
    case SQL_TIME: {
        SQL_TIME_STRUCT time = {};
        return fixed(position, SQL_C_TYPE_TIME, time) ? QVariant(QTime(time.hour, time.minute, time.second))
                                                      : QVariant();
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return bytes(position);
    default:
        return text(position);
    }
}

QVariant OdbcStatement::text(SQLUSMALLINT position)
{
    QString text = QLatin1String("");
    SQLWCHAR chunk[ChunkUnits];
    const SQLLEN chunkBytes = sizeof(chunk);
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_statement, position, SQL_C_WCHAR, chunk, chunkBytes, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            fail(QStringLiteral("无法读取字段值。"));
        if (indicator == SQL_NULL_DATA)
            return {};
        // Cut short: the buffer is full but for its terminator, and the rest comes with the next call.
        const bool partial = rc == SQL_SUCCESS_WITH_INFO
            && (indicator == SQL_NO_TOTAL || indicator >= chunkBytes - SQLLEN(sizeof(SQLWCHAR)));
        const qsizetype units = partial ? ChunkUnits - 1 : qsizetype(indicator / SQLLEN(sizeof(SQLWCHAR)));
        text += OdbcText::out(chunk, units);
        if (!partial)
            break;
    }
    return text;
}

QVariant OdbcStatement::bytes(SQLUSMALLINT position)
{
    QByteArray data(0, '\0');
    char chunk[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_statement, position, SQL_C_BINARY, chunk, sizeof(chunk), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            fail(QStringLiteral("无法读取字段值。"));
        if (indicator == SQL_NULL_DATA)
            return {};
        const bool partial =
            rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > SQLLEN(sizeof(chunk)));
        data.append(chunk, partial ? qsizetype(sizeof(chunk)) : qsizetype(indicator));
        if (!partial)
            break;
    }
    return data;
}

}  // namespace db
