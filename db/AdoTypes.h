#pragma once

namespace db {

// The recordset options callers name when opening, with ADO's values.
enum class CursorLocation { Server = 2, Client = 3 };
enum class CursorType { Unspecified = -1, ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { Unspecified = -1, ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };

// State values of connections and recordsets: closed 0, open 1.
constexpr int StateClosed = 0;
constexpr int StateOpen = 1;

}  // namespace db
