#include "OdbcFloor.h"

#include "app/PublicADO.h"
#include "db/AdoConnectionString.h"
#include "db/DriverCatalog.h"
#include "db/OdbcConnectionString.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace {

SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<SQLWCHAR*>(const_cast<QChar*>(text.constData()));
}

}  // namespace

OdbcFloor::OdbcFloor()
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_environment)))
        throw std::runtime_error("no ODBC environment");
    SQLSetEnvAttr(m_environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
}

OdbcFloor::~OdbcFloor()
{
    disconnect();
    SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
}

void OdbcFloor::fail(SQLSMALLINT handleType, SQLHANDLE handle, const char* what)
{
    std::string message = what;
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRecA(handleType, handle, 1, state, &native, text, sizeof(text), &length)))
        message += std::string(": ") + reinterpret_cast<const char*>(text);
    throw std::runtime_error(message);
}

void OdbcFloor::connect(const QString& database, const QString& server, const QString& password)
{
    disconnect();
    const db::AdoConnectionString ado(PublicADO::ConnectionString(database, server));
    const db::DriverChoice driver = db::DriverCatalog::chooseOrThrow(
        db::DriverCatalog::installedDrivers(m_environment), db::DriverCatalog::currentPlatform());
    const QString text = db::OdbcConnectionString::build(driver, ado, PublicADO::UserId(), password);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_environment, &m_connection)))
        fail(SQL_HANDLE_ENV, m_environment, "no ODBC connection handle");
    // A failed handle stays in m_connection for disconnect() to free.
    if (!SQL_SUCCEEDED(SQLDriverConnectW(m_connection, nullptr, wide(text), SQLSMALLINT(text.size()), nullptr, 0,
                                         nullptr, SQL_DRIVER_NOPROMPT)))
        fail(SQL_HANDLE_DBC, m_connection, "cannot connect");
}

void OdbcFloor::disconnect()
{
    if (m_connection == SQL_NULL_HDBC)
        return;
    SQLDisconnect(m_connection);
    SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
    m_connection = SQL_NULL_HDBC;
}

qint64 OdbcFloor::run(const QString& sql)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &statement)))
        fail(SQL_HANDLE_DBC, m_connection, "no ODBC statement handle");
    // Frees the handle however run() ends.
    const std::unique_ptr<void, void (*)(void*)> guard(statement, [](void* h) { SQLFreeHandle(SQL_HANDLE_STMT, h); });
    qint64 rows = 0;
    SQLRETURN rc = SQLExecDirectW(statement, wide(sql), SQLINTEGER(sql.size()));
    if (rc == SQL_NO_DATA)  // a first statement that touched no row; later results may follow
        rc = SQLMoreResults(statement);
    while (rc != SQL_NO_DATA) {
        if (!SQL_SUCCEEDED(rc))
            fail(SQL_HANDLE_STMT, statement, "statement failed");
        SQLSMALLINT columns = 0;
        SQLNumResultCols(statement, &columns);
        while (columns > 0 && (rc = SQLFetch(statement)) != SQL_NO_DATA) {
            if (!SQL_SUCCEEDED(rc))
                fail(SQL_HANDLE_STMT, statement, "fetch failed");
            ++rows;
        }
        rc = SQLMoreResults(statement);
    }
    return rows;
}
