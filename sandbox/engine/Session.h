#pragma once

#include "BatchExecution.h"
#include "DataDirectory.h"

#include <memory>

namespace sandbox {

// One client's view of the server: its current database and the SQLite handles behind it.
// Lives on the server thread; not shared between connections.
class Session {
public:
    Session(const DataDirectory& directory, const QString& database);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    QString database() const;
    // Translates and runs a T-SQL batch; events are produced as the caller pulls them.
    std::unique_ptr<BatchExecution> run(const QString& batch);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sandbox
