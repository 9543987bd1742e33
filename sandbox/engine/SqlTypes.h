#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

// The value model shared by the statement engine and the TDS token writer.
namespace sandbox {

// The SQL Server types the sandbox sends; each maps to one TDS wire type.
enum class SqlType {
    TinyInt,   // INTN 1
    SmallInt,  // INTN 2
    Int,       // INTN 4
    BigInt,    // INTN 8
    Bit,       // BITN
    Float,     // FLTN 8
    DateTime,  // DATETIMN 8
    VarChar,   // BIGVARCHAR, Chinese_PRC_CI_AS, GBK bytes
    NVarChar,  // NVARCHAR, UTF-16LE
};

struct ColumnInfo {
    QString name;
    SqlType type = SqlType::NVarChar;
    int size = 0;  // declared characters for VarChar (bytes) and NVarChar (characters); 0 for fixed types
    bool nullable = true;
};

// A SQL Server style error: number, state, class (severity) and message text.
struct SqlError {
    int number = 0;
    int state = 1;
    int severity = 16;
    QString message;
};

// The type's name as SQL Server's messages spell it.
inline QString sqlTypeName(SqlType type)
{
    static const char* const names[] = {"tinyint", "smallint", "int", "bigint", "bit", "float", "datetime", "varchar", "nvarchar"};
    return QLatin1String(names[int(type)]);
}

inline SqlError makeSqlError(int number, int severity, const QString& message)
{
    SqlError error;
    error.number = number;
    error.severity = severity;
    error.message = message;
    return error;
}

// One step of a running batch. A batch yields, per statement, either
// [Columns Row*] Done, or Done alone (with or without a row count), or Error then Done.
// Values in a Row are null QVariants for NULL, qint64 for integers and bits, double for
// floats, QString for text and QDateTime for date-times.
struct BatchEvent {
    enum class Kind { Columns, Row, Done, Error };
    Kind kind = Kind::Done;
    QVector<ColumnInfo> columns;  // Columns
    QVector<QVariant> row;        // Row
    bool hasRowCount = false;     // Done: the statement reports a row count
    qint64 rowCount = 0;          // Done
    bool failed = false;          // Done: the statement ended in an error
    SqlError error;               // Error
};

}  // namespace sandbox
