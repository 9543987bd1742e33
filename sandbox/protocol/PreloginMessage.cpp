#include "PreloginMessage.h"

#include "ByteReader.h"
#include "ByteWriter.h"

#include <utility>
#include <vector>

namespace sandbox {

std::optional<PreloginMessage> PreloginMessage::parse(QByteArrayView payload)
{
    PreloginMessage message;
    ByteReader table(payload);
    for (;;) {
        const quint8 token = table.u8();
        if (!table.ok())
            return std::nullopt;
        if (token == Terminator)
            break;
        const quint16 offset = table.u16be();
        const quint16 length = table.u16be();
        if (!table.ok() || offset + length > payload.size())
            return std::nullopt;
        message.m_options.insert(token, payload.sliced(offset, length).toByteArray());
    }
    return message;
}

quint8 PreloginMessage::encryption() const
{
    const QByteArray value = m_options.value(Encryption);
    return value.isEmpty() ? quint8(EncryptOff) : static_cast<quint8>(value[0]);
}

QByteArray PreloginMessage::serverReply(quint8 major, quint8 minor, quint16 build)
{
    ByteWriter version;
    version.u8(major);
    version.u8(minor);
    version.u16be(build);
    version.u16be(0);

    const std::vector<std::pair<quint8, QByteArray>> options = {
        {Version, version.data()},
        // Not supported: clients then log in without starting TLS.
        {Encryption, QByteArray(1, char(EncryptNotSupported))},
        {Instance, QByteArray(1, '\0')},
        {Mars, QByteArray(1, '\0')},
    };
    ByteWriter table;
    ByteWriter data;
    const auto start = static_cast<quint16>(options.size() * 5 + 1);
    for (const auto& [token, value] : options) {
        table.u8(token);
        table.u16be(static_cast<quint16>(start + data.size()));
        table.u16be(static_cast<quint16>(value.size()));
        data.bytes(value);
    }
    table.u8(Terminator);
    table.bytes(data.data());
    return table.take();
}

}  // namespace sandbox
