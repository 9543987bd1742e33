#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;

namespace sandbox {

class Backend;
class ConnectionChannel;
class FaultInjector;
class StatementLog;

// Accepts clients on 127.0.0.1 and keeps their channels; lives on the server thread.
class ConnectionListener : public QObject {
    Q_OBJECT

public:
    ConnectionListener(Backend& backend, FaultInjector& faults, StatementLog& log, QString password,
                       QObject* parent = nullptr);
    ~ConnectionListener() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const;
    int connectionCount() const { return int(m_channels.size()); }
    // Closes every client connection; listening goes on.
    void dropAll();
    // Stops listening and closes every client connection.
    void shutdown();

private:
    void onNewConnection();
    void onClosed(ConnectionChannel* channel);

    Backend& m_backend;
    FaultInjector& m_faults;
    StatementLog& m_log;
    QString m_password;
    QString m_serverName;
    QTcpServer* m_server = nullptr;
    QList<ConnectionChannel*> m_channels;
    int m_loggedIn = 0;
    quint16 m_nextSpid = 51;
};

}  // namespace sandbox
