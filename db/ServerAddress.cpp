#include "ServerAddress.h"

namespace db {

namespace {

// A port is decimal digits only, 1 to 65535; anything else stays part of the name.
int portOf(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    const int port = text.toInt();
    return port <= 65535 ? port : 0;
}

}  // namespace

ServerAddress::ServerAddress(const QString& typed)
    : m_typed(typed)
{
    QString rest = typed;
    const qsizetype comma = rest.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        if (const int port = portOf(rest.mid(comma + 1))) {
            m_port = port;
            rest.truncate(comma);
        }
    }
    const qsizetype backslash = rest.indexOf(QLatin1Char('\\'));
    if (backslash >= 0) {
        m_instance = rest.mid(backslash + 1);
        rest.truncate(backslash);
    }
    m_host = rest;
    m_local = isLocalName(m_host);
}

bool ServerAddress::isLocalName(const QString& host)
{
    return host.isEmpty() || host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0
        || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

}  // namespace db
