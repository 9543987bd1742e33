#pragma once

#include "protocol/PacketWriter.h"
#include "protocol/TdsMessage.h"
#include "protocol/TdsVersion.h"
#include "protocol/TokenWriter.h"

#include <QString>
#include <functional>
#include <memory>

namespace sandbox {

class Backend;
class BackendSession;
class BatchExecution;
class FaultInjector;
class StatementLog;

// One client's conversation: prelogin, login, then batches, each answered in reply packets.
// Knows nothing of sockets: requests go in whole, reply bytes are drawn out as the
// transport can take them, so a large result is produced only as fast as it is sent.
class ClientConnection {
public:
    enum class State { AwaitingPrelogin, AwaitingLogin, LoggedIn, Closed };

    struct Settings {
        Backend* backend = nullptr;
        FaultInjector* faults = nullptr;  // optional
        StatementLog* log = nullptr;      // optional
        std::function<int()> nextConnectionId;  // numbers connections in order of login
        QString password;                       // the sa password
        QString serverName;                     // shown in error and info messages
        quint16 spid = 1;
    };

    static constexpr const char* DefaultDatabase = "zrsystem";

    explicit ClientConnection(Settings settings);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Takes one complete request; an attention may come at any time.
    void handle(const TdsMessage& message);

    // True while part of a reply is still to be produced or taken.
    bool isReplying() const;
    // Reply packets, producing rows of a running batch until about maxBytes are ready.
    QByteArray takeOutput(qsizetype maxBytes);

    // The connection must be closed once the reply has been sent (a refused login).
    bool closeAfterReply() const { return m_closeAfterReply; }
    // The connection must be closed at once, without a reply (malformed input or a drop fault).
    bool abortRequested() const { return !m_abortReason.isEmpty(); }
    QString abortReason() const { return m_abortReason; }

    State state() const { return m_state; }
    int connectionId() const { return m_connectionId; }
    QString database() const { return m_database; }
    TdsVersion version() const { return m_version; }
    int packetSize() const { return m_packets.packetSize(); }

private:
    void prelogin(const TdsMessage& message);
    void login(const TdsMessage& message);
    void refuseLogin(const QString& user, const QString& unknownDatabase = {});
    void batch(const TdsMessage& message);
    void refuse(const SqlError& error);
    void attention();
    void step();
    void finishBatch();
    void flushPendingDone(bool more);
    void beginReply();
    void flushTokens();
    void finishReply();
    void abort(const QString& reason);
    SqlError messageOf(int number, int state, int severity, const QString& text) const;

    Settings m_settings;
    State m_state = State::AwaitingPrelogin;
    TdsVersion m_version;
    int m_connectionId = 0;
    QString m_database;
    std::unique_ptr<BackendSession> m_session;
    std::unique_ptr<BatchExecution> m_execution;

    PacketWriter m_packets;
    TokenWriter m_tokens;
    QByteArray m_output;

    // A statement's DONE is held back until it is known whether more follows.
    bool m_pendingDone = false;
    quint16 m_pendingStatus = 0;
    quint64 m_pendingCount = 0;
    bool m_errorSinceDone = false;

    bool m_closeAfterReply = false;
    QString m_abortReason;
};

}  // namespace sandbox
