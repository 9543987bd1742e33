#include "ExportSubItemText.h"

#include "db/FieldText.h"

QString ExportSubItemText::of(const QVariant& value)
{
    if (value.isNull())
        return {};
    const QString text = db::FieldText::of(value);
    for (const QChar c : text) {
        if (c != QLatin1Char(' '))
            return text;
    }
    return QStringLiteral(" ");
}
