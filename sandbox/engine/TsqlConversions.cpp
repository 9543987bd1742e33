#include "TsqlConversions.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace sandbox {

namespace {

QString article(const QString& typeName)
{
    return typeName == QLatin1String("int") ? QStringLiteral("an int") : QStringLiteral("a ") + typeName;
}

bool toInteger(const QVariant& value, const DeclaredType& type, qint64* out, SqlError* error)
{
    const auto overflow = [&] {
        *error = makeSqlError(8115, 16, QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
                                     .arg(type.name()));
        return false;
    };
    qint64 v = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
        v = value.toLongLong();
        break;
    case QMetaType::Double: {
        const double d = std::trunc(value.toDouble());
        if (!std::isfinite(d) || d < -9.2e18 || d > 9.2e18)
            return overflow();
        v = static_cast<qint64>(d);
        break;
    }
    default: {
        const QString text = value.toString();
        switch (TsqlConversions::parseInteger(text, &v)) {
        case TsqlConversions::IntegerParse::Ok:
            break;
        case TsqlConversions::IntegerParse::Invalid:
            *error = TsqlConversions::conversionFailed(text, type.name());
            return false;
        case TsqlConversions::IntegerParse::Overflow:
            *error = makeSqlError(248, 16, QStringLiteral("The conversion of the varchar value '%1' overflowed %2 column.")
                                        .arg(text, article(type.name())));
            return false;
        }
        if (v < type.minimum() || v > type.maximum()) {
            *error = makeSqlError(248, 16, QStringLiteral("The conversion of the varchar value '%1' overflowed %2 column.")
                                        .arg(text, article(type.name())));
            return false;
        }
        *out = v;
        return true;
    }
    }
    if (v < type.minimum() || v > type.maximum())
        return overflow();
    *out = v;
    return true;
}

}  // namespace

SqlError TsqlConversions::conversionFailed(const QString& value, const QString& typeName)
{
    return makeSqlError(245, 16, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type %2.")
                              .arg(value, typeName));
}

bool TsqlConversions::convert(const QVariant& value, const DeclaredType& type, Mode mode, int style,
                              QVariant* result, SqlError* error)
{
    if (value.isNull()) {
        *result = QVariant();
        return true;
    }
    switch (type.base()) {
    case DeclaredType::Base::Invalid:
        *error = makeSqlError(243, 16, QStringLiteral("Type %1 is not a defined system type.").arg(type.name()));
        return false;
    case DeclaredType::Base::TinyInt:
    case DeclaredType::Base::SmallInt:
    case DeclaredType::Base::Int:
    case DeclaredType::Base::BigInt: {
        qint64 v = 0;
        if (!toInteger(value, type, &v, error))
            return false;
        *result = v;
        return true;
    }
    case DeclaredType::Base::Bit: {
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
            *result = qint64(value.toDouble() != 0.0 ? 1 : 0);
            return true;
        }
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            *result = qint64(1);
            return true;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            *result = qint64(0);
            return true;
        }
        qint64 v = 0;
        if (parseInteger(text, &v) == IntegerParse::Invalid) {
            *error = conversionFailed(value.toString(), type.name());
            return false;
        }
        *result = qint64(v != 0 ? 1 : 0);
        return true;
    }
    case DeclaredType::Base::Float: {
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
            *result = value.toDouble();
            return true;
        }
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (!ok) {
            *error = makeSqlError(8114, 16, QStringLiteral("Error converting data type varchar to %1.").arg(type.name()));
            return false;
        }
        *result = d;
        return true;
    }
    case DeclaredType::Base::DateTime: {
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double) {
            // A number is a count of days since 1900-01-01.
            const double days = value.toDouble();
            const QDateTime base(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
            *result = storedDateTime(base.addMSecs(qint64(std::llround(days * 86400000.0))));
            return true;
        }
        const auto parsed = parseDateTime(value.toString());
        if (!parsed) {
            *error = makeSqlError(241, 16, QStringLiteral("Conversion failed when converting date and/or time from character string."));
            return false;
        }
        *result = storedDateTime(*parsed);
        return true;
    }
    case DeclaredType::Base::Char:
    case DeclaredType::Base::VarChar:
    case DeclaredType::Base::NVarChar: {
        QString s = text(value);
        if (mode == Mode::Cast && value.typeId() == QMetaType::QString && isStoredDateTime(s)) {
            // A stored datetime converted to text follows CONVERT's style (0 when none is given).
            if (!formatDateTime(*parseDateTime(s), style < 0 ? 0 : style, &s)) {
                *error = makeSqlError(50000, 16, QStringLiteral("CONVERT style %1 is not supported by this server.").arg(style));
                return false;
            }
        }
        const int length = type.length();
        const bool national = type.isNational();
        const auto size = [&](const QString& t) { return national ? int(t.size()) : varcharBytes(t); };
        if (size(s) > length) {
            if (mode == Mode::Store) {
                // Trailing blanks that do not fit are dropped silently; anything else is an error.
                while (size(s) > length && s.endsWith(QLatin1Char(' ')))
                    s.chop(1);
                if (size(s) > length) {
                    *error = makeSqlError(8152, 16, QStringLiteral("String or binary data would be truncated."));
                    return false;
                }
            } else {
                s = national ? s.left(length) : leftBytes(s, length);
            }
        }
        if (mode == Mode::Store && type.isFixedLength())
            s += QString(length - size(s), QLatin1Char(' '));
        *result = s;
        return true;
    }
    }
    return false;
}

