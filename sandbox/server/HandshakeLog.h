#pragma once

#include <QList>
#include <QMutex>
#include <QString>

namespace sandbox {

// How one connection's encryption turned out, for the tests and the console.
struct HandshakeRecord {
    QString encryption;  // "none", "login", "whole" or "refused"
    QString tls;         // the version negotiated, e.g. "TLS 1.2"; empty without a handshake
    QString failure;     // why the handshake failed; empty if it did not
};

// Thread-safe: connections record from the server thread, tests read from theirs.
class HandshakeLog {
public:
    void record(const HandshakeRecord& record);
    QList<HandshakeRecord> records() const;
    void clear();

private:
    mutable QMutex m_mutex;
    QList<HandshakeRecord> m_records;
};

}  // namespace sandbox
