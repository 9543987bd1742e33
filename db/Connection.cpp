#include "Connection.h"

#include "AdoConnectionString.h"
#include "BusyScope.h"
#include "CancelledError.h"
#include "ConnectAttempts.h"
#include "DbError.h"
#include "DriverCatalog.h"
#include "OdbcConnectionString.h"
#include "OdbcHandles.h"
#include "OdbcStatement.h"
#include "ServerCall.h"

#include <QList>
#include <atomic>

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

// Read by the statements on the seam's worker threads too.
std::atomic<int>& statementTimeoutSeconds()
{
    static std::atomic<int> seconds{30};
    return seconds;
}

QString serverOf(const QString& connectionString)
{
    return AdoConnectionString(connectionString).dataSource();
}

}  // namespace

Connection::Connection()
    : m_handles(std::make_shared<OdbcHandles>())
{
    // A lost link is noted by onServer(), on this thread, not by the handles on a worker's.
    liveConnections().append(this);
}

Connection::Connection(Detached)
    : m_handles(std::make_shared<OdbcHandles>()), m_detached(true)
{
}

Connection::~Connection()
{
    if (m_detached)
        return;
    liveConnections().removeOne(this);
    // A recordset still reading on it lets go now, not when its last statement does.
    m_handles->disconnect();
}

void Connection::setStatementTimeout(int seconds)
{
    statementTimeoutSeconds() = seconds;
}

int Connection::statementTimeout()
{
    return statementTimeoutSeconds();
}

void Connection::setReopenHandler(ReopenHandler handler)
{
    reopenHandler() = std::move(handler);
}

void Connection::open(const QString& connectionString, const QString& user, const QString& password)
{
    const BusyScope busy;
    m_handles->disconnect();
    // The login runs on a connection of its own and is taken over when it ends: one given up
    // after a cancel goes on in the background and never touches this one.
    const auto attempt = std::shared_ptr<Connection>(new Connection(Detached{}));
    attempt->m_loginTimeout = m_loginTimeout;
    attempt->m_reopenPending = m_reopenPending;
    attempt->m_reopening = m_reopening;
    try {
        // The login has its own timeout, which the driver keeps.
        (void)ServerCall::run([attempt, connectionString, user, password] {
            attempt->connectHere(connectionString, user, password);
        });
    } catch (const CancelledError&) {
        m_connectionString = connectionString;
        if (!m_reopening)
            m_reopenPending = false;
        throw;
    } catch (...) {
        takeOver(*attempt);
        throw;
    }
    takeOver(*attempt);
}

void Connection::takeOver(Connection& attempt)
{
    m_handles = std::move(attempt.m_handles);
    attempt.m_handles = std::make_shared<OdbcHandles>();
    m_connectionString = attempt.m_connectionString;
    m_reopenPending = attempt.m_reopenPending;
}

void Connection::connectHere(const QString& connectionString, const QString& user, const QString& password)
{
    // Not close(): a reopen that fails must leave the reopen pending for the next statement.
    m_handles->disconnect();
    m_connectionString = connectionString;
    try {
        ConnectAttempts::open(*m_handles, connectionString, user, password, m_loginTimeout);
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
    onServer([sql](const std::shared_ptr<OdbcHandles>& handles) {
        OdbcStatement statement(handles);
        statement.execute(sql);
        statement.drain();
    });
}

void Connection::onServer(std::function<void(const std::shared_ptr<OdbcHandles>&)> work)
{
    const std::shared_ptr<OdbcHandles> handles = m_handles;
    const bool lostBefore = handles->linkLost();
    const auto noteLink = [&] {
        if (!lostBefore && handles->linkLost() && handles == m_handles)
            onLinkLost();
    };
    const int seconds = statementTimeout();
    bool answered = true;
    try {
        // A second beyond the driver's own timeout: a server that answers that still has its say.
        answered = ServerCall::run([handles, work = std::move(work)] { work(handles); }, seconds * 1000 + 1000);
    } catch (const CancelledError& error) {
        if (error.abandoned()) {
            // The handles stay with the call still running on them, untouched from here; the
            // next statement logs in anew.
            m_handles = std::make_shared<OdbcHandles>();
            m_reopenPending = true;
            throw;
        }
        noteLink();
        throw;
    } catch (const DbError& error) {
        noteLink();
        // Whether the server still works on it is unknown: start afresh rather than find out.
        if (error.sqlState() == QLatin1String("HYT00") && handles == m_handles)
            m_reopenPending = true;
        throw;
    }
    if (!answered) {
        // Not even the driver's cancel was answered: the call is left to end in the background.
        m_handles = std::make_shared<OdbcHandles>();
        m_reopenPending = true;
        throw DbError(QStringLiteral("服务器在 %1 秒内没有应答，语句的执行结果未知。\n与数据库服务器的连接已放弃，下一条语句前将重新连接。")
                          .arg(seconds),
                      QStringLiteral("HYT00"));
    }
    noteLink();
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
    } catch (const CancelledError&) {
        m_reopening = false;
        throw;
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


}  // namespace db
