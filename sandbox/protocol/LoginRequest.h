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
    QString hostName() const { return m_hostName; }
    QString userName() const { return m_userName; }
    QString password() const { return m_password; }
    QString appName() const { return m_appName; }
    QString serverName() const { return m_serverName; }
    QString libraryName() const { return m_libraryName; }
    QString language() const { return m_language; }
    QString database() const { return m_database; }

private:
    quint32 m_tdsVersion = 0;
    quint32 m_packetSize = 0;
    QString m_hostName;
    QString m_userName;
    QString m_password;
    QString m_appName;
    QString m_serverName;
    QString m_libraryName;
    QString m_language;
    QString m_database;
};

}  // namespace sandbox
