#pragma once

#include <QString>

namespace db {

// The text of a value placed between single quotes in a statement: every quote doubled,
// as T-SQL literals require. Values without quotes come back unchanged.
inline QString quoted(const QString& value)
{
    QString text = value;
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

}  // namespace db
