#pragma once

#include <QString>

// One lock table the second tab looks for in a business database.
struct LockTableEntry {
    QString TableName;    // used unquoted in statements, case kept as the suite spells it
    QString Description;  // shown in the list's "数据表" column
};
