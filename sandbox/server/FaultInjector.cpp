#include "FaultInjector.h"

#include <QMutexLocker>

namespace sandbox {

void FaultInjector::failStatements(const QRegularExpression& pattern, int number, const QString& message)
{
    QMutexLocker lock(&m_mutex);
    m_failures.push_back(Rule{pattern, Failure{number, message}});
}

void FaultInjector::dropConnectionOn(const QRegularExpression& pattern)
{
    QMutexLocker lock(&m_mutex);
    m_drops.push_back(pattern);
}

void FaultInjector::setDelay(std::chrono::milliseconds delay)
{
    QMutexLocker lock(&m_mutex);
    m_delay = delay;
}

void FaultInjector::setUnresponsive(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_unresponsive = on;
}

void FaultInjector::clear()
{
    QMutexLocker lock(&m_mutex);
    m_failures.clear();
    m_drops.clear();
    m_delay = std::chrono::milliseconds{0};
    m_unresponsive = false;
}

std::optional<FaultInjector::Failure> FaultInjector::failureFor(const QString& sql) const
{
    QMutexLocker lock(&m_mutex);
    for (const Rule& rule : m_failures) {
        if (rule.pattern.match(sql).hasMatch())
            return rule.failure;
    }
    return std::nullopt;
}

bool FaultInjector::takeDropFor(const QString& sql)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_drops.begin(); it != m_drops.end(); ++it) {
        if (it->match(sql).hasMatch()) {
            m_drops.erase(it);
            return true;
        }
    }
    return false;
}

std::chrono::milliseconds FaultInjector::delay() const
{
    QMutexLocker lock(&m_mutex);
    return m_delay;
}

bool FaultInjector::unresponsive() const
{
    QMutexLocker lock(&m_mutex);
    return m_unresponsive;
}

}  // namespace sandbox
