#pragma once

#include <QString>
#include <QVariant>

// What a sub-item of the exception list shows for a field value: a text that is empty once its
// leading and trailing blanks (U+0020 only) are gone becomes a single blank; other texts stay
// untrimmed. NULL is not a text and shows as empty.
class ExportSubItemText {
public:
    static QString of(const QVariant& value);
};
