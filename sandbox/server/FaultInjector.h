#pragma once

#include <QMutex>
#include <QRegularExpression>
#include <QString>
#include <chrono>
#include <optional>
#include <vector>

namespace sandbox {

// Faults a test arms on a running server. Thread-safe: armed from the test thread, read on the server thread.
class FaultInjector {
public:
    // Every batch whose text matches the pattern fails with this error instead of running.
    void failStatements(const QRegularExpression& pattern, int number, const QString& message);
    // The next batch whose text matches the pattern is not answered: its connection is closed.
    void dropConnectionOn(const QRegularExpression& pattern);
    // Every answer waits this long before it is sent.
    void setDelay(std::chrono::milliseconds delay);
    // Connections are accepted but never answered (a black hole), until switched off.
    void setUnresponsive(bool on);
    void clear();

    // For the server.
    struct Failure { int number; QString message; };
    std::optional<Failure> failureFor(const QString& sql) const;
    bool takeDropFor(const QString& sql);
    std::chrono::milliseconds delay() const;
    bool unresponsive() const;

private:
    mutable QMutex m_mutex;
    struct Rule { QRegularExpression pattern; Failure failure; };
    std::vector<Rule> m_failures;
    std::vector<QRegularExpression> m_drops;
    std::chrono::milliseconds m_delay{0};
    bool m_unresponsive = false;
};

}  // namespace sandbox
