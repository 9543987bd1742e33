#pragma once

#include "DriverCatalog.h"
#include "DriverChoice.h"
#include "ServerProbe.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace db {

// What a login needs from the machine: its drivers, a connect through one of them, and a look at
// the server when a connect failed. The real one is OdbcHandles; tests play other machines.
class DriverConnector {
public:
    virtual ~DriverConnector() = default;

    virtual DriverCatalog::Platform platform() const { return DriverCatalog::currentPlatform(); }
    virtual QStringList installedDrivers() = 0;
    // Throws DbError carrying the driver's diagnostic records.
    virtual void connect(const DriverChoice& driver, const QString& odbcConnectionString, int loginTimeoutSeconds) = 0;
    virtual std::optional<ServerProbe::Identity> identify(const QString& host, quint16 port, int timeoutMs)
    {
        return ServerProbe::ask(host, port, timeoutMs);
    }
};

}  // namespace db
