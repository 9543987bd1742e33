#pragma once

#include "DbError.h"
#include "OdbcApi.h"

#include <QList>
#include <QString>

namespace db {

// The diagnostic records a driver left on a handle after a call.
class OdbcDiagnostics {
public:
    using Record = DiagnosticRecord;

    static QList<Record> read(SQLSMALLINT handleType, SQLHANDLE handle);

    // The error for a failed call: every message in the driver's order, one per line; the state and
    // number of the server's own message where there is one. `fallback` names the call when the
    // driver said nothing. Whoever knows the situation (a login, a timeout) puts its sentence first.
    static DbError error(SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallback);
    static DbError error(const QList<Record>& records, const QString& fallback);
};

}  // namespace db
