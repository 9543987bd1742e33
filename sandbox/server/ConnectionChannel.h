#pragma once

#include "ClientConnection.h"
#include "ConnectionSecurity.h"
#include "protocol/MessageReader.h"

#include <QObject>
#include <deque>

class QTcpSocket;

namespace sandbox {

// Carries one client's conversation over its socket on the server thread: reassembles
// requests, applies the armed delay and silence, and writes the reply only as fast as the
// socket drains so that a large result is never held in memory whole.
class ConnectionChannel : public QObject {
    Q_OBJECT

public:
    ConnectionChannel(QTcpSocket* socket, ClientConnection::Settings settings, ConnectionSecurity::Settings security,
                      FaultInjector& faults, QObject* parent = nullptr);
    ~ConnectionChannel() override;

    // Closes the connection at once, without a reply.
    void drop();

signals:
    void closed(sandbox::ConnectionChannel* channel);

private:
    struct Pending {
        TdsMessage message;
        quint64 serial = 0;
        bool ready = false;
    };

    void onReadyRead();
    void accept(TdsMessage message);
    void pump();
    void schedulePump();
    void finish();
    // Closes once everything written has been sent.
    void closeAfterWriting();

    QTcpSocket* m_socket;
    FaultInjector& m_faults;
    MessageReader m_reader;
    ConnectionSecurity m_security;
    ClientConnection m_connection;
    std::deque<Pending> m_queue;
    quint64 m_nextSerial = 0;
    bool m_pumpScheduled = false;
    bool m_closing = false;
    bool m_finished = false;
};

}  // namespace sandbox
