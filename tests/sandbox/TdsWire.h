#pragma once

// A client written from the wire layout rather than from the server's code, so that the two check each
// other: requests encoded by hand, replies decoded token by token, every packet header checked.
#include <QDataStream>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QStringDecoder>
#include <QStringList>
#include <QTcpSocket>

namespace tdstest {

// As FreeTDS tsql 1.3 sends it, but unable to encrypt (encryption option 2).
inline const QByteArray Prelogin = QByteArray::fromHex(
    "00001a00060100200001020021000c03002d00040400310001ff090000000000024d5353514c53657276657200e31e000000");

inline QByteArray le(quint32 v, int bytes)
{
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b += char(v >> (8 * i));
    return b;
}

inline QByteArray utf16le(const QString& s) { return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2); }

// Wraps a payload in packets of at most packetSize bytes; the last ends the message unless told otherwise.
inline QByteArray packets(quint8 type, const QByteArray& payload, int packetSize = 4096, bool end = true)
{
    QByteArray out;
    qsizetype at = 0;
    do {
        const qsizetype n = qMin<qsizetype>(packetSize - 8, payload.size() - at);
        const char header[8] = {char(type), char(end && at + n >= payload.size() ? 0x01 : 0x00), char((n + 8) >> 8), char(n + 8), 0, 0, 1, 0};
        out += QByteArray(header, 8) + payload.mid(at, n);
        at += n;
    } while (at < payload.size());
    return out;
}

// A 7.4 LOGIN7 of sa; the password scrambled.
inline QByteArray login7(const QString& password, quint32 packetSize = 4096)
{
    const int fixed = 94;
    QByteArray data, table;
    const QStringList fields{QStringLiteral("host"), QStringLiteral("sa"), password, QStringLiteral("tests"), {}, {}, {}, {}, {}};
    for (int i = 0; i < fields.size(); ++i) {
        QByteArray bytes = utf16le(fields.at(i));
        for (char& c : bytes)
            c = i == 2 ? char(quint8(((quint8(c) << 4) | (quint8(c) >> 4)) ^ 0xA5)) : c;
        table += le(quint32(fixed + data.size()), 2) + le(quint32(fields.at(i).size()), 2);
        data += bytes;
    }
    table += QByteArray(6, '\x11');                      // client id
    table += QByteArray(fixed - 36 - table.size(), '\0');  // SSPI and the rest, empty
    QByteArray out;
    for (quint32 v : {quint32(fixed + data.size()), 0x74000004u, packetSize, 7u, 42u, 0u, 0x03E0u, 0u, 0x804u})
        out += le(v, 4);
    return out + table + data;
}

// A SQL batch with the transaction-descriptor header.
inline QByteArray sqlBatch(const QString& text) { return QByteArray::fromHex("16000000 12000000 0200 0000000000000000 01000000") + utf16le(text); }

