#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace db { class Connection; }

// Everything one lock table holds, as the server returns it: its column names and, row by row,
// the values (null for NULL). Lets an administrator see whose lock a row is before clearing.
struct LockTableRows {
    QStringList columns;
    QList<QVariantList> rows;

    // Sends "select * from " + tableName and nothing else, on a recordset of its own so that the
    // scan's shared recordsets keep what they hold. Throws DbError.
    static LockTableRows read(const QString& tableName, db::Connection& connection);
};
