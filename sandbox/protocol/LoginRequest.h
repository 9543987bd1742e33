#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace sandbox {

// What a client's LOGIN7 message carries that the server acts on.
class LoginRequest {
public:
    // Null, with a reason, when the message is malformed.
    static std::optional<LoginRequest> parse(QByteArrayView payload, QString* error = nullptr);

    // Reverses the password scrambling: XOR with 0xA5, then swap the nibbles.
    static QByteArray decodePassword(QByteArrayView scrambled);

    quint32 tdsVersion() const { return m_tdsVersion; }
    quint32 packetSize() const { return m_packetSize; }
    QString userName() const { return m_userName; }
    QString password() const { return m_password; }
    QString database() const { return m_database; }

private:
    quint32 m_tdsVersion = 0;
    quint32 m_packetSize = 0;
    QString m_userName;
    QString m_password;
    QString m_database;
};

}  // namespace sandbox
