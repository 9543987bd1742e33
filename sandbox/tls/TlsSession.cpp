#include "TlsSession.h"

#include "TlsCredentials.h"

#include <cerrno>
#include <cstring>
#include <gnutls/gnutls.h>

namespace sandbox {

namespace {

// GnuTLS refuses larger plaintext in one record.
constexpr qsizetype MaxRecordPlaintext = 16384;
// Warnings during a handshake are retried this often before giving up.
constexpr int HandshakeAttempts = 8;

int minorOf(gnutls_protocol_t protocol)
{
    switch (protocol) {
    case GNUTLS_TLS1_0:
        return 0;
    case GNUTLS_TLS1_1:
        return 1;
    case GNUTLS_TLS1_2:
        return 2;
    case GNUTLS_TLS1_3:
        return 3;
    default:
        return -1;
    }
}

}  // namespace

TlsSession::TlsSession(std::shared_ptr<const TlsCredentials> credentials, int lowest, int highest)
    : m_credentials(std::move(credentials)), m_lowest(lowest), m_highest(highest)
{
    // Exactly the versions named are offered, whatever the system's defaults allow.
    QByteArray priority = "NORMAL:-VERS-ALL";
    for (int minor = lowest; minor <= highest; ++minor)
        priority += ":+VERS-TLS1." + QByteArray::number(minor);
    int code = gnutls_init(&m_session, GNUTLS_SERVER | GNUTLS_NO_TICKETS);
    if (code >= 0)
        code = gnutls_priority_set_direct(m_session, priority.constData(), nullptr);
    if (code >= 0)
        code = gnutls_credentials_set(m_session, GNUTLS_CRD_CERTIFICATE, m_credentials->handle());
    if (code < 0) {
        fail(QStringLiteral("cannot start TLS: %1").arg(QString::fromUtf8(gnutls_strerror(code))));
        return;
    }
    gnutls_transport_set_ptr(m_session, this);
    gnutls_transport_set_push_function(m_session, [](gnutls_transport_ptr_t self, const void* data, size_t size) {
        return static_cast<ssize_t>(push(self, data, size));
    });
    gnutls_transport_set_pull_function(m_session, [](gnutls_transport_ptr_t self, void* data, size_t size) {
        return static_cast<ssize_t>(pull(self, data, size));
    });
}

TlsSession::~TlsSession()
{
    if (m_session)
        gnutls_deinit(m_session);
}

long TlsSession::push(void* self, const void* data, size_t size)
{
    auto* session = static_cast<TlsSession*>(self);
    session->m_outgoing.append(static_cast<const char*>(data), qsizetype(size));
    return long(size);
}

long TlsSession::pull(void* self, void* data, size_t size)
{
    auto* session = static_cast<TlsSession*>(self);
    const qsizetype available = session->m_incoming.size() - session->m_read;
    if (available <= 0) {
        gnutls_transport_set_errno(session->m_session, EAGAIN);
        return -1;
    }
    const qsizetype taken = qMin(available, qsizetype(size));
    memcpy(data, session->m_incoming.constData() + session->m_read, size_t(taken));
    session->m_read += taken;
    if (session->m_read == session->m_incoming.size()) {
        session->m_incoming.clear();
        session->m_read = 0;
    }
    return long(taken);
}

TlsSession::Progress TlsSession::fail(const QString& reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return Progress::Failed;
}

TlsSession::Progress TlsSession::handshake(QByteArrayView records)
{
    if (!m_error.isEmpty())
        return Progress::Failed;
    m_incoming.append(records.data(), records.size());
    for (int attempt = 0; attempt < HandshakeAttempts; ++attempt) {
        const int code = gnutls_handshake(m_session);
        if (code == GNUTLS_E_AGAIN || code == GNUTLS_E_INTERRUPTED)
            return Progress::Continue;
        if (code < 0 && gnutls_error_is_fatal(code))
            return fail(QStringLiteral("TLS handshake failed: %1").arg(QString::fromUtf8(gnutls_strerror(code))));
        if (code < 0)
            continue;
        // The library keeps to the priority string; this is checked all the same, since a
        // profile is only worth its name if clients really meet the versions it claims.
        const int minor = minorOf(gnutls_protocol_get_version(m_session));
        if (minor < m_lowest || minor > m_highest)
            return fail(QStringLiteral("TLS handshake settled on an unexpected version (%1)")
                            .arg(QString::fromUtf8(gnutls_protocol_get_name(gnutls_protocol_get_version(m_session)))));
        m_version = QStringLiteral("TLS 1.%1").arg(minor);
        return Progress::Done;
    }
    return fail(QStringLiteral("TLS handshake failed: too many warnings"));
}

bool TlsSession::decrypt(QByteArrayView records, QByteArray* plain)
{
    if (!m_error.isEmpty())
        return false;
    m_incoming.append(records.data(), records.size());
    char buffer[MaxRecordPlaintext];
    for (;;) {
        const ssize_t got = gnutls_record_recv(m_session, buffer, sizeof buffer);
        if (got > 0) {
            plain->append(buffer, got);
            continue;
        }
        // Nothing more to read for now, or the client said goodbye (the socket closes next).
        if (got == 0 || got == GNUTLS_E_AGAIN || got == GNUTLS_E_INTERRUPTED)
            return true;
        if (gnutls_error_is_fatal(int(got))) {
            fail(QStringLiteral("TLS record refused: %1").arg(QString::fromUtf8(gnutls_strerror(int(got)))));
            return false;
        }
    }
}

void TlsSession::encrypt(QByteArrayView plain)
{
    qsizetype offset = 0;
    while (m_error.isEmpty() && offset < plain.size()) {
        const qsizetype chunk = qMin(plain.size() - offset, MaxRecordPlaintext);
        const ssize_t sent = gnutls_record_send(m_session, plain.data() + offset, size_t(chunk));
        if (sent <= 0)  // records go to memory, so nothing short of a failure stops them
            fail(QStringLiteral("TLS record not sent: %1").arg(QString::fromUtf8(gnutls_strerror(int(sent)))));
        else
            offset += sent;
    }
}

QByteArray TlsSession::takeOutgoing()
{
    QByteArray out;
    out.swap(m_outgoing);
    return out;
}

}  // namespace sandbox
