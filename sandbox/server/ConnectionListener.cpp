#include "ConnectionListener.h"

#include "ConnectionChannel.h"

#include <QHostAddress>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>

namespace sandbox {

ConnectionListener::ConnectionListener(const DataDirectory& directory, FaultInjector& faults, StatementLog& log, QString password,
                                       Security security, QObject* parent)
    : QObject(parent), m_directory(directory), m_faults(faults), m_log(log), m_password(std::move(password)),
      m_security(std::move(security)),
      m_serverName(QSysInfo::machineHostName().toUpper())
{
}

ConnectionListener::~ConnectionListener()
{
    shutdown();
}

bool ConnectionListener::listen(quint16 port, QString* error)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &ConnectionListener::onNewConnection);
    }
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
        return false;
    }
    return true;
}

quint16 ConnectionListener::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void ConnectionListener::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ClientConnection::Settings settings;
        settings.directory = &m_directory;
        settings.faults = &m_faults;
        settings.log = &m_log;
        settings.nextConnectionId = [this] { return ++m_loggedIn; };
        settings.password = m_password;
        settings.serverName = m_serverName;
        settings.spid = m_nextSpid;
        settings.profile = m_security.profile;
        settings.forceEncryption = m_security.forceEncryption;
        m_nextSpid = m_nextSpid >= 0x7FFF ? 51 : m_nextSpid + 1;
        auto* channel = new ConnectionChannel(socket, std::move(settings), m_security.transport, m_faults, this);
        connect(channel, &ConnectionChannel::closed, this, &ConnectionListener::onClosed);
        m_channels.append(channel);
    }
}

void ConnectionListener::onClosed(ConnectionChannel* channel)
{
    m_channels.removeOne(channel);
    channel->deleteLater();
}

void ConnectionListener::shutdown()
{
    if (m_server)
        m_server->close();
    const QList<ConnectionChannel*> channels = m_channels;
    m_channels.clear();
    for (ConnectionChannel* channel : channels) {
        disconnect(channel, nullptr, this, nullptr);
        channel->drop();
        delete channel;
    }
}

}  // namespace sandbox
