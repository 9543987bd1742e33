#pragma once

#include "protocol/PacketWriter.h"
#include "protocol/PreloginMessage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace sandbox {

class HandshakeLog;
class TlsCredentials;
class TlsSession;

// Encryption of one connection's byte stream. Plain until the prelogin is answered; then the TLS
// handshake, its records carried inside prelogin packets; then TLS records bare on the socket,
// either for the login packet alone or for the rest of the connection.
class ConnectionSecurity {
public:
    struct Settings {
        std::shared_ptr<const TlsCredentials> credentials;  // null when the server offers no TLS
        int lowestTls = 0;                                  // minor numbers of TLS 1.x
        int highestTls = 2;
        HandshakeLog* log = nullptr;  // optional
    };

    ConnectionSecurity(Settings settings, quint16 spid);
    ~ConnectionSecurity();
    ConnectionSecurity(const ConnectionSecurity&) = delete;
    ConnectionSecurity& operator=(const ConnectionSecurity&) = delete;

    // The prelogin has been answered with this outcome.
    void begin(PreloginMessage::Session session);
    // Bytes from the socket; the plain TDS bytes among them are appended to `plain`.
    // False once the connection must end (a failed handshake or an unreadable record).
    bool receive(QByteArrayView wire, QByteArray* plain);
    // Handshake answers produced by receive(), ready for the socket.
    QByteArray takeHandshakeOutput();
    // A reply as it must go on the socket.
    QByteArray send(QByteArrayView plain);
    // The login packet has been read: with login-only encryption both sides drop TLS here.
    void loginReceived();
    // The connection has ended; a handshake still under way is recorded as failed.
    void closed();

    QString error() const { return m_error; }

private:
    enum class Phase { Plain, Handshake, Encrypted, Failed };

    bool handshake(QByteArray* plain);
    bool fail(const QString& reason);
    void record(const QString& tls, const QString& failure);

    Settings m_settings;
    PacketWriter m_packets;
    Phase m_phase = Phase::Plain;
    PreloginMessage::Session m_session = PreloginMessage::Session::Plain;
    std::unique_ptr<TlsSession> m_tls;
    QByteArray m_buffer;  // handshake packets not yet complete
    QByteArray m_handshakeOutput;
    QString m_error;
};

}  // namespace sandbox
