#include "DbError.h"

namespace db {

DbError::DbError(const QString& description, const QString& sqlState, int nativeError)
    : std::runtime_error(description.toStdString())
    , m_description(description)
    , m_sqlState(sqlState)
    , m_nativeError(nativeError)
{
}

}  // namespace db
