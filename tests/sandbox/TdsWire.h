#pragma once

// Test-side encoding of client requests and decoding of server replies, written from the wire
// layout rather than from the server's code, so that the two check each other.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace tdstest {

// Captured from FreeTDS tsql 1.3 logging in as sa with the password "Ab中" and no database.
inline const QByteArray FreeTdsPrelogin = QByteArray::fromHex(
    "00001a00060100200001020021000c03002d00040400310001ff090000000000004d5353514c53657276657200e31e000000");


// Little-endian, as every number of a request is unless said otherwise.
inline void putLe(QByteArray& b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b += char(v >> (8 * i));
}

inline QByteArray utf16le(const QString& s)
{
    QByteArray b;
    for (QChar c : s)
        putLe(b, c.unicode(), 2);
    return b;
}

// Wraps a payload in packets of at most packetSize bytes, the last one ending the message.
inline QByteArray packets(quint8 type, const QByteArray& payload, int packetSize = 4096, quint8 extraStatus = 0)
{
    QByteArray out;
    qsizetype at = 0;
    quint8 id = 1;
    do {
        const qsizetype n = qMin<qsizetype>(packetSize - 8, payload.size() - at);
        const char header[8] = {char(type), char((at + n >= payload.size() ? 0x01 : 0x00) | extraStatus), char((n + 8) >> 8),
                                char((n + 8) & 0xFF), 0, 0, char(id++), 0};
        out += QByteArray(header, 8) + payload.mid(at, n);
        at += n;
    } while (at < payload.size());
    return out;
}

struct Login {
    quint32 version = 0x74000004;
    quint32 packetSize = 4096;
    QString user = QStringLiteral("sa");
    QString password;
    QString language;
    QString database;
    bool passwordTerminator = false;  // some clients count a U+0000 into the password
};

// A LOGIN7 message with the 7.1 (86 bytes) or 7.2+ (94 bytes) fixed part.
inline QByteArray login7(const Login& login)
{
    const bool v72 = (login.version >> 24) >= 0x72;
    const int fixed = v72 ? 94 : 86;
    QByteArray data;
    QByteArray table;
    auto add = [&](const QString& text, bool scramble = false) {
        QByteArray bytes = utf16le(text);
        for (char& c : bytes)
            c = scramble ? char(quint8(((quint8(c) << 4) | (quint8(c) >> 4)) ^ 0xA5)) : c;
        putLe(table, quint32(fixed + data.size()), 2);
        putLe(table, quint32(text.size()), 2);
        data += bytes;
    };
    add(QStringLiteral("testhost"));
    add(login.user);
    add(login.passwordTerminator ? login.password + QChar(0) : login.password, true);
    add(QStringLiteral("tests"));      // application
    add(QStringLiteral("127.0.0.1"));  // server
    add({});                           // extension
    add(QStringLiteral("tdstest"));    // library
    add(login.language);
    add(login.database);
    table += QByteArray(6, '\x11');  // client id
    add({});                         // SSPI
    add({});                         // attach file
    if (v72) {
        add({});  // change password
        putLe(table, 0, 4);
    }
    QByteArray out;
    for (quint32 v : {quint32(fixed + data.size()), login.version, login.packetSize, 7u, 42u, 0u, 0x03E0u, 0u, 0x804u})
        putLe(out, v, 4);
    return out + table + data;
}

// A SQL batch; from 7.2 on with the transaction-descriptor header.
inline QByteArray sqlBatch(const QString& text, bool atLeast72 = true)
{
    // total length, header length, type 2, descriptor 0, one outstanding request
    const QByteArray out = atLeast72 ? QByteArray::fromHex("16000000 12000000 0200 0000000000000000 01000000") : QByteArray();
    return out + utf16le(text);
}

// A reply as text, one entry a token: "done 10/1" (status in hex, count), "error 208/16 text",
// "info 5701/0 text", "env 1 new<old", "env 7 <hex>", "ack 74000004 program", "cols a,b", "row 1,NULL".
struct Reply {
    bool ok = false;
    QString error;
    int messages = 0;
    QStringList tokens;

    QString text() const { return tokens.join(QStringLiteral(" | ")); }
    qsizetype count(const QString& kind) const
    {
        return std::count_if(tokens.cbegin(), tokens.cend(), [&](const QString& t) { return t.startsWith(kind + QLatin1Char(' ')); });
    }
};

class WireReader {
public:
    explicit WireReader(const QByteArray& data) : m_in(data) { m_in.setByteOrder(QDataStream::LittleEndian); }
    template <typename T>
    T get()
    {
        T v = 0;
        m_in >> v;
        return v;
    }
    QByteArray take(int n)
    {
        QByteArray b(n, '\0');
        if (m_in.readRawData(b.data(), n) != n)
            m_in.setStatus(QDataStream::ReadPastEnd);
        return b;
    }
    QString text(int units)
    {
        QString s;
        for (int i = 0; i < units; ++i)
            s += QChar(get<quint16>());
        return s;
    }
    QString bText() { return text(get<quint8>()); }
    bool ok() const { return m_in.status() == QDataStream::Ok; }
    bool atEnd() const { return m_in.atEnd(); }
    qint64 pos() const { return m_in.device()->pos(); }

private:
    QDataStream m_in;
};

