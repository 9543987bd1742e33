#pragma once

#include "DriverChoice.h"
#include "OdbcApi.h"

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
    // As choose(), but a missing driver is an error that names what to install.
    static DriverChoice chooseOrThrow(const QStringList& installed, Platform platform);

    // What an administrator should install, as a sentence.
    static QString installAdvice(Platform platform);
    static QString freeTdsLibrary() { return QStringLiteral("libtdsodbc.so"); }
};

}  // namespace db
