#pragma once

#include "SandboxServer.h"

#include <QFile>
#include <QMutex>
#include <functional>
#include <vector>

namespace sandbox {

// Every batch the server received, passed to the hooks and, when a file is given, appended to it as
// one JSON object per line, flushed line by line. Nothing is kept in memory.
class StatementLog {
public:
    bool openFile(const QString& path, QString* error);
    void record(const StatementRecord& record);

    void addHook(std::function<void(const StatementRecord&)> hook);

    // {"connection": N, "database": "...", "sql": "..."} and a line feed.
    static QByteArray jsonLine(const StatementRecord& record);

private:
    QMutex m_mutex;
    std::vector<std::function<void(const StatementRecord&)>> m_hooks;
    QFile m_file;
};

}  // namespace sandbox
