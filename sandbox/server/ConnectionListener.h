#pragma once

#include "ConnectionSecurity.h"
#include "ServerProfile.h"

#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;

namespace sandbox {

class ConnectionChannel;
class DataDirectory;
class FaultInjector;
class StatementLog;

// Accepts clients on 127.0.0.1 and keeps their channels; lives on the server thread.
class ConnectionListener : public QObject {
    Q_OBJECT

public:
    // How the server presents itself and encrypts: the same for every connection.
    struct Security {
        ServerProfile profile;
        bool forceEncryption = false;
        ConnectionSecurity::Settings transport;
    };

    ConnectionListener(const DataDirectory& directory, FaultInjector& faults, StatementLog& log, QString password, Security security,
                       QObject* parent = nullptr);
    ~ConnectionListener() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const;
    // Stops listening and closes every client connection.
    void shutdown();

private:
    void onNewConnection();
    void onClosed(ConnectionChannel* channel);

    const DataDirectory& m_directory;
    FaultInjector& m_faults;
    StatementLog& m_log;
    QString m_password;
    Security m_security;
    QString m_serverName;
    QTcpServer* m_server = nullptr;
    QList<ConnectionChannel*> m_channels;
    int m_loggedIn = 0;
    quint16 m_nextSpid = 51;
};

}  // namespace sandbox
