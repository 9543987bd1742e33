#pragma once

#include "SqlTypes.h"
#include "TsqlStatement.h"

#include <QPair>
#include <QString>
#include <QVector>

namespace sandbox {

// What binding a statement needs to know about the session's databases.
class TsqlBindContext {
public:
    virtual ~TsqlBindContext() = default;
    // SQLite text naming the table (a catalogue view, an attached database's table, or a plain
    // table); false with the error when the reference cannot be resolved.
    virtual bool resolveTable(const TsqlTableRef& ref, QString* sql, SqlError* error) = 0;
    // Column names and declared types of an existing table, in order; false with 208 when missing.
    virtual bool tableColumns(const TsqlTableRef& ref, QVector<QPair<QString, QString>>* columns,
                              SqlError* error) = 0;
};

}  // namespace sandbox