// Decodes one reply message's tokens; false with a reason on anything unexpected.
inline bool parseTokens(const QByteArray& payload, bool atLeast72, QStringList* tokens, QString* error)
{
    WireReader in(payload);
    QList<quint8> columnTypes;
    while (!in.atEnd()) {
        const quint8 type = in.get<quint8>();
        const bool sized = type == 0xAA || type == 0xAB || type == 0xE3 || type == 0xAD;
        const quint16 declared = sized ? in.get<quint16>() : 0;
        const qint64 start = in.pos();
        QString token;
        if (type == 0xFD || type == 0xFE || type == 0xFF) {
            const quint16 status = in.get<quint16>();
            in.get<quint16>();
            token = QStringLiteral("done %1/%2").arg(status, 0, 16).arg(atLeast72 ? in.get<quint64>() : in.get<quint32>());
        } else if (type == 0xAA || type == 0xAB) {
            const qint32 number = in.get<qint32>();
            in.get<quint8>();  // state
            const quint8 severity = in.get<quint8>();
            token = QStringLiteral("%1 %2/%3 ").arg(type == 0xAA ? "error" : "info").arg(number).arg(severity) + in.text(in.get<quint16>());
            in.bText();  // server
            in.bText();  // procedure
            (void)(atLeast72 ? in.get<quint32>() : in.get<quint16>());  // line
        } else if (type == 0xE3) {
            const quint8 kind = in.get<quint8>();
            if (kind == 7) {
                token = QStringLiteral("env 7 ") + QString::fromLatin1(in.take(in.get<quint8>()).toHex());
                in.take(in.get<quint8>());
            } else {
                token = QStringLiteral("env %1 ").arg(kind) + in.bText();
                token += QLatin1Char('<') + in.bText();
            }
        } else if (type == 0xAD) {
            in.get<quint8>();  // interface
            token = QStringLiteral("ack ") + QString::fromLatin1(in.take(4).toHex()) + QLatin1Char(' ');
            token += in.bText();
            in.take(4);  // program version
        } else if (type == 0x81) {
            QStringList names;
            columnTypes.clear();
            for (int i = in.get<quint16>(); i > 0 && in.ok(); --i) {
                (void)(atLeast72 ? in.get<quint32>() : in.get<quint16>());  // user type
                in.get<quint16>();                                           // flags
                columnTypes.append(in.get<quint8>());
                if (columnTypes.last() != 0x26 && columnTypes.last() != 0xA7 && columnTypes.last() != 0xE7) {
                    *error = QStringLiteral("unexpected column type 0x%1").arg(columnTypes.last(), 0, 16);
                    return false;
                }
                in.take(columnTypes.last() == 0x26 ? 1 : 7);  // length, and the collation of text
                names.append(in.bText());
            }
            token = QStringLiteral("cols ") + names.join(QLatin1Char(','));
        } else if (type == 0xD1) {
            QStringList values;
            for (quint8 column : columnTypes) {
                const int length = column == 0x26 ? in.get<quint8>() : in.get<quint16>();
                if (length == 0 || length == 0xFFFF)
                    values.append(QStringLiteral("NULL"));
                else if (column == 0xE7)
                    values.append(in.text(length / 2));
                else if (column == 0xA7)
                    values.append(QStringDecoder("GBK").decode(in.take(length)));
                else
                    values.append(QString::number(length == 4 ? in.get<qint32>() : in.get<qint64>()));
            }
            token = QStringLiteral("row ") + values.join(QLatin1Char(','));
        } else {
            *error = QStringLiteral("unknown token 0x%1").arg(type, 0, 16);
            return false;
        }
        if (!in.ok() || (sized && in.pos() - start != declared)) {
            *error = QStringLiteral("token 0x%1 is cut short or mis-sized").arg(type, 0, 16);
            return false;
        }
        tokens->append(token);
    }
    return true;
}

// The tokens of a stream of whole reply messages, every packet header checked on the way.
inline Reply readReply(const QByteArray& stream, bool atLeast72 = true, int maxPacketSize = 32767)
{
    Reply reply;
    QByteArray message;
    bool open = false;
    for (qsizetype at = 0; at < stream.size();) {
        const int length = stream.size() - at >= 8 ? quint8(stream[at + 2]) << 8 | quint8(stream[at + 3]) : 0;
        if (length < 8 || length > maxPacketSize || at + length > stream.size() || stream[at] != 0x04
            || (stream[at + 4] == 0 && stream[at + 5] == 0)) {
            reply.error = QStringLiteral("bad reply packet header at %1").arg(at);
            return reply;
        }
        message += stream.mid(at + 8, length - 8);
        open = !(stream[at + 1] & 0x01);
        at += length;
        if (!open) {
            if (!parseTokens(message, atLeast72, &reply.tokens, &reply.error))
                return reply;
            ++reply.messages;
            message.clear();
        }
    }
    reply.ok = !open;
    if (open)
        reply.error = QStringLiteral("last message has no end-of-message packet");
    return reply;
}

}  // namespace tdstest
