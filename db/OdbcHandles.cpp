#include "OdbcHandles.h"

#include "DbError.h"
#include "DriverCatalog.h"
#include "FailureExplanation.h"
#include "OdbcDiagnostics.h"
#include "OdbcText.h"

#include <limits>

namespace db {

namespace {

bool driverNotLoaded(const QList<OdbcDiagnostics::Record>& records)
{
    for (const auto& record : records) {
        if (record.sqlState == QLatin1String("IM002") || record.sqlState == QLatin1String("IM003")
            || record.message.contains(QLatin1String("Can't open lib")))
            return true;
    }
    return false;
}

// Communication link failure, connection not open, connection failure during transaction.
bool linkFailureState(const QString& sqlState)
{
    return sqlState == QLatin1String("08S01") || sqlState == QLatin1String("08003")
        || sqlState == QLatin1String("08007");
}

}  // namespace

OdbcHandles::~OdbcHandles()
{
    disconnect();
    if (m_environment != SQL_NULL_HENV)
        SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
}

SQLHENV OdbcHandles::environment()
{
    if (m_environment != SQL_NULL_HENV)
        return m_environment;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_environment))) {
        m_environment = SQL_NULL_HENV;
        throw DbError(QStringLiteral("无法初始化 ODBC 驱动程序管理器。"));
    }
    SQLSetEnvAttr(m_environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return m_environment;
}

QStringList OdbcHandles::installedDrivers()
{
    return DriverCatalog::installedDrivers(environment());
}

void OdbcHandles::connect(const DriverChoice& driver, const QString& odbcConnectionString, int loginTimeoutSeconds)
{
    // The API takes the length as a 16-bit count: a longer text would reach the driver cut short.
    if (odbcConnectionString.size() > std::numeric_limits<SQLSMALLINT>::max())
        throw DbError(QStringLiteral("服务器名、数据库名和密码合起来太长（连接字符串 %1 个字符，最多 %2 个），"
                                     "ODBC 驱动程序无法接收。未连接任何服务器。")
                          .arg(odbcConnectionString.size())
                          .arg(std::numeric_limits<SQLSMALLINT>::max()));
    disconnect();
    const SQLHENV env = environment();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &m_connection))) {
        const DbError error = OdbcDiagnostics::error(SQL_HANDLE_ENV, env, QStringLiteral("无法分配 ODBC 连接句柄。"));
        m_connection = SQL_NULL_HDBC;
        throw error;
    }
    SQLSetConnectAttrW(m_connection, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
    const SQLRETURN rc = SQLDriverConnectW(m_connection, nullptr, OdbcText::in(odbcConnectionString),
                                           static_cast<SQLSMALLINT>(odbcConnectionString.size()), nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const auto records = OdbcDiagnostics::read(SQL_HANDLE_DBC, m_connection);
        SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = SQL_NULL_HDBC;
        if (driverNotLoaded(records)) {
            const DbError cause = OdbcDiagnostics::error(records, QString());
            throw DbError(QStringLiteral("无法加载 SQL Server 的 ODBC 驱动程序“%1”。").arg(driver.name)
                              + DriverCatalog::installAdvice(DriverCatalog::currentPlatform()) + QLatin1Char('\n')
                              + cause.description(),
                          cause.sqlState(), cause.nativeError(), records);
        }
        throw OdbcDiagnostics::error(records, QStringLiteral("无法连接到数据库服务器。"));
    }
    m_connected = true;
    m_linkLost = false;
}

void OdbcHandles::disconnect()
{
    abandonPendingReader();
    if (m_connection == SQL_NULL_HDBC)
        return;
    if (m_connected)
        SQLDisconnect(m_connection);
    SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
    m_connection = SQL_NULL_HDBC;
    m_connected = false;
    m_linkLost = false;
}

bool OdbcHandles::noteFailure(const QList<OdbcDiagnostics::Record>& records)
{
    if (!m_connected || m_linkLost)
        return m_linkLost;
    bool lost = false;
    for (const auto& record : records)
        lost = lost || linkFailureState(record.sqlState);
    // FreeTDS reports the first call after the peer closed as HY000 "Unknown error"; the
    // driver knows better than its message, so ask it.
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!lost && SQL_SUCCEEDED(SQLGetConnectAttrW(m_connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        lost = dead == SQL_CD_TRUE;
    if (!lost)
        return false;
    m_linkLost = true;
    if (m_linkLostHandler)
        m_linkLostHandler();
    return true;
}

DbError OdbcHandles::linkLostError(const DbError& cause)
{
    return cause.explained(FailureExplanation::linkLost());
}

void OdbcHandles::setPendingReader(const void* owner, PendingReader reader)
{
    releasePendingReader();
    m_readerOwner = owner;
    m_reader = std::move(reader);
}

void OdbcHandles::clearPendingReader(const void* owner)
{
    if (m_readerOwner != owner)
        return;
    m_readerOwner = nullptr;
    m_reader = {};
}

void OdbcHandles::releasePendingReader()
{
    if (!m_readerOwner)
        return;
    // Cleared first: the reader clears itself again when it finishes, which must be harmless.
    const PendingReader reader = std::move(m_reader);
    m_readerOwner = nullptr;
    m_reader = {};
    reader.release();
}

void OdbcHandles::abandonPendingReader()
{
    if (!m_readerOwner)
        return;
    const PendingReader reader = std::move(m_reader);
    m_readerOwner = nullptr;
    m_reader = {};
    reader.abandon();
}

}  // namespace db
