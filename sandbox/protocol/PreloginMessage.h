#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <optional>

namespace sandbox {

// The option table both sides exchange before login.
class PreloginMessage {
public:
    enum Option : quint8 { Version = 0, Encryption = 1, Instance = 2, ThreadId = 3, Mars = 4, Terminator = 0xFF };
    enum EncryptionMode : quint8 { EncryptOff = 0, EncryptOn = 1, EncryptNotSupported = 2, EncryptRequired = 3 };

    static std::optional<PreloginMessage> parse(QByteArrayView payload);

    bool has(Option option) const { return m_options.contains(option); }
    QByteArray option(Option option) const { return m_options.value(option); }
    // The client's encryption wish; EncryptOff when it sent none.
    quint8 encryption() const;

    // The server's answer: no encryption, no MARS, and a six-byte version.
    static QByteArray serverReply(quint8 major, quint8 minor, quint16 build);

private:
    QMap<quint8, QByteArray> m_options;
};

}  // namespace sandbox
