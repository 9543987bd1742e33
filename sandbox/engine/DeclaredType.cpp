#include "DeclaredType.h"

#include <QRegularExpression>
#include <limits>

namespace sandbox {

namespace {

struct Entry {
    const char* name;
    DeclaredType::Base base;
    SqlType wire;
    qint64 minimum;
    qint64 maximum;
};

constexpr qint64 kNoLimit = 0;

// Index by Base; Invalid first.
const Entry kTypes[] = {
    {"", DeclaredType::Base::Invalid, SqlType::NVarChar, kNoLimit, kNoLimit},
    {"tinyint", DeclaredType::Base::TinyInt, SqlType::TinyInt, 0, 255},
    {"smallint", DeclaredType::Base::SmallInt, SqlType::SmallInt, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()},
    {"int", DeclaredType::Base::Int, SqlType::Int, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()},
    {"bigint", DeclaredType::Base::BigInt, SqlType::BigInt, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()},
    {"bit", DeclaredType::Base::Bit, SqlType::Bit, 0, 1},
    {"float", DeclaredType::Base::Float, SqlType::Float, kNoLimit, kNoLimit},
    {"datetime", DeclaredType::Base::DateTime, SqlType::DateTime, kNoLimit, kNoLimit},
    {"char", DeclaredType::Base::Char, SqlType::VarChar, kNoLimit, kNoLimit},
    {"varchar", DeclaredType::Base::VarChar, SqlType::VarChar, kNoLimit, kNoLimit},
    {"nvarchar", DeclaredType::Base::NVarChar, SqlType::NVarChar, kNoLimit, kNoLimit},
};

const Entry& entryOf(DeclaredType::Base base)
{
    return kTypes[int(base)];
}

}  // namespace

DeclaredType DeclaredType::fromName(const QString& name, int length)
{
    DeclaredType type;
    const QString n = name.trimmed().toLower();
    for (const Entry& entry : kTypes) {
        if (entry.base != Base::Invalid && n == QLatin1String(entry.name))
            type.m_base = entry.base;
    }
    // char and varchar without a length hold one character in a declaration.
    if (type.isText())
        type.m_length = length == 0 ? 1 : length;
    return type;
}

DeclaredType DeclaredType::parse(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*([A-Za-z]+)\s*(?:\(\s*(\d+)\s*\))?\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    return fromName(match.captured(1), match.captured(2).toInt());
}

bool DeclaredType::isInteger() const
{
    return m_base == Base::TinyInt || m_base == Base::SmallInt || m_base == Base::Int || m_base == Base::BigInt;
}

QString DeclaredType::name() const
{
    return QLatin1String(entryOf(m_base).name);
}

QString DeclaredType::declaration() const
{
    return isText() ? QStringLiteral("%1(%2)").arg(name()).arg(m_length) : name();
}

SqlType DeclaredType::wireType() const
{
    return entryOf(m_base).wire;
}

int DeclaredType::wireSize() const
{
    return isText() ? qMin(m_length, isNational() ? 4000 : 8000) : 0;
}

qint64 DeclaredType::minimum() const
{
    return entryOf(m_base).minimum;
}

qint64 DeclaredType::maximum() const
{
    return entryOf(m_base).maximum;
}

}  // namespace sandbox
