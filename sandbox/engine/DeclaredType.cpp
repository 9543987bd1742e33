#include "DeclaredType.h"

#include <QRegularExpression>
#include <limits>

namespace sandbox {

namespace {

constexpr int kMaxVarCharBytes = 8000;
constexpr int kMaxNVarCharChars = 4000;

}  // namespace

DeclaredType DeclaredType::fromName(const QString& name, int length, int scale)
{
    DeclaredType type;
    const QString n = name.trimmed().toLower();
    struct Entry { const char* name; Base base; };
    static const Entry entries[] = {
        {"tinyint", Base::TinyInt}, {"smallint", Base::SmallInt}, {"int", Base::Int},
        {"integer", Base::Int}, {"bigint", Base::BigInt}, {"bit", Base::Bit},
        {"float", Base::Float}, {"real", Base::Float}, {"decimal", Base::Decimal},
        {"numeric", Base::Decimal}, {"money", Base::Decimal}, {"smallmoney", Base::Decimal},
        {"datetime", Base::DateTime}, {"smalldatetime", Base::DateTime}, {"date", Base::DateTime},
        {"char", Base::Char}, {"varchar", Base::VarChar}, {"nchar", Base::NChar},
        {"nvarchar", Base::NVarChar}, {"text", Base::Text}, {"ntext", Base::NText},
        {"sysname", Base::NVarChar},
    };
    for (const Entry& entry : entries) {
        if (n == QLatin1String(entry.name)) {
            type.m_base = entry.base;
            break;
        }
    }
    if (type.m_base == Base::Invalid)
        return type;
    if (n == QLatin1String("sysname")) {
        type.m_length = 128;
    } else if (type.isText() && type.m_base != Base::Text && type.m_base != Base::NText) {
        // char and varchar without a length hold one character in a declaration.
        type.m_length = length == 0 ? 1 : length;
        if (type.m_length < -1)
            type.m_base = Base::Invalid;
    } else if (type.m_base == Base::Decimal) {
        type.m_precision = length > 0 ? length : 18;
        type.m_scale = scale;
    }
    return type;
}

DeclaredType DeclaredType::parse(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([A-Za-z]+)\s*(?:\(\s*(max|\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    int length = 0;
    const QString argument = match.captured(2);
    if (argument.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0)
        length = -1;
    else if (!argument.isEmpty())
        length = argument.toInt();
    return fromName(match.captured(1), length, match.captured(3).toInt());
}

bool DeclaredType::isInteger() const
{
    return m_base == Base::TinyInt || m_base == Base::SmallInt || m_base == Base::Int
        || m_base == Base::BigInt;
}

bool DeclaredType::isText() const
{
    return m_base == Base::Char || m_base == Base::VarChar || m_base == Base::NChar
        || m_base == Base::NVarChar || m_base == Base::Text || m_base == Base::NText;
}

bool DeclaredType::isNational() const
{
    return m_base == Base::NChar || m_base == Base::NVarChar || m_base == Base::NText;
}

QString DeclaredType::name() const
{
    switch (m_base) {
    case Base::Invalid: return {};
    case Base::TinyInt: return QStringLiteral("tinyint");
    case Base::SmallInt: return QStringLiteral("smallint");
    case Base::Int: return QStringLiteral("int");
    case Base::BigInt: return QStringLiteral("bigint");
    case Base::Bit: return QStringLiteral("bit");
    case Base::Float: return QStringLiteral("float");
    case Base::Decimal: return QStringLiteral("numeric");
    case Base::DateTime: return QStringLiteral("datetime");
    case Base::Char: return QStringLiteral("char");
    case Base::VarChar: return QStringLiteral("varchar");
    case Base::NChar: return QStringLiteral("nchar");
    case Base::NVarChar: return QStringLiteral("nvarchar");
    case Base::Text: return QStringLiteral("text");
    case Base::NText: return QStringLiteral("ntext");
    }
    return {};
}

QString DeclaredType::declaration() const
{
    switch (m_base) {
    case Base::Char:
    case Base::VarChar:
    case Base::NChar:
    case Base::NVarChar:
        // SQLite only takes a number as a type's argument: "max" is written as the largest length.
        return QStringLiteral("%1(%2)").arg(name()).arg(m_length < 0 ? std::numeric_limits<qint32>::max() : m_length);
    case Base::Decimal:
        return QStringLiteral("decimal(%1,%2)").arg(m_precision).arg(m_scale);
    default:
        return name();
    }
}

SqlType DeclaredType::wireType() const
{
    switch (m_base) {
    case Base::TinyInt: return SqlType::TinyInt;
    case Base::SmallInt: return SqlType::SmallInt;
    case Base::Int: return SqlType::Int;
    case Base::BigInt: return SqlType::BigInt;
    case Base::Bit: return SqlType::Bit;
    case Base::Float:
    case Base::Decimal: return SqlType::Float;
    case Base::DateTime: return SqlType::DateTime;
    case Base::Char:
    case Base::VarChar:
    case Base::Text: return SqlType::VarChar;
    case Base::Invalid:
    case Base::NChar:
    case Base::NVarChar:
    case Base::NText: return SqlType::NVarChar;
    }
    return SqlType::NVarChar;
}

int DeclaredType::wireSize() const
{
    if (!isText())
        return 0;
    if (isNational())
        return (m_length <= 0 || m_length > kMaxNVarCharChars) ? kMaxNVarCharChars : m_length;
    return (m_length <= 0 || m_length > kMaxVarCharBytes) ? kMaxVarCharBytes : m_length;
}

qint64 DeclaredType::minimum() const
{
    switch (m_base) {
    case Base::TinyInt: return 0;
    case Base::SmallInt: return std::numeric_limits<qint16>::min();
    case Base::Int: return std::numeric_limits<qint32>::min();
    case Base::Bit: return 0;
    default: return std::numeric_limits<qint64>::min();
    }
}

qint64 DeclaredType::maximum() const
{
    switch (m_base) {
    case Base::TinyInt: return 255;
    case Base::SmallInt: return std::numeric_limits<qint16>::max();
    case Base::Int: return std::numeric_limits<qint32>::max();
    case Base::Bit: return 1;
    default: return std::numeric_limits<qint64>::max();
    }
}

}  // namespace sandbox
