#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace sandbox {

// Cuts an outgoing message into packets no larger than the negotiated size. A message may be
// streamed: full packets can be taken while the rest of it is still being produced.
class PacketWriter {
public:
    explicit PacketWriter(int packetSize = 4096, quint16 spid = 1);

    void setPacketSize(int packetSize);
    int packetSize() const { return m_packetSize; }
    void setSpid(quint16 spid);

    // Starts a message unless one is under way.
    void begin(quint8 type);
    void append(QByteArrayView payload);
    // Packets that are complete so far; none of them ends the message.
    QByteArray takePackets();
    // The rest of the message, its last packet marked as the end.
    QByteArray finish();

    // A whole message at once.
    QByteArray message(quint8 type, QByteArrayView payload);

private:
    void emitPacket(QByteArray& out, QByteArrayView body, bool last);

    int m_packetSize;
    quint16 m_spid;
    quint8 m_type = 0;
    quint8 m_packetId = 1;
    bool m_inMessage = false;
    QByteArray m_pending;
};

}  // namespace sandbox
