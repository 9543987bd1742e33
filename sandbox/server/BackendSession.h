#pragma once

#include "engine/BatchExecution.h"

#include <QString>
#include <memory>

namespace sandbox {

// One connection's statement runner: its current database and the batches it runs.
class BackendSession {
public:
    virtual ~BackendSession() = default;
    virtual QString database() const = 0;
    virtual std::unique_ptr<BatchExecution> run(const QString& batch) = 0;
};

}  // namespace sandbox
