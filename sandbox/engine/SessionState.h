#pragma once

#include "DataDirectory.h"
#include "SqliteConnection.h"

#include <QString>
#include <memory>

namespace sandbox {

class SessionBatch;

// What a session and the batches it runs share: the folder, the current database and its handle.
struct SessionState {
    explicit SessionState(DataDirectory folder) : directory(std::move(folder)) {}

    DataDirectory directory;
    QString database;                               // as the folder spells it
    std::shared_ptr<SqliteConnection> connection;   // null only when not even master opens
    SessionBatch* active = nullptr;                 // the batch still running, if any
};

}  // namespace sandbox
