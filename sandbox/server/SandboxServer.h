#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace sandbox {

class Backend;
class FaultInjector;

// One statement batch as the server received it, for the statement log and the tests.
struct StatementRecord {
    int connection = 0;  // 1, 2, ... in order of login
    QString database;    // current database when the batch arrived
    QString sql;         // the batch text exactly as sent
};

// The TDS server on 127.0.0.1, serving every connection from one thread of its own so that
// a test can block in the driver on the main thread while the server answers.
class SandboxServer {
public:
    struct Options {
        QString dataDir;       // folder of databases, created if missing
        quint16 port = 0;      // 0 picks a free port
        QString password;      // the sa password
        QString logFile;       // statement log (JSON lines); empty for none
    };

    explicit SandboxServer(Options options);
    // Serves statements from another engine than the SQLite one (dataDir is then unused).
    SandboxServer(Options options, std::unique_ptr<Backend> backend);
    ~SandboxServer();  // stops the server
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    // Binds and starts serving; false with a reason when the port cannot be had.
    bool start(QString* error = nullptr);
    void stop();
    quint16 port() const;

    // Thread-safe: every batch received so far, and a hook called (on the server thread) for each.
    QList<StatementRecord> statements() const;
    void clearStatements();
    void setStatementHook(std::function<void(const StatementRecord&)> hook);

    // Thread-safe fault injection for reliability tests.
    FaultInjector& faults();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sandbox
