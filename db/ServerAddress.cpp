#include "ServerAddress.h"

namespace db {

namespace {

// 1 to 65535 written in ASCII decimal digits, otherwise 0.
int portOf(const QString& text)
{
    if (text.isEmpty())
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const uint port = text.toUInt(&ok);
    return ok && port <= 65535 ? int(port) : 0;
}

bool isLocalName(const QString& host)
{
    return host.isEmpty() || host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0
        || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

}  // namespace

ServerAddress::ServerAddress(const QString& typed)
{
    QString rest = typed;
    const qsizetype comma = rest.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        m_portText = rest.mid(comma + 1);
        m_port = portOf(m_portText);
        m_invalidPort = m_port == 0;
        rest.truncate(comma);
    }
    const qsizetype backslash = rest.indexOf(QLatin1Char('\\'));
    if (backslash >= 0) {
        m_instance = rest.mid(backslash + 1);
        rest.truncate(backslash);
    }
    m_host = rest;
    m_local = isLocalName(m_host);
}

}  // namespace db
