#include "ServerProbe.h"

#include <QElapsedTimer>
#include <QTcpSocket>

namespace db {

namespace {

constexpr char PreloginType = 0x12;
constexpr int HeaderSize = 8;

// A PRELOGIN message offering login-only encryption: version and encryption options, then the end.
QByteArray preloginRequest()
{
    QByteArray payload;
    const char options[] = {0x00, 0x00, 11, 0x00, 6,  // version at 11, 6 bytes
                            0x01, 0x00, 17, 0x00, 1,  // encryption at 17, 1 byte
                            char(0xFF)};
    payload.append(options, sizeof options);
    payload.append(6, '\0');
    payload.append('\0');
    QByteArray packet;
    const int length = HeaderSize + int(payload.size());
    const char header[] = {PreloginType, 0x01, char(length >> 8), char(length & 0xFF), 0, 0, 1, 0};
    packet.append(header, sizeof header);
    return packet + payload;
}

quint8 byteAt(const QByteArray& data, qsizetype i)
{
    return static_cast<quint8>(data.at(i));
}

}  // namespace

QString ServerProbe::Identity::generation() const
{
    switch (major) {
    case 8: return QStringLiteral("SQL Server 2000");
    case 9: return QStringLiteral("SQL Server 2005");
    case 10: return minor >= 50 ? QStringLiteral("SQL Server 2008 R2") : QStringLiteral("SQL Server 2008");
    case 11: return QStringLiteral("SQL Server 2012");
    case 12: return QStringLiteral("SQL Server 2014");
    case 13: return QStringLiteral("SQL Server 2016");
    case 14: return QStringLiteral("SQL Server 2017");
    case 15: return QStringLiteral("SQL Server 2019");
    case 16: return QStringLiteral("SQL Server 2022");
    default: return QStringLiteral("SQL Server %1.%2").arg(major).arg(minor);
    }
}

std::optional<ServerProbe::Identity> ServerProbe::ask(const QString& host, quint16 port, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const auto left = [&] { return qMax(1, timeoutMs - int(clock.elapsed())); };
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(left()))
        return std::nullopt;
    socket.write(preloginRequest());
    if (!socket.waitForBytesWritten(left()))
        return std::nullopt;
    QByteArray reply;
    // One reply packet; its length is in the header.
    while (reply.size() < HeaderSize
           || reply.size() < ((qsizetype(byteAt(reply, 2)) << 8) | byteAt(reply, 3))) {
        if (clock.elapsed() >= timeoutMs || !socket.waitForReadyRead(left()))
            return std::nullopt;
        reply += socket.readAll();
    }
    if (reply.at(0) != 0x04)
        return std::nullopt;
    const qsizetype length = (qsizetype(byteAt(reply, 2)) << 8) | byteAt(reply, 3);
    return parse(reply.mid(HeaderSize, length - HeaderSize));
}

std::optional<ServerProbe::Identity> ServerProbe::parse(const QByteArray& payload)
{
    Identity identity;
    bool hasVersion = false;
    for (qsizetype entry = 0; entry + 5 <= payload.size() && byteAt(payload, entry) != 0xFF; entry += 5) {
        const int token = byteAt(payload, entry);
        const qsizetype offset = (qsizetype(byteAt(payload, entry + 1)) << 8) | byteAt(payload, entry + 2);
        const qsizetype size = (qsizetype(byteAt(payload, entry + 3)) << 8) | byteAt(payload, entry + 4);
        if (offset + size > payload.size())
            return std::nullopt;
        if (token == 0 && size >= 4) {
            identity.major = byteAt(payload, offset);
            identity.minor = byteAt(payload, offset + 1);
            identity.build = (byteAt(payload, offset + 2) << 8) | byteAt(payload, offset + 3);
            hasVersion = true;
        } else if (token == 1 && size >= 1) {
            identity.encryption = byteAt(payload, offset);
        }
    }
    if (!hasVersion)
        return std::nullopt;
    return identity;
}

}  // namespace db
