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

    // What the exchange means for the rest of the connection.
    enum class Session : quint8 {
        Plain,      // no TLS at all
        LoginOnly,  // the login packet alone travels encrypted
        Whole,      // everything after the handshake travels encrypted
        Refused,    // the server requires encryption and the client cannot: the connection ends
    };
    struct EncryptionChoice {
        quint8 answer;
        Session session;
    };

    static std::optional<PreloginMessage> parse(QByteArrayView payload);
    // The server's answer to a client's encryption option, for a server that offers TLS or not
    // and, if it does, that requires it or not.
    static EncryptionChoice chooseEncryption(quint8 client, bool offered, bool required);

    bool has(Option option) const { return m_options.contains(option); }
    QByteArray option(Option option) const { return m_options.value(option); }
    // The client's encryption wish; EncryptOff when it sent none.
    quint8 encryption() const;

    // The server's answer: the encryption chosen, no MARS, and a six-byte version.
    static QByteArray serverReply(quint8 major, quint8 minor, quint16 build, quint8 encryption);

private:
    QMap<quint8, QByteArray> m_options;
};

}  // namespace sandbox
