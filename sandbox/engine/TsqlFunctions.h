#pragma once

namespace sandbox {

class SqliteConnection;

// The SQLite side of the translation: the collation of text columns, LIKE with SQL Server's
// wildcards, and the functions the translated statements call for conversions (tsql_cast,
// tsql_store) and arithmetic (tsql_arith). Their errors are raised on the connection as SQL
// Server errors.
class TsqlFunctions {
public:
    static void install(SqliteConnection& connection);
};

}  // namespace sandbox
