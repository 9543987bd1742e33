#include "DbError.h"

namespace db {

DbError::DbError(const QString& description, const QString& sqlState, int nativeError,
                 const QList<DiagnosticRecord>& records)
    : std::runtime_error(description.toStdString())
    , m_description(description)
    , m_sqlState(sqlState)
    , m_nativeError(nativeError)
    , m_records(records)
{
}

DbError DbError::explained(const QString& sentence) const
{
    if (sentence.isEmpty())
        return *this;
    return DbError(m_description.isEmpty() ? sentence : sentence + QLatin1Char('\n') + m_description, m_sqlState,
                   m_nativeError, m_records);
}

}  // namespace db
