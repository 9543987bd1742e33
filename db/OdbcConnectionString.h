#pragma once

#include "AdoConnectionString.h"
#include "DriverChoice.h"

#include <QString>
#include <optional>

namespace db {

// The one translation of the program's ADO connection string (plus user and password) into an
// ODBC connection string for the chosen driver. Every value is written so that the driver reads
// back exactly the text given; what a driver cannot carry is refused with DbError.
class OdbcConnectionString {
public:
    static QString build(const DriverChoice& driver, const AdoConnectionString& ado, const QString& user,
                         const QString& password);

    // A value as written after "KEY=", or nothing when the driver has no way to read it back.
    // Microsoft's drivers undo "}}" inside braces. FreeTDS 1.3 does not: a braced value ends at the
    // first "};", and "}}" stays as it is; an unbraced value ends at the first ';'.
    static std::optional<QString> encode(DriverFamily family, const QString& value);

    // TDS 7.4 asked for outright: with "auto" FreeTDS falls back to older logins after a timeout,
    // and the last of them waits without end on a server that does not answer.
    static QString freeTdsVersion() { return QStringLiteral("7.4"); }
};

}  // namespace db
