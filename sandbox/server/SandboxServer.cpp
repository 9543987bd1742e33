#include "SandboxServer.h"

#include "ConnectionListener.h"
#include "FaultInjector.h"
#include "StatementLog.h"
#include "engine/DataDirectory.h"
#include "tls/TlsCredentials.h"

#include <QThread>

namespace sandbox {

class SandboxServer::Impl {
public:
    explicit Impl(Options settings) : options(std::move(settings)), directory(options.dataDir) {}

    Options options;
    DataDirectory directory;
    FaultInjector faults;
    StatementLog log;
    HandshakeLog handshakes;
    std::shared_ptr<const TlsCredentials> credentials;
    QThread thread;
    ConnectionListener* listener = nullptr;  // owned by the server thread
    quint16 port = 0;
    bool logOpened = false;
};

SandboxServer::SandboxServer(Options options) : m_impl(std::make_unique<Impl>(std::move(options)))
{
    m_impl->thread.setObjectName(QStringLiteral("sandbox-server"));
}

SandboxServer::~SandboxServer()
{
    stop();
}

bool SandboxServer::start(QString* error)
{
    Impl& d = *m_impl;
    if (d.listener)
        return true;
    if (d.directory.seedingInterrupted()) {
        if (error)
            *error = QStringLiteral("%1 holds a demo seed that was cut short; start with --seed demo to seed it again, "
                                    "or remove the folder").arg(d.options.dataDir);
        return false;
    }
    if (!d.directory.ensure(error))
        return false;
    if (!d.options.logFile.isEmpty() && !d.logOpened) {
        if (!d.log.openFile(d.options.logFile, error))
            return false;
        d.logOpened = true;
    }

    if (!prepareTls(error))
        return false;

    ConnectionListener::Security security;
    security.profile = d.options.profile;
    security.forceEncryption = d.options.forceEncryption;
    security.transport.credentials = d.credentials;
    security.transport.lowestTls = d.options.profile.lowestTls();
    security.transport.highestTls = d.options.profile.highestTls();
    security.transport.log = &d.handshakes;
    d.thread.start();
    d.listener = new ConnectionListener(d.directory, d.faults, d.log, d.options.password, std::move(security));
    d.listener->moveToThread(&d.thread);
    QObject::connect(&d.thread, &QThread::finished, d.listener, &QObject::deleteLater);

    bool listening = false;
    QString reason;
    ConnectionListener* listener = d.listener;
    const quint16 wanted = d.options.port;
    QMetaObject::invokeMethod(
        listener, [&] { listening = listener->listen(wanted, &reason); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        stop();
        if (error)
            *error = reason;
        return false;
    }
    QMetaObject::invokeMethod(
        listener, [&] { d.port = listener->port(); }, Qt::BlockingQueuedConnection);
    return true;
}

void SandboxServer::stop()
{
    Impl& d = *m_impl;
    if (!d.listener)
        return;
    ConnectionListener* listener = d.listener;
    QMetaObject::invokeMethod(listener, [listener] { listener->shutdown(); }, Qt::BlockingQueuedConnection);
    // The listener is deleted on its own thread as the thread finishes.
    d.thread.quit();
    d.thread.wait();
    d.listener = nullptr;
    d.port = 0;
}

quint16 SandboxServer::port() const
{
    return m_impl->port;
}

void SandboxServer::addStatementHook(std::function<void(const StatementRecord&)> hook)
{
    m_impl->log.addHook(std::move(hook));
}

bool SandboxServer::prepareTls(QString* error)
{
    Impl& d = *m_impl;
    const ServerProfile& profile = d.options.profile;
    QString reason;
    if (!profile.offersTls()) {
        if (d.options.forceEncryption)
            reason = QStringLiteral("profile %1 offers no encryption to force").arg(profile.name());
    } else if (d.options.certificateFile.isEmpty() != d.options.keyFile.isEmpty()) {
        reason = QStringLiteral("a certificate needs its key, and a key its certificate");
    } else if (!d.credentials) {
        d.credentials = d.options.certificateFile.isEmpty()
                            ? TlsCredentials::selfSigned(&reason)
                            : TlsCredentials::fromFiles(d.options.certificateFile, d.options.keyFile, &reason);
    }
    if (reason.isEmpty())
        return true;
    if (error)
        *error = reason;
    return false;
}

QList<HandshakeRecord> SandboxServer::handshakes() const
{
    return m_impl->handshakes.records();
}

void SandboxServer::clearHandshakes()
{
    m_impl->handshakes.clear();
}

QByteArray SandboxServer::certificatePem() const
{
    return m_impl->credentials ? m_impl->credentials->certificatePem() : QByteArray();
}

FaultInjector& SandboxServer::faults()
{
    return m_impl->faults;
}

}  // namespace sandbox
