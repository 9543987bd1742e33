#include "AdoConnectionString.h"

namespace db {

namespace {

// Values are joined in unquoted, so a ';' inside one (a database named after an account code
// such as "0;1") must not end it: text after a ';' starts a new pair only when it opens with
// one of the keys the program writes.
bool isKnownKey(const QString& key)
{
    for (const char* known : {"Provider", "Persist Security Info", "Initial Catalog", "Data Source"}) {
        if (key.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

}  // namespace

AdoConnectionString::AdoConnectionString(const QString& text)
{
    // No quoting: a quote typed into the server box belongs to the name.
    for (const QString& part : text.split(QLatin1Char(';'))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? QString() : part.left(equals).trimmed();
        if (isKnownKey(key))
            m_pairs.append({key, part.mid(equals + 1)});
        else if (!m_pairs.isEmpty())
            m_pairs.last().second += QLatin1Char(';') + part;
    }
}

QString AdoConnectionString::value(const QString& key) const
{
    QString found;
    for (const auto& pair : m_pairs) {
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            found = pair.second;
    }
    return found;
}

}  // namespace db
