#pragma once

#include "AdoTypes.h"

#include <QString>
#include <functional>
#include <memory>

namespace db {

class OdbcHandles;

// A connection to one database, opened from an ADO-style connection string
// ("Provider=SQLOLEDB.1;...;Initial Catalog=X;Data Source=Y") with user and password apart.
// Every failure throws DbError.
//
// A call that loses the link to the server throws like any other failure: its outcome is
// unknown, so it is never sent again. The connection is then opened afresh, through the
// reopen handler, before its next statement; so are the other connections to the same server,
// which have almost surely lost theirs too. The password is not kept here: the handler supplies
// it at that moment.
//
// Every wait on the server goes through ServerCall. A statement that times out, or a call given
// up after a cancel, leaves the connection to be opened afresh before its next statement, as a
// lost link does.
class Connection {
public:
    using ReopenHandler = std::function<void(Connection&)>;

    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The handler calls open() again with the credentials as they are now; it throws DbError
    // when it cannot. Without a handler a connection that lost its link refuses statements
    // until its owner opens it again.
    static void setReopenHandler(ReopenHandler handler);

    // Seconds each answer to a statement may take before the statement fails; 30 by default.
    static void setStatementTimeout(int seconds);
    static int statementTimeout();

    void open(const QString& connectionString, const QString& user, const QString& password);
    // Open (1) from a successful open() until close(), including while a lost link waits to be reopened.
    int state() const;
    void close();
    // Runs a statement as a plain batch; rows and counts are read and discarded.
    void execute(const QString& sql);

    // Of the last open(), for the reopen handler.
    QString database() const;

    // Seconds a login may take before it fails (unreachable host, silent server); 15 by default.
    void setLoginTimeout(int seconds) { m_loginTimeout = seconds; }
    int loginTimeout() const { return m_loginTimeout; }

    // For the recordsets opened on this connection: makes the link ready for the next
    // statement (reading what an earlier recordset left, reopening a lost link); throws DbError
    // when the connection is closed or cannot be reopened.
    void prepareStatement();
    // Runs work with this connection's handles through ServerCall, the work owning what it
    // touches (see there), and notes what the outcome means for the link.
    void onServer(std::function<void(const std::shared_ptr<OdbcHandles>&)> work);

private:
    struct Detached {};
    // A connection of no one's: the login of open() runs on one, taken over when it succeeds.
    explicit Connection(Detached);
    void connectHere(const QString& connectionString, const QString& user, const QString& password);
    void takeOver(Connection& attempt);
    void reopen();
    void onLinkLost();

    std::shared_ptr<OdbcHandles> m_handles;
    bool m_detached = false;
    int m_loginTimeout = 15;
    QString m_connectionString;
    // Set when the link is known or presumed lost; cleared by a successful open() or by close().
    bool m_reopenPending = false;
    bool m_reopening = false;
};

}  // namespace db
