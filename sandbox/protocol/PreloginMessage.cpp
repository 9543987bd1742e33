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

PreloginMessage::EncryptionChoice PreloginMessage::chooseEncryption(quint8 client, bool offered, bool required)
{
    if (!offered)
        return {EncryptNotSupported, Session::Plain};
    const bool clientWantsAll = client == EncryptOn || client == EncryptRequired;
    if (required) {
        if (client == EncryptNotSupported)
            return {EncryptRequired, Session::Refused};
        return {quint8(clientWantsAll ? EncryptOn : EncryptRequired), Session::Whole};
    }
    if (client == EncryptNotSupported)
        return {EncryptNotSupported, Session::Plain};
    return clientWantsAll ? EncryptionChoice{EncryptOn, Session::Whole} : EncryptionChoice{EncryptOff, Session::LoginOnly};
}

QByteArray PreloginMessage::serverReply(quint8 major, quint8 minor, quint16 build, quint8 encryption)
{
    ByteWriter version;
    version.u8(major);
    version.u8(minor);
    version.u16be(build);
    version.u16be(0);

    const std::vector<std::pair<quint8, QByteArray>> options = {
        {Version, version.data()},
        {Encryption, QByteArray(1, char(encryption))},
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
