#pragma once

namespace sandbox {

class SqliteConnection;

// The SQLite side of the translation: the collation of text columns, LIKE with SQL Server's
// wildcards, and the conversion functions the translated statements call (tsql_cast, tsql_store,
// tsql_plus). Their errors are raised on the connection as SQL Server errors.
class TsqlFunctions {
public:
    static void install(SqliteConnection& connection);
};

}  // namespace sandbox
