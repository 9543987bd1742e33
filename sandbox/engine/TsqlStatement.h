#pragma once

#include "SqlTypes.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

namespace sandbox {

// A table named by a statement, as written: [db.][schema.]name or db..name.
struct TsqlTableRef {
    QString database;
    QString name;
    QString written;       // for messages: the parts as written, joined by "."
    bool aliased = false;  // the statement gave it an alias
    bool target = false;   // written to or created/dropped: never one of the catalogue views
};

// The wire type a result column is known to have from the statement's text alone.
struct TsqlTypeHint {
    bool known = false;
    SqlType type = SqlType::NVarChar;
    int size = 0;
};

// One parsed statement. SQL texts are SQLite with table markers still to be bound to the
// session's database (TsqlTranslator::bind); markers stand outside every quoted text.
struct TsqlStatement {
    enum class Kind { Select, Insert, Update, Delete, CreateTable, DropTable, If };
    Kind kind = Kind::Select;
    QString sql;                        // Select, Delete, CreateTable, DropTable; If: its condition query
    QVector<TsqlTableRef> tables;
    QVector<TsqlTypeHint> columnHints;  // Select: one per result column, empty when '*' is used

    // Insert and Update: the target is tables[0].
    QStringList columns;                // the column list of an INSERT, the assigned columns of an UPDATE
    QVector<QStringList> values;        // INSERT ... VALUES rows; UPDATE: one row of assigned expressions
    QString tail;                       // INSERT ... SELECT: the query; UPDATE: its WHERE clause

    std::vector<TsqlStatement> branches;  // If: the statement to run when the condition holds
};

}  // namespace sandbox
