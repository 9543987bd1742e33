#pragma once

#include "SandboxServer.h"

#include <QFile>
#include <QList>
#include <QMutex>
#include <functional>

namespace sandbox {

// Every batch the server received, kept in memory, passed to a hook and, when a file is
// given, appended to it as one JSON object per line, flushed line by line.
class StatementLog {
public:
    bool openFile(const QString& path, QString* error);
    void record(const StatementRecord& record);

    QList<StatementRecord> records() const;
    void clear();
    void setHook(std::function<void(const StatementRecord&)> hook);

    // {"connection": N, "database": "...", "sql": "..."} and a line feed.
    static QByteArray jsonLine(const StatementRecord& record);

private:
    mutable QMutex m_mutex;
    QList<StatementRecord> m_records;
    std::function<void(const StatementRecord&)> m_hook;
    QFile m_file;
};

}  // namespace sandbox
