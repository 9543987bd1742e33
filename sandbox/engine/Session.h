#pragma once

#include "DataDirectory.h"
#include "SessionBatch.h"

#include <memory>

namespace sandbox {

// One client's view of the server: its database and the SQLite handle behind it. Its batches
// run one after another, on any thread; only setInterrupted() may be called meanwhile.
class Session {
public:
    // The database must exist in the folder.
    Session(const DataDirectory& directory, const QString& database);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    QString database() const;
    // Translates a T-SQL batch; it runs as the caller pulls its events.
    std::unique_ptr<SessionBatch> run(const QString& batch);
    // Thread-safe: while set, the statement under way stops and no other starts.
    void setInterrupted(bool interrupted);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sandbox
