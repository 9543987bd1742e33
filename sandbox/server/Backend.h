#pragma once

#include "BackendSession.h"

#include <QString>
#include <memory>

namespace sandbox {

// What the server needs from a statement engine; lets the protocol be exercised without one.
// Sessions are opened and used on the server thread only.
class Backend {
public:
    virtual ~Backend() = default;
    // Readies the storage before the server accepts connections.
    virtual bool prepare(QString* error) = 0;
    virtual bool hasDatabase(const QString& name) const = 0;
    // A session whose current database is the named one; null when it cannot be opened.
    virtual std::unique_ptr<BackendSession> open(const QString& database) = 0;
};

}  // namespace sandbox
