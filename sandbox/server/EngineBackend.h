#pragma once

#include "Backend.h"
#include "engine/DataDirectory.h"

namespace sandbox {

// The statement engine over a folder of SQLite databases.
class EngineBackend : public Backend {
public:
    explicit EngineBackend(const QString& dataDir);

    bool prepare(QString* error) override;
    bool hasDatabase(const QString& name) const override;
    std::unique_ptr<BackendSession> open(const QString& database) override;

private:
    DataDirectory m_directory;
};

}  // namespace sandbox