// A reply as tokens: "done 10/1" (status in hex, count), "error 208/16 text", "cols a,b", "row 1,NULL";
// the login's own tokens are left out; "!reason" on anything unexpected.
inline QString tokens(const QByteArray& payload)
{
    QDataStream in(payload);
    in.setByteOrder(QDataStream::LittleEndian);
    const auto get = [&](quint64 bytes) {  // little-endian, as every host we build for
        quint64 v = 0;
        in.readRawData(reinterpret_cast<char*>(&v), int(bytes));
        return v;
    };
    const auto text = [&](quint64 units, bool gbk = false) {
        QByteArray b(qsizetype(gbk ? units : units * 2), '\0');
        in.readRawData(b.data(), int(b.size()));
        return gbk ? QStringDecoder("GBK").decode(b) : QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData()), b.size() / 2);
    };
    QStringList out;
    QList<quint64> types;
    while (!in.atEnd() && in.status() == QDataStream::Ok) {
        const quint64 type = get(1);
        if (type == 0xFD) {
            const quint64 status = get(4) & 0xFFFF;  // then the current command
            out.append(QStringLiteral("done %1/%2").arg(status, 0, 16).arg(get(8)));
        } else if (type == 0xAA) {
            const qint64 end = qint64(get(2)) + in.device()->pos();
            const quint64 number = get(4);
            get(1);  // state
            const quint64 severity = get(1);
            out.append(QStringLiteral("error %1/%2 ").arg(number).arg(severity) + text(get(2)));
            in.skipRawData(int(end - in.device()->pos()));  // server, procedure, line
        } else if (type == 0xAB || type == 0xE3 || type == 0xAD) {
            in.skipRawData(int(get(2)));
        } else if (type == 0x81) {
            QStringList names;
            types.clear();
            for (quint64 i = get(2); i > 0 && in.status() == QDataStream::Ok; --i) {
                get(6);  // user type, flags
                types.append(get(1));
                get(types.last() == 0x26 ? 1 : 7);  // length, and the collation of text
                names.append(text(get(1)));
            }
            out.append(QStringLiteral("cols ") + names.join(QLatin1Char(',')));
        } else if (type == 0xD1) {
            QStringList values;
            for (quint64 column : types) {
                const quint64 length = get(column == 0x26 ? 1 : 2);
                if (column != 0x26 && length != 0xFFFF)
                    values.append(text(column == 0xE7 ? length / 2 : length, column == 0xA7));
                else
                    values.append(length == 0 || length == 0xFFFF ? QStringLiteral("NULL")
                                                                  : QString::number(qint64(get(length) << (64 - 8 * length)) >> (64 - 8 * length)));
            }
            out.append(QStringLiteral("row ") + values.join(QLatin1Char(',')));
        } else {
            out.append(QStringLiteral("!token %1").arg(type, 0, 16));
            break;
        }
    }
    return out.join(QStringLiteral(" | ")) + (in.status() == QDataStream::Ok ? QString() : QStringLiteral(" !cut short"));
}

// Speaks to a server over a real socket.
class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(3000);
    }

    void send(quint8 type, const QByteArray& payload) { sendRaw(packets(type, payload)); }
    void sendRaw(const QByteArray& bytes) { void(m_socket.write(bytes) > 0 && m_socket.flush()); }

    // The next whole reply message; "!reason" when none comes in time or a packet breaks the rules.
    QString reply(int timeoutMs = 5000, bool decode = true)
    {
        QByteArray payload;
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            m_buffer += m_socket.readAll();
            const int length = m_buffer.size() >= 8 ? quint8(m_buffer[2]) << 8 | quint8(m_buffer[3]) : 0;
            if (length >= 8 && m_buffer.size() >= length) {
                if (m_buffer[0] != 0x04 || length > m_packetSize || (m_buffer[4] == 0 && m_buffer[5] == 0))
                    return QStringLiteral("!bad packet header");
                payload += m_buffer.mid(8, length - 8);
                const bool last = m_buffer[1] & 0x01;
                m_buffer.remove(0, length);
                if (last)
                    return decode ? tokens(payload) : QString();
            } else if (deadline.hasExpired() || m_socket.state() != QAbstractSocket::ConnectedState) {
                return QStringLiteral("!no whole reply");
            } else {
                m_socket.waitForReadyRead(50);
            }
        }
    }

    // The login's reply; small packets, so that every reply shows it keeps to the size agreed.
    QString login(const QString& password, int packetSize = 512)
    {
        send(0x12, Prelogin);
        if (reply(5000, false).startsWith(QLatin1Char('!')))
            return QStringLiteral("!no prelogin answer");
        send(0x10, login7(password, quint32(m_packetSize = packetSize)));
        return reply();
    }

    QString batch(const QString& sql, int timeoutMs = 5000) { return send(0x01, sqlBatch(sql)), reply(timeoutMs); }

    // True once the server has closed the connection.
    bool waitForClose()
    {
        const QDeadlineTimer deadline(3000);
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            m_socket.waitForReadyRead(50);
            m_buffer += m_socket.readAll();
        }
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }

    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_packetSize = 32767;
};

}  // namespace tdstest
