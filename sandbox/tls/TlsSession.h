#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

struct gnutls_session_int;

namespace sandbox {

class TlsCredentials;

// The server side of one TLS session, fed and drained through memory so that the caller decides
// how records travel (inside prelogin packets during the handshake, bare afterwards).
class TlsSession {
public:
    enum class Progress { Continue, Done, Failed };

    // Offers exactly TLS 1.lowest to TLS 1.highest (minor numbers 0 to 2).
    TlsSession(std::shared_ptr<const TlsCredentials> credentials, int lowest, int highest);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Takes handshake records from the client; the answer, if any, is then in takeOutgoing().
    Progress handshake(QByteArrayView records);
    // Application data after the handshake: false when the records cannot be read.
    bool decrypt(QByteArrayView records, QByteArray* plain);
    void encrypt(QByteArrayView plain);
    // Records for the client produced so far.
    QByteArray takeOutgoing();

    // "TLS 1.2" once the handshake is done.
    QString version() const { return m_version; }
    QString error() const { return m_error; }

private:
    static long push(void* self, const void* data, size_t size);
    static long pull(void* self, void* data, size_t size);
    Progress fail(const QString& reason);

    std::shared_ptr<const TlsCredentials> m_credentials;
    gnutls_session_int* m_session = nullptr;
    int m_lowest;
    int m_highest;
    QByteArray m_incoming;
    qsizetype m_read = 0;
    QByteArray m_outgoing;
    QString m_version;
    QString m_error;
};

}  // namespace sandbox
