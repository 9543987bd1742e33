#include "HandshakeLog.h"

#include <QMutexLocker>

namespace sandbox {

void HandshakeLog::record(const HandshakeRecord& record)
{
    QMutexLocker lock(&m_mutex);
    m_records.append(record);
}

QList<HandshakeRecord> HandshakeLog::records() const
{
    QMutexLocker lock(&m_mutex);
    return m_records;
}

void HandshakeLog::clear()
{
    QMutexLocker lock(&m_mutex);
    m_records.clear();
}

}  // namespace sandbox
