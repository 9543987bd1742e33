#pragma once

#include "DataDirectory.h"
#include "SqliteConnection.h"

#include <QString>
#include <memory>

namespace sandbox {

// What a session and the batches it runs share: the folder, the database and its handle.
struct SessionState {
    explicit SessionState(DataDirectory folder) : directory(std::move(folder)) {}

    DataDirectory directory;
    QString database;                               // as the folder spells it
    std::shared_ptr<SqliteConnection> connection;   // null when the file cannot be opened
};

}  // namespace sandbox
