#include "ConnectionChannel.h"

#include "FaultInjector.h"
#include "protocol/TdsDefs.h"

#include <QTcpSocket>
#include <QTimer>

namespace sandbox {

namespace {

// Reply bytes produced per step, and the socket backlog at which production pauses.
constexpr qsizetype ChunkBytes = 64 * 1024;
constexpr qint64 HighWater = 1024 * 1024;
// Steps taken before yielding to the other connections.
constexpr int StepsPerTurn = 32;
// What a client may send in one message before its login is accepted: a prelogin or a login with
// every field at its longest fits many times over. Afterwards a batch may be far longer.
constexpr qsizetype LoginMessageBytes = 16 * 1024;
constexpr qsizetype MessageBytes = 64 * 1024 * 1024;

}  // namespace

ConnectionChannel::ConnectionChannel(QTcpSocket* socket, ClientConnection::Settings settings,
                                     ConnectionSecurity::Settings security, FaultInjector& faults, QObject* parent)
    : QObject(parent), m_socket(socket), m_faults(faults), m_security(std::move(security), settings.spid),
      m_connection(std::move(settings))
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionChannel::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ConnectionChannel::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, &ConnectionChannel::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError || m_socket->state() == QAbstractSocket::UnconnectedState)
            finish();
    });
    m_connection.setWakeHandler([this] { QMetaObject::invokeMethod(this, &ConnectionChannel::pump, Qt::QueuedConnection); });
    // Bytes may have arrived before the signals were connected.
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &ConnectionChannel::onReadyRead);
}

ConnectionChannel::~ConnectionChannel() = default;

void ConnectionChannel::drop()
{
    if (m_finished)
        return;
    m_socket->abort();
    finish();
}

void ConnectionChannel::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_queue.clear();
    m_security.closed();
    emit closed(this);
}

void ConnectionChannel::onReadyRead()
{
    if (m_finished || m_closing)
        return;
    QByteArray plain;
    const bool readable = m_security.receive(m_socket->readAll(), &plain);
    const QByteArray handshake = m_security.takeHandshakeOutput();
    if (!handshake.isEmpty())
        m_socket->write(handshake);
    if (!readable) {
        closeAfterWriting();  // a TLS alert may be on its way to the client
        return;
    }
    m_reader.setMaxMessageSize(m_connection.state() == ClientConnection::State::LoggedIn ? MessageBytes : LoginMessageBytes);
    if (!m_reader.feed(plain)) {
        drop();
        return;
    }
    while (m_reader.hasMessage() && !m_finished) {
        TdsMessage message = m_reader.takeMessage();
        if (message.type == tds::Login7)
            m_security.loginReceived();
        accept(std::move(message));
    }
    pump();
}

void ConnectionChannel::closeAfterWriting()
{
    m_closing = true;
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        finish();
}

void ConnectionChannel::accept(TdsMessage message)
{
    // A black hole: requests are swallowed and nothing is ever answered.
    if (m_faults.unresponsive())
        return;
    if (message.type == tds::Attention) {
        // Requests not yet started are abandoned along with the one under way.
        m_queue.clear();
        m_connection.handle(message);
        return;
    }
    const auto delay = m_faults.delay();
    const quint64 serial = m_nextSerial++;
    m_queue.push_back(Pending{std::move(message), serial, delay.count() <= 0});
    if (delay.count() > 0) {
        QTimer::singleShot(delay, this, [this, serial] {
            for (Pending& pending : m_queue) {
                if (pending.serial == serial)
                    pending.ready = true;
            }
            pump();
        });
    }
}

void ConnectionChannel::schedulePump()
{
    if (m_pumpScheduled)
        return;
    m_pumpScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pumpScheduled = false;
        pump();
    });
}

void ConnectionChannel::pump()
{
    for (int steps = 0; steps < StepsPerTurn; ++steps) {
        if (m_finished || m_closing)
            return;
        if (m_connection.abortRequested()) {
            drop();
            return;
        }
        // Resumed by bytesWritten once the client has taken some of the backlog.
        if (m_socket->bytesToWrite() >= HighWater)
            return;
        if (m_connection.isReplying()) {
            const QByteArray out = m_connection.takeOutput(ChunkBytes);
            if (out.isEmpty())  // the batch is still at work; it wakes the channel when it has more
                return;
            m_socket->write(m_security.send(out));
            continue;
        }
        if (m_connection.closeAfterReply()) {
            // Sent in full before the socket closes; finish() follows the disconnect.
            closeAfterWriting();
            return;
        }
        if (!m_queue.empty() && m_queue.front().ready) {
            const TdsMessage message = std::move(m_queue.front().message);
            m_queue.pop_front();
            m_connection.handle(message);
            // The TLS handshake, if any, follows the prelogin answer.
            if (message.type == tds::Prelogin && !m_connection.abortRequested())
                m_security.begin(m_connection.encryption());
            continue;
        }
        return;
    }
    schedulePump();
}

}  // namespace sandbox
