#include "TlsCredentials.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <ctime>
#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

namespace sandbox {

namespace {

constexpr unsigned RsaBits = 2048;
constexpr time_t ValidSeconds = time_t(10) * 365 * 24 * 3600;

struct KeyDeleter {
    void operator()(gnutls_x509_privkey_int* key) const { gnutls_x509_privkey_deinit(key); }
};
struct CertificateDeleter {
    void operator()(gnutls_x509_crt_int* certificate) const { gnutls_x509_crt_deinit(certificate); }
};
using Key = std::unique_ptr<gnutls_x509_privkey_int, KeyDeleter>;
using Certificate = std::unique_ptr<gnutls_x509_crt_int, CertificateDeleter>;

bool failed(int code, const char* step, QString* error)
{
    if (code >= 0)
        return false;
    if (error)
        *error = QStringLiteral("cannot make the TLS certificate (%1): %2").arg(QLatin1String(step), QString::fromUtf8(gnutls_strerror(code)));
    return true;
}

QMutex g_selfSignedMutex;
std::shared_ptr<const TlsCredentials> g_selfSigned;

}  // namespace

TlsCredentials::~TlsCredentials()
{
    if (m_credentials)
        gnutls_certificate_free_credentials(m_credentials);
}

std::shared_ptr<const TlsCredentials> TlsCredentials::selfSigned(QString* error)
{
    QMutexLocker lock(&g_selfSignedMutex);
    if (g_selfSigned)
        return g_selfSigned;

    gnutls_x509_privkey_t rawKey = nullptr;
    if (failed(gnutls_x509_privkey_init(&rawKey), "key", error))
        return nullptr;
    Key key(rawKey);
    if (failed(gnutls_x509_privkey_generate(key.get(), GNUTLS_PK_RSA, RsaBits, 0), "key", error))
        return nullptr;

    gnutls_x509_crt_t rawCertificate = nullptr;
    if (failed(gnutls_x509_crt_init(&rawCertificate), "certificate", error))
        return nullptr;
    Certificate certificate(rawCertificate);
    unsigned char serial[8];
    if (failed(gnutls_rnd(GNUTLS_RND_NONCE, serial, sizeof serial), "serial", error))
        return nullptr;
    serial[0] &= 0x7F;  // a positive number
    const time_t now = std::time(nullptr);
    const char host[] = "localhost";
    const unsigned char loopback[] = {127, 0, 0, 1};
    gnutls_x509_crt_t crt = certificate.get();
    if (failed(gnutls_x509_crt_set_version(crt, 3), "version", error)
        || failed(gnutls_x509_crt_set_serial(crt, serial, sizeof serial), "serial", error)
        || failed(gnutls_x509_crt_set_activation_time(crt, now - 3600), "validity", error)
        || failed(gnutls_x509_crt_set_expiration_time(crt, now + ValidSeconds), "validity", error)
        || failed(gnutls_x509_crt_set_dn_by_oid(crt, GNUTLS_OID_X520_COMMON_NAME, 0, host, sizeof host - 1), "name", error)
        || failed(gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_DNSNAME, host, sizeof host - 1, GNUTLS_FSAN_APPEND),
                  "name", error)
        || failed(gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, loopback, sizeof loopback,
                                                       GNUTLS_FSAN_APPEND),
                  "name", error)
        || failed(gnutls_x509_crt_set_key(crt, key.get()), "key", error)
        || failed(gnutls_x509_crt_set_key_usage(crt, GNUTLS_KEY_DIGITAL_SIGNATURE | GNUTLS_KEY_KEY_ENCIPHERMENT), "usage",
                  error)
        || failed(gnutls_x509_crt_set_key_purpose_oid(crt, GNUTLS_KP_TLS_WWW_SERVER, 0), "usage", error)
        || failed(gnutls_x509_crt_sign2(crt, crt, key.get(), GNUTLS_DIG_SHA256, 0), "signature", error))
        return nullptr;

    std::shared_ptr<TlsCredentials> made(new TlsCredentials);
    if (failed(gnutls_certificate_allocate_credentials(&made->m_credentials), "credentials", error)
        || failed(gnutls_certificate_set_x509_key(made->m_credentials, &crt, 1, key.get()), "credentials", error))
        return nullptr;
    gnutls_datum_t pem{};
    if (failed(gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, &pem), "export", error))
        return nullptr;
    made->m_certificatePem = QByteArray(reinterpret_cast<const char*>(pem.data), int(pem.size));
    gnutls_free(pem.data);
    // Ephemeral Diffie-Hellman suites need parameters; old clients may offer nothing else.
    gnutls_certificate_set_known_dh_params(made->m_credentials, GNUTLS_SEC_PARAM_MEDIUM);
    g_selfSigned = made;
    return g_selfSigned;
}

std::shared_ptr<const TlsCredentials> TlsCredentials::fromFiles(const QString& certificateFile, const QString& keyFile,
                                                                 QString* error)
{
    QFile file(certificateFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(certificateFile, file.errorString());
        return nullptr;
    }
    std::shared_ptr<TlsCredentials> loaded(new TlsCredentials);
    loaded->m_certificatePem = file.readAll();
    const QByteArray certificatePath = QFile::encodeName(certificateFile);
    const QByteArray keyPath = QFile::encodeName(keyFile);
    int code = gnutls_certificate_allocate_credentials(&loaded->m_credentials);
    if (code >= 0)
        code = gnutls_certificate_set_x509_key_file2(loaded->m_credentials, certificatePath.constData(),
                                                     keyPath.constData(), GNUTLS_X509_FMT_PEM, nullptr, 0);
    if (code < 0) {
        if (error)
            *error = QStringLiteral("cannot use the certificate %1 with the key %2: %3")
                         .arg(certificateFile, keyFile, QString::fromUtf8(gnutls_strerror(code)));
        return nullptr;
    }
    gnutls_certificate_set_known_dh_params(loaded->m_credentials, GNUTLS_SEC_PARAM_MEDIUM);
    return loaded;
}

}  // namespace sandbox
