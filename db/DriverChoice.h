#pragma once

#include <QString>

namespace db {

// How a driver reads connection-string values and what it needs besides them.
enum class DriverFamily {
    Microsoft,        // ODBC Driver N for SQL Server, SQL Server Native Client
    LegacySqlServer,  // the "SQL Server" driver every Windows has
    FreeTds,
};

// The driver a connection goes through: a registered name, or a library path when the
// driver is installed but not registered.
struct DriverChoice {
    QString name;
    DriverFamily family = DriverFamily::FreeTds;
    bool registered = true;
};

}  // namespace db
