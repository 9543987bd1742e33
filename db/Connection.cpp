#include "Connection.h"

#include "AdoConnectionString.h"
#include "BusyScope.h"
#include "DbError.h"
#include "DriverCatalog.h"
#include "OdbcConnectionString.h"
#include "OdbcHandles.h"
#include "OdbcStatement.h"

#include <QList>

namespace db {

namespace {

Connection::ReopenHandler& reopenHandler()
{
    static Connection::ReopenHandler handler;
    return handler;
}

// Every live connection, so that a lost link can warn the others to the same server.
QList<Connection*>& liveConnections()
{
    static QList<Connection*> connections;
    return connections;
}

QString serverOf(const QString& connectionString)
{
    return AdoConnectionString(connectionString).dataSource();
}

}  // namespace

Connection::Connection()
    : m_handles(std::make_unique<OdbcHandles>())
{
    m_handles->setLinkLostHandler([this] { onLinkLost(); });
    liveConnections().append(this);
}

Connection::~Connection()
{
    liveConnections().removeOne(this);
}

void Connection::setReopenHandler(ReopenHandler handler)
{
    reopenHandler() = std::move(handler);
}

void Connection::open(const QString& connectionString, const QString& user, const QString& password)
{
    const BusyScope busy;
    // Not close(): a reopen that fails must leave the reopen pending for the next statement.
    m_handles->disconnect();
    m_connectionString = connectionString;
    m_user = user;
    try {
        const AdoConnectionString ado(connectionString);
        const DriverChoice driver = DriverCatalog::chooseOrThrow(
            DriverCatalog::installedDrivers(m_handles->environment()), DriverCatalog::currentPlatform());
        m_handles->connect(driver, OdbcConnectionString::build(driver, ado, user, password), m_loginTimeout);
    } catch (...) {
        if (!m_reopening)
            m_reopenPending = false;
        throw;
    }
    m_reopenPending = false;
}

int Connection::state() const
{
    return m_handles->isConnected() || m_reopenPending ? StateOpen : StateClosed;
}

void Connection::close()
{
    const BusyScope busy;
    m_reopenPending = false;
    m_handles->disconnect();
}

void Connection::execute(const QString& sql)
{
    const BusyScope busy;
    prepareStatement();
    OdbcStatement statement(*m_handles);
    statement.execute(sql);
    statement.drain();
}

QString Connection::database() const
{
    return AdoConnectionString(m_connectionString).initialCatalog();
}

void Connection::prepareStatement()
{
    if (!m_reopenPending && !m_handles->linkLost()) {
        if (!m_handles->isConnected())
            throw DbError(QStringLiteral("对象关闭时，不允许操作。"));
        // The rows an earlier recordset left unread come in first; that read may be what finds the link gone.
        m_handles->releasePendingReader();
        if (!m_handles->linkLost())
            return;
    }
    reopen();
}

void Connection::reopen()
{
    const BusyScope busy;
    m_reopenPending = true;
    if (!reopenHandler())
        throw DbError(QStringLiteral("与数据库服务器的连接已断开。"));
    m_reopening = true;
    try {
        reopenHandler()(*this);
    } catch (const DbError& error) {
        m_reopening = false;
        throw DbError(QStringLiteral("与数据库服务器的连接已断开，重新连接失败。\n") + error.description(),
                      error.sqlState(), error.nativeError());
    } catch (...) {
        m_reopening = false;
        throw;
    }
    m_reopening = false;
    if (!m_handles->isConnected()) {
        m_reopenPending = true;
        throw DbError(QStringLiteral("与数据库服务器的连接已断开，重新连接失败。"));
    }
}

void Connection::onLinkLost()
{
    m_reopenPending = true;
    const QString server = serverOf(m_connectionString);
    for (Connection* other : liveConnections()) {
        if (other != this && other->m_handles->isConnected() && serverOf(other->m_connectionString) == server)
            other->m_reopenPending = true;
    }
}

OdbcHandles& Connection::handles()
{
    return *m_handles;
}

}  // namespace db
