#include "ConnectionSecurity.h"

#include "HandshakeLog.h"
#include "protocol/TdsDefs.h"
#include "tls/TlsSession.h"

#include <QtEndian>

namespace sandbox {

namespace {

QString nameOf(PreloginMessage::Session session)
{
    switch (session) {
    case PreloginMessage::Session::Plain:
        return QStringLiteral("none");
    case PreloginMessage::Session::LoginOnly:
        return QStringLiteral("login");
    case PreloginMessage::Session::Whole:
        return QStringLiteral("whole");
    case PreloginMessage::Session::Refused:
        return QStringLiteral("refused");
    }
    return {};
}

}  // namespace

ConnectionSecurity::ConnectionSecurity(Settings settings, quint16 spid)
    : m_settings(std::move(settings)), m_packets(tds::DefaultPacketSize, spid)
{
}

ConnectionSecurity::~ConnectionSecurity() = default;

void ConnectionSecurity::begin(PreloginMessage::Session session)
{
    m_session = session;
    if (session == PreloginMessage::Session::Plain || session == PreloginMessage::Session::Refused) {
        record({}, {});
        return;
    }
    if (!m_settings.credentials) {
        fail(QStringLiteral("no certificate to encrypt with"));
        return;
    }
    m_tls = std::make_unique<TlsSession>(m_settings.credentials, m_settings.lowestTls, m_settings.highestTls);
    if (!m_tls->error().isEmpty()) {
        fail(m_tls->error());
        return;
    }
    m_phase = Phase::Handshake;
}

bool ConnectionSecurity::receive(QByteArrayView wire, QByteArray* plain)
{
    switch (m_phase) {
    case Phase::Plain:
        plain->append(wire.data(), wire.size());
        return true;
    case Phase::Handshake:
        m_buffer.append(wire.data(), wire.size());
        return handshake(plain);
    case Phase::Encrypted:
        return m_tls->decrypt(wire, plain) || fail(m_tls->error());
    case Phase::Failed:
        break;
    }
    return false;
}

bool ConnectionSecurity::handshake(QByteArray* plain)
{
    qsizetype consumed = 0;
    while (m_buffer.size() - consumed >= tds::HeaderSize) {
        const char* header = m_buffer.constData() + consumed;
        const int length = qFromBigEndian<quint16>(header + 2);
        if (static_cast<quint8>(header[0]) != tds::Prelogin || length < tds::HeaderSize)
            return fail(QStringLiteral("expected a TLS handshake inside a prelogin packet"));
        if (m_buffer.size() - consumed < length)
            break;
        const QByteArrayView records(header + tds::HeaderSize, length - tds::HeaderSize);
        consumed += length;
        const TlsSession::Progress progress = m_tls->handshake(records);
        const QByteArray answer = m_tls->takeOutgoing();
        if (!answer.isEmpty())
            m_handshakeOutput += m_packets.message(tds::Prelogin, answer);
        if (progress == TlsSession::Progress::Failed)
            return fail(m_tls->error());
        if (progress == TlsSession::Progress::Done) {
            record(m_tls->version(), {});
            m_phase = Phase::Encrypted;
            // From here records come bare; the client may already have sent its login.
            const QByteArray rest = m_buffer.mid(consumed);
            m_buffer.clear();
            return rest.isEmpty() || receive(rest, plain);
        }
    }
    m_buffer.remove(0, consumed);
    return true;
}

QByteArray ConnectionSecurity::takeHandshakeOutput()
{
    QByteArray out;
    out.swap(m_handshakeOutput);
    return out;
}

QByteArray ConnectionSecurity::send(QByteArrayView plain)
{
    if (m_phase != Phase::Encrypted)
        return plain.toByteArray();
    m_tls->encrypt(plain);
    return m_tls->takeOutgoing();
}

void ConnectionSecurity::loginReceived()
{
    if (m_phase == Phase::Encrypted && m_session == PreloginMessage::Session::LoginOnly) {
        m_phase = Phase::Plain;
        m_tls.reset();
    }
}

void ConnectionSecurity::closed()
{
    if (m_phase == Phase::Handshake)
        fail(QStringLiteral("the client left during the TLS handshake"));
}

bool ConnectionSecurity::fail(const QString& reason)
{
    if (m_phase != Phase::Failed && m_phase != Phase::Encrypted)
        record({}, reason);
    m_phase = Phase::Failed;
    m_error = reason;
    return false;
}

void ConnectionSecurity::record(const QString& tls, const QString& failure)
{
    if (m_settings.log)
        m_settings.log->record(HandshakeRecord{nameOf(m_session), tls, failure});
}

}  // namespace sandbox
