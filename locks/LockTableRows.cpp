#include "LockTableRows.h"

#include "db/Recordset.h"

LockTableRows LockTableRows::read(const QString& tableName, db::Connection& connection)
{
    // Streamed forward: the rows are kept once, here, not a second time in a client cursor.
    db::Recordset recordset;
    recordset.setCursorLocation(db::CursorLocation::Server);
    recordset.open(QStringLiteral("select * from ") + tableName, connection);

    LockTableRows result;
    const int fieldCount = recordset.fieldCount();
    for (int field = 0; field < fieldCount; ++field)
        result.columns.append(recordset.fieldName(field));
    for (; !recordset.eof(); recordset.moveNext()) {
        QVariantList row;
        row.reserve(fieldCount);
        for (int field = 0; field < fieldCount; ++field)
            row.append(recordset.value(field));
        result.rows.append(row);
    }
    return result;
}
