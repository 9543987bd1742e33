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

}  // namespace

ConnectionChannel::ConnectionChannel(QTcpSocket* socket, ClientConnection::Settings settings, FaultInjector& faults,
                                     QObject* parent)
    : QObject(parent), m_socket(socket), m_faults(faults), m_connection(std::move(settings)),
      m_dropGeneration(faults.dropAllGeneration())
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionChannel::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ConnectionChannel::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, &ConnectionChannel::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError || m_socket->state() == QAbstractSocket::UnconnectedState)
            finish();
    });
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
    emit closed(this);
}

void ConnectionChannel::onReadyRead()
{
    if (m_finished || m_closing)
        return;
    if (!m_reader.feed(m_socket->readAll())) {
        drop();
        return;
    }
    while (m_reader.hasMessage() && !m_finished)
        accept(m_reader.takeMessage());
    pump();
}

void ConnectionChannel::accept(TdsMessage message)
{
    if (m_faults.dropAllGeneration() != m_dropGeneration) {
        drop();
        return;
    }
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
            if (!out.isEmpty())
                m_socket->write(out);
            continue;
        }
        if (m_connection.closeAfterReply()) {
            // Sent in full before the socket closes; finish() follows the disconnect.
            m_closing = true;
            m_socket->disconnectFromHost();
            if (m_socket->state() == QAbstractSocket::UnconnectedState)
                finish();
            return;
        }
        if (!m_queue.empty() && m_queue.front().ready) {
            const TdsMessage message = std::move(m_queue.front().message);
            m_queue.pop_front();
            m_connection.handle(message);
            continue;
        }
        return;
    }
    schedulePump();
}

}  // namespace sandbox
