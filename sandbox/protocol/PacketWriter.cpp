#include "PacketWriter.h"

#include "TdsDefs.h"

#include <QtEndian>

namespace sandbox {

PacketWriter::PacketWriter(int packetSize, quint16 spid) : m_packetSize(4096), m_spid(1)
{
    setPacketSize(packetSize);
    setSpid(spid);
}

void PacketWriter::setPacketSize(int packetSize)
{
    m_packetSize = qBound(tds::MinPacketSize, packetSize, tds::MaxPacketSize);
}

void PacketWriter::setSpid(quint16 spid)
{
    // FreeTDS takes the session id from the login reply and treats zero as none.
    m_spid = spid == 0 ? 1 : spid;
}

void PacketWriter::begin(quint8 type)
{
    if (m_inMessage)
        return;
    m_inMessage = true;
    m_type = type;
    m_packetId = 1;
    m_pending.clear();
}

void PacketWriter::append(QByteArrayView payload)
{
    Q_ASSERT(m_inMessage);
    m_pending.append(payload.data(), payload.size());
}

QByteArray PacketWriter::takePackets()
{
    QByteArray out;
    const qsizetype body = m_packetSize - tds::HeaderSize;
    // Keep at least one byte back so that the end-of-message packet is never empty.
    qsizetype offset = 0;
    while (m_pending.size() - offset > body) {
        emitPacket(out, QByteArrayView(m_pending).sliced(offset, body), false);
        offset += body;
    }
    if (offset > 0)
        m_pending.remove(0, offset);
    return out;
}

QByteArray PacketWriter::finish()
{
    Q_ASSERT(m_inMessage);
    QByteArray out = takePackets();
    emitPacket(out, m_pending, true);
    m_pending.clear();
    m_inMessage = false;
    return out;
}

QByteArray PacketWriter::message(quint8 type, QByteArrayView payload)
{
    Q_ASSERT(!m_inMessage);
    begin(type);
    append(payload);
    return finish();
}

void PacketWriter::emitPacket(QByteArray& out, QByteArrayView body, bool last)
{
    char header[tds::HeaderSize];
    header[0] = static_cast<char>(m_type);
    header[1] = static_cast<char>(last ? tds::EndOfMessage : 0);
    qToBigEndian(static_cast<quint16>(body.size() + tds::HeaderSize), header + 2);
    qToBigEndian(m_spid, header + 4);
    header[6] = static_cast<char>(m_packetId++);
    header[7] = 0;
    out.append(header, tds::HeaderSize);
    out.append(body.data(), body.size());
}

}  // namespace sandbox
