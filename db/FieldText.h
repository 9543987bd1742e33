#pragma once

#include <QString>
#include <QVariant>

namespace db {

// The text a list shows for a field value: NULL as empty text, integers and floating-point
// numbers as plain decimals (never an exponent), date-times as "YYYY-MM-DD HH:MM:SS",
// texts unchanged.
class FieldText {
public:
    static QString of(const QVariant& value);
};

}  // namespace db
