#pragma once

#include "ServerProfile.h"
#include "protocol/PacketWriter.h"
#include "protocol/PreloginMessage.h"
#include "protocol/TdsMessage.h"
#include "protocol/TdsVersion.h"
#include "protocol/TokenWriter.h"

#include <QString>
#include <functional>
#include <memory>

namespace sandbox {

class BatchRunner;
class DataDirectory;
class FaultInjector;
class Session;
class StatementLog;

// One client's conversation: prelogin, login, then batches, each answered in reply packets.
// Knows nothing of sockets: requests go in whole, reply bytes are drawn out as the
// transport can take them, so a large result is produced only as fast as it is sent.
// A batch runs on a thread of its own (BatchRunner); the rest of the conversation does not.
class ClientConnection {
public:
    enum class State { AwaitingPrelogin, AwaitingLogin, LoggedIn, Closed };

    struct Settings {
        const DataDirectory* directory = nullptr;
        FaultInjector* faults = nullptr;  // optional
        StatementLog* log = nullptr;      // optional
        std::function<int()> nextConnectionId;  // numbers connections in order of login
        QString password;                       // the sa password
        QString serverName;                     // shown in error and info messages
        quint16 spid = 1;
        ServerProfile profile;         // version reported and protocol revisions spoken
        bool forceEncryption = false;  // a client that cannot encrypt is turned away
    };

    static constexpr const char* DefaultDatabase = "zrsystem";

    explicit ClientConnection(Settings settings);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Called (on a batch's own thread) when takeOutput() has more to give after giving nothing.
    void setWakeHandler(std::function<void()> wake) { m_wake = std::move(wake); }

    // Takes one complete request; an attention may come at any time.
    void handle(const TdsMessage& message);

    // True while part of a reply is still to be produced or taken.
    bool isReplying() const;
    // Reply packets, taking rows of a running batch until about maxBytes are ready; empty while
    // the batch is still working on what comes next.
    QByteArray takeOutput(qsizetype maxBytes);

    // The connection must be closed once the reply has been sent (a refused login).
    bool closeAfterReply() const { return m_closeAfterReply; }
    // The connection must be closed at once, without a reply (malformed input or a drop fault).
    bool abortRequested() const { return !m_abortReason.isEmpty(); }

    State state() const { return m_state; }
    // How the connection is encrypted, as agreed in the prelogin exchange.
    PreloginMessage::Session encryption() const { return m_encryption; }

private:
    void prelogin(const TdsMessage& message);
    void login(const TdsMessage& message);
    void refuseLogin(const QString& user, const QString& unknownDatabase = {});
    void batch(const TdsMessage& message);
    void refuse(const SqlError& error);
    void attention();
    bool step();
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
    PreloginMessage::Session m_encryption = PreloginMessage::Session::Plain;
    int m_connectionId = 0;
    QString m_database;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<BatchRunner> m_execution;  // destroyed before the session it runs on
    std::function<void()> m_wake;

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
