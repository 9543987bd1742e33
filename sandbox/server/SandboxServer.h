#pragma once

#include "HandshakeLog.h"
#include "ServerProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace sandbox {

class FaultInjector;

// One statement batch as the server received it, for the statement log and the tests.
struct StatementRecord {
    int connection = 0;  // 1, 2, ... in order of login
    QString database;    // current database when the batch arrived
    QString sql;         // the batch text exactly as sent
};

// The TDS server on 127.0.0.1. Its sockets live on a thread of its own, so that a test can block in
// the driver on the main thread while the server answers; each batch runs on a thread of its own
// too, so that a slow statement holds up nobody else and an attention or a stop interrupts it.
class SandboxServer {
public:
    struct Options {
        QString dataDir;       // folder of databases, created if missing
        quint16 port = 0;      // 0 picks a free port
        QString password;      // the sa password
        QString logFile;       // statement log (JSON lines); empty for none
        ServerProfile profile;         // the server generation to play; 2019 unless told
        bool forceEncryption = false;  // encrypt whole sessions and turn away clients that cannot
        QString certificateFile;       // PEM certificate and key; a self-signed pair is made when empty
        QString keyFile;
    };

    explicit SandboxServer(Options options);
    ~SandboxServer();  // stops the server
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    // Binds and starts serving; false with a reason when the port cannot be had.
    bool start(QString* error = nullptr);
    void stop();
    quint16 port() const;

    // Thread-safe: adds a hook called (on the server thread) for every batch received; the server
    // itself keeps none of them.
    void addStatementHook(std::function<void(const StatementRecord&)> hook);

    // Thread-safe: how each connection's encryption turned out, in order of prelogin.
    QList<HandshakeRecord> handshakes() const;
    void clearHandshakes();
    // The certificate clients are shown (PEM); empty when the profile offers no TLS.
    QByteArray certificatePem() const;

    // Thread-safe fault injection for reliability tests.
    FaultInjector& faults();

private:
    // Loads or makes the certificate the profile needs; false with a reason when it cannot.
    bool prepareTls(QString* error);

    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sandbox
