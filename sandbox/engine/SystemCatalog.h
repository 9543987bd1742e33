#pragma once

#include "DataDirectory.h"
#include "SqlTypes.h"

#include <QString>

namespace sandbox {

class SqliteConnection;

// The compatibility views SQL Server keeps for old clients, sysobjects and sysdatabases,
// as temporary tables of a connection, filled afresh right before a statement reads them.
class SystemCatalog {
public:
    // sysobjects of the connection's database; sets the SQLite name of the table holding it.
    static bool sysobjects(SqliteConnection& connection, QString* table, SqlError* error);
    // The databases of the folder.
    static bool sysdatabases(SqliteConnection& connection, const DataDirectory& directory, QString* table,
                             SqlError* error);
    // SQL Server style object id for a table name: stable, positive, the same in any case.
    static qint32 objectId(const QString& name);
};

}  // namespace sandbox
