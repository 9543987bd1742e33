#include "SandboxServer.h"

#include "ConnectionListener.h"
#include "EngineBackend.h"
#include "FaultInjector.h"
#include "StatementLog.h"

#include <QThread>

namespace sandbox {

class SandboxServer::Impl {
public:
    Options options;
    std::unique_ptr<Backend> backend;
    FaultInjector faults;
    StatementLog log;
    QThread thread;
    ConnectionListener* listener = nullptr;  // owned by the server thread
    quint16 port = 0;
    bool logOpened = false;
};

SandboxServer::SandboxServer(Options options)
    : SandboxServer(options, std::make_unique<EngineBackend>(options.dataDir))
{
}

SandboxServer::SandboxServer(Options options, std::unique_ptr<Backend> backend) : m_impl(std::make_unique<Impl>())
{
    m_impl->options = std::move(options);
    m_impl->backend = std::move(backend);
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
    if (!d.backend->prepare(error))
        return false;
    if (!d.options.logFile.isEmpty() && !d.logOpened) {
        if (!d.log.openFile(d.options.logFile, error))
            return false;
        d.logOpened = true;
    }

    d.thread.start();
    d.listener = new ConnectionListener(*d.backend, d.faults, d.log, d.options.password);
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
    d.faults.setDropAllHandler([listener] {
        QMetaObject::invokeMethod(listener, [listener] { listener->dropAll(); }, Qt::QueuedConnection);
    });
    return true;
}

void SandboxServer::stop()
{
    Impl& d = *m_impl;
    if (!d.listener)
        return;
    d.faults.setDropAllHandler({});
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

QList<StatementRecord> SandboxServer::statements() const
{
    return m_impl->log.records();
}

void SandboxServer::clearStatements()
{
    m_impl->log.clear();
}

void SandboxServer::setStatementHook(std::function<void(const StatementRecord&)> hook)
{
    m_impl->log.setHook(std::move(hook));
}

FaultInjector& SandboxServer::faults()
{
    return m_impl->faults;
}

}  // namespace sandbox
