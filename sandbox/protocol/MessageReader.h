#pragma once

#include "TdsMessage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <deque>

namespace sandbox {

// Reassembles client messages from a byte stream cut at arbitrary places.
// Once the stream is found malformed the reader stays failed; the caller closes the connection.
class MessageReader {
public:
    explicit MessageReader(int maxPacketSize = 32768, qsizetype maxMessageSize = 64 * 1024 * 1024);

    // Messages that would grow beyond this fail the stream from now on.
    void setMaxMessageSize(qsizetype bytes) { m_maxMessageSize = bytes; }
    // Takes received bytes; false once the stream is malformed.
    bool feed(QByteArrayView bytes);
    bool hasMessage() const { return !m_ready.empty(); }
    TdsMessage takeMessage();

    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    bool takePacket();
    bool fail(const QString& reason);

    int m_maxPacketSize;
    qsizetype m_maxMessageSize;
    QByteArray m_buffer;
    qsizetype m_consumed = 0;
    TdsMessage m_partial;
    bool m_inMessage = false;
    std::deque<TdsMessage> m_ready;
    QString m_error;
};

}  // namespace sandbox
