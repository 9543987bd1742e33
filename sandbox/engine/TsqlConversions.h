#pragma once

#include "DeclaredType.h"
#include "SqlTypes.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

namespace sandbox {

// SQL Server's rules for turning one value into another type: CAST and CONVERT, and the implicit
// conversion of a value stored into a column. Values are null, qint64, double or QString, the
// storage classes of SQLite; date-times are held as text in storedDateTime() form.
class TsqlConversions {
public:
    enum class Mode {
        Cast,   // CAST / CONVERT: text is cut to the target length
        Store,  // INSERT / UPDATE: text that does not fit is an error; char(n) is padded
    };
    enum class IntegerParse { Ok, Invalid, Overflow };

    // Converts value to type; style is CONVERT's style argument, -1 when none was given.
    static bool convert(const QVariant& value, const DeclaredType& type, Mode mode, int style,
                        QVariant* result, SqlError* error);

    // varchar to integer as SQL Server does it: blanks around, an optional sign, digits;
    // an empty or blank text (or a lone sign) is 0.
    static IntegerParse parseInteger(const QString& text, qint64* value);
    static std::optional<QDateTime> parseDateTime(const QString& text);
    // 'yyyy-mm-dd hh:mi:ss.mmm', the form date-times are stored in.
    static QString storedDateTime(const QDateTime& value);
    static bool isStoredDateTime(const QString& text);
    // CONVERT(varchar, datetime, style) for style 0 (also CAST's) and 120; false for any other.
    static bool formatDateTime(const QDateTime& value, int style, QString* text);
    // Bytes the text takes in the Chinese code page (GBK): one per ASCII character, two otherwise.
    static int varcharBytes(QStringView text);
    static QString leftBytes(const QString& text, int bytes);
    static QString numberText(double value);
    static QString text(const QVariant& value);

    static SqlError conversionFailed(const QString& value, const QString& typeName);
};

}  // namespace sandbox
