#include "StatementLog.h"

#include <QMutexLocker>

namespace sandbox {

namespace {

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out.append(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out.append(u"\\\"");
            break;
        case '\\':
            out.append(u"\\\\");
            break;
        case '\n':
            out.append(u"\\n");
            break;
        case '\r':
            out.append(u"\\r");
            break;
        case '\t':
            out.append(u"\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0')));
            else
                out.append(c);
        }
    }
    out.append(u'"');
    return out;
}

}  // namespace

bool StatementLog::openFile(const QString& path, QString* error)
{
    QMutexLocker lock(&m_mutex);
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = QStringLiteral("cannot write the statement log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

QByteArray StatementLog::jsonLine(const StatementRecord& record)
{
    const QString line = QStringLiteral("{\"connection\": %1, \"database\": %2, \"sql\": %3}\n")
                             .arg(record.connection)
                             .arg(jsonString(record.database), jsonString(record.sql));
    return line.toUtf8();
}

void StatementLog::record(const StatementRecord& record)
{
    std::vector<std::function<void(const StatementRecord&)>> hooks;
    {
        QMutexLocker lock(&m_mutex);
        if (m_file.isOpen()) {
            m_file.write(jsonLine(record));
            m_file.flush();
        }
        hooks = m_hooks;
    }
    for (const auto& hook : hooks)
        hook(record);
}

void StatementLog::addHook(std::function<void(const StatementRecord&)> hook)
{
    QMutexLocker lock(&m_mutex);
    m_hooks.push_back(std::move(hook));
}

}  // namespace sandbox