TsqlConversions::IntegerParse TsqlConversions::parseInteger(const QString& text, qint64* value)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    bool negative = false;
    if (begin < end && (text.at(begin) == QLatin1Char('+') || text.at(begin) == QLatin1Char('-'))) {
        negative = text.at(begin) == QLatin1Char('-');
        ++begin;
    }
    // Magnitudes are accumulated negatively so that the smallest bigint fits.
    qint64 v = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return IntegerParse::Invalid;
        const int digit = c.unicode() - '0';
        if (v < (std::numeric_limits<qint64>::min() + digit) / 10)
            return IntegerParse::Overflow;
        v = v * 10 - digit;
    }
    if (!negative) {
        if (v == std::numeric_limits<qint64>::min())
            return IntegerParse::Overflow;
        v = -v;
    }
    *value = v;
    return IntegerParse::Ok;
}

std::optional<QDateTime> TsqlConversions::parseDateTime(const QString& text)
{
    static const QRegularExpression dated(QStringLiteral(
        R"(^\s*(\d{4})(?:([-/.])(\d{1,2})\2(\d{1,2})|(\d{2})(\d{2}))(?:(?:\s+|T)(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,7}))?)?)?\s*$)"));
    int year, month, day, hour, minute, second, msec = 0;
    QString fraction;
    const QRegularExpressionMatch m = dated.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    year = m.captured(1).toInt();
    month = (m.capturedLength(3) ? m.captured(3) : m.captured(5)).toInt();
    day = (m.capturedLength(4) ? m.captured(4) : m.captured(6)).toInt();
    hour = m.captured(7).toInt();
    minute = m.captured(8).toInt();
    second = m.captured(9).toInt();
    fraction = m.captured(10);
    if (!fraction.isEmpty())
        msec = int(std::lround((fraction + QStringLiteral("000000")).left(7).toLongLong() / 10000.0));
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid() || year < 1753)
        return std::nullopt;
    // Kept in UTC so that wall-clock values never shift across daylight-saving gaps.
    return QDateTime(date, time, Qt::UTC).addMSecs(msec);
}

QString TsqlConversions::storedDateTime(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

bool TsqlConversions::isStoredDateTime(const QString& text)
{
    static const QRegularExpression stored(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}$)"));
    return text.size() == 23 && stored.match(text).hasMatch();
}

bool TsqlConversions::formatDateTime(const QDateTime& value, int style, QString* text)
{
    const QDate d = value.date();
    const QTime t = value.time();
    if (style == 0) {
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const int h12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
        *text = QStringLiteral("%1 %2 %3 %4:%5%6")
                    .arg(QLatin1String(months[d.month() - 1]))
                    .arg(d.day(), 2, 10, QLatin1Char(' '))
                    .arg(d.year(), 4, 10, QLatin1Char('0'))
                    .arg(h12, 2, 10, QLatin1Char(' '))
                    .arg(t.minute(), 2, 10, QLatin1Char('0'))
                    .arg(t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
        return true;
    }
    if (style == 120) {
        *text = value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return true;
    }
    return false;
}

int TsqlConversions::varcharBytes(QStringView text)
{
    int bytes = 0;
    for (const QChar c : text)
        bytes += c.unicode() < 0x80 ? 1 : 2;
    return bytes;
}

QString TsqlConversions::leftBytes(const QString& text, int bytes)
{
    int used = 0;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const int width = text.at(i).unicode() < 0x80 ? 1 : 2;
        if (used + width > bytes)
            break;
        used += width;
    }
    return text.left(i);
}

QString TsqlConversions::numberText(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

QString TsqlConversions::text(const QVariant& value)
{
    if (value.typeId() == QMetaType::Double)
        return numberText(value.toDouble());
    return value.toString();
}

}  // namespace sandbox
