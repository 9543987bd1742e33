#include "MessageReader.h"

#include "TdsDefs.h"

#include <QtEndian>

namespace sandbox {

MessageReader::MessageReader(int maxPacketSize, qsizetype maxMessageSize)
    : m_maxPacketSize(maxPacketSize), m_maxMessageSize(maxMessageSize)
{
}

bool MessageReader::feed(QByteArrayView bytes)
{
    if (failed())
        return false;
    m_buffer.append(bytes.data(), bytes.size());
    while (takePacket()) {
    }
    // Drop what has been parsed once in a while rather than on every packet.
    if (m_consumed > 0 && (m_consumed == m_buffer.size() || m_consumed > 65536)) {
        m_buffer.remove(0, m_consumed);
        m_consumed = 0;
    }
    return !failed();
}

TdsMessage MessageReader::takeMessage()
{
    TdsMessage message = std::move(m_ready.front());
    m_ready.pop_front();
    return message;
}

bool MessageReader::fail(const QString& reason)
{
    m_error = reason;
    m_buffer.clear();
    m_consumed = 0;
    return false;
}

bool MessageReader::takePacket()
{
    if (failed() || m_buffer.size() - m_consumed < tds::HeaderSize)
        return false;
    const char* header = m_buffer.constData() + m_consumed;
    const auto type = static_cast<quint8>(header[0]);
    const auto status = static_cast<quint8>(header[1]);
    const int length = qFromBigEndian<quint16>(header + 2);
    if (length < tds::HeaderSize)
        return fail(QStringLiteral("packet length %1 is shorter than its header").arg(length));
    if (length > m_maxPacketSize)
        return fail(QStringLiteral("packet length %1 exceeds %2").arg(length).arg(m_maxPacketSize));
    if (m_buffer.size() - m_consumed < length)
        return false;

    const QByteArrayView body(header + tds::HeaderSize, length - tds::HeaderSize);
    m_consumed += length;

    // An attention is a signal of its own, even between the packets of another request, which
    // it abandons: what follows starts a new request.
    if (type == tds::Attention) {
        m_ready.push_back(TdsMessage{type, {}});
        m_partial = {};
        m_inMessage = false;
        return true;
    }
    if (status & tds::Ignore) {
        // The client abandons the request it was sending.
        m_partial = {};
        m_inMessage = false;
        return true;
    }
    if (!m_inMessage) {
        m_partial.type = type;
        m_partial.payload.clear();
        m_inMessage = true;
    } else if (m_partial.type != type) {
        return fail(QStringLiteral("packet of type %1 inside a message of type %2").arg(type).arg(m_partial.type));
    }
    if (m_partial.payload.size() + body.size() > m_maxMessageSize)
        return fail(QStringLiteral("message larger than %1 bytes").arg(m_maxMessageSize));
    m_partial.payload.append(body.data(), body.size());
    if (status & tds::EndOfMessage) {
        m_ready.push_back(std::move(m_partial));
        m_partial = {};
        m_inMessage = false;
    }
    return true;
}

}  // namespace sandbox
