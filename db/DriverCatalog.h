#pragma once

#include "DriverChoice.h"
#include "OdbcApi.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace db {

// Picks the SQL Server driver at run time from those installed. On Windows: Microsoft's newest
// ODBC Driver N for SQL Server, then SQL Server Native Client, then the built-in "SQL Server".
// Elsewhere: FreeTDS, by its registered name or else by its library.
class DriverCatalog {
public:
    enum class Platform { Windows, Unix };

    static Platform currentPlatform();
    static QStringList installedDrivers(SQLHENV environment);

    static std::optional<DriverChoice> choose(const QStringList& installed, Platform platform);
    // Every driver a login may go through, in the order to try them. On Windows each installed
    // SQL Server driver, newest first, down to "SQL Server", which still speaks to SQL Server 2000
    // and to servers whose TLS the newer ones refuse. Elsewhere FreeTDS alone: with the program's
    // settings it reaches every generation, and where a system policy forbids the TLS version of a
    // server, no connection setting overrides it short of sending the password unencrypted.
    static QList<DriverChoice> attempts(const QStringList& installed, Platform platform);
    // As choose(), but a missing driver is an error that names what to install.
    static DriverChoice chooseOrThrow(const QStringList& installed, Platform platform);

    // What an administrator should install, as a sentence.
    static QString installAdvice(Platform platform);
    static QString freeTdsLibrary() { return QStringLiteral("libtdsodbc.so"); }
};

}  // namespace db
