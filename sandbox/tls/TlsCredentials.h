#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct gnutls_certificate_credentials_st;

namespace sandbox {

// The server's certificate and private key, shared by every TLS session of the process.
// The key is held in memory only: it is never written anywhere.
class TlsCredentials {
public:
    // A self-signed certificate for "localhost" and 127.0.0.1, made on first use and kept for
    // the life of the process (an RSA key takes a noticeable moment to make).
    static std::shared_ptr<const TlsCredentials> selfSigned(QString* error);
    // A PEM certificate and its PEM private key.
    static std::shared_ptr<const TlsCredentials> fromFiles(const QString& certificateFile, const QString& keyFile,
                                                           QString* error);

    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    gnutls_certificate_credentials_st* handle() const { return m_credentials; }
    // The certificate alone (PEM), for clients that are to trust it.
    QByteArray certificatePem() const { return m_certificatePem; }

private:
    TlsCredentials() = default;

    gnutls_certificate_credentials_st* m_credentials = nullptr;
    QByteArray m_certificatePem;
};

}  // namespace sandbox
