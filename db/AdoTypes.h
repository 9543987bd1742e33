#pragma once

namespace db {

// Where a recordset keeps its rows, with ADO's values: a client-side cursor reads them all at
// open, a server-side one streams them forward.
enum class CursorLocation { Server = 2, Client = 3 };

// State values of connections and recordsets: closed 0, open 1.
constexpr int StateClosed = 0;
constexpr int StateOpen = 1;

}  // namespace db
