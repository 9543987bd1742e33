#pragma once

#include "SqlTypes.h"

#include <QString>

namespace sandbox {

// A T-SQL data type as a column declares it or a CAST/CONVERT names it. The normalised text is
// what the SQLite column is declared with, so the declared type read back from a result column
// tells the engine which wire type to send.
class DeclaredType {
public:
    enum class Base { Invalid, TinyInt, SmallInt, Int, BigInt, Bit, Float, DateTime, Char, VarChar, NVarChar };

    DeclaredType() = default;
    // A type from its name and optional length (0 for none given).
    static DeclaredType fromName(const QString& name, int length = 0);
    // A declared type as SQLite reports it, e.g. "varchar(40)", "int".
    static DeclaredType parse(const QString& text);

    bool isValid() const { return m_base != Base::Invalid; }
    Base base() const { return m_base; }
    bool isInteger() const;
    bool isText() const { return m_base == Base::Char || m_base == Base::VarChar || m_base == Base::NVarChar; }
    bool isNational() const { return m_base == Base::NVarChar; }
    bool isFixedLength() const { return m_base == Base::Char; }
    // Declared characters (bytes for char/varchar).
    int length() const { return m_length; }
    // The name used in SQL Server's messages, e.g. "int", "varchar".
    QString name() const;
    // The normalised declaration, e.g. "varchar(40)".
    QString declaration() const;

    SqlType wireType() const;
    // Wire size for text types (capped to what fits in 8000 bytes), 0 for fixed-size types.
    int wireSize() const;

    // Integer range of an integer type or bit.
    qint64 minimum() const;
    qint64 maximum() const;

private:
    Base m_base = Base::Invalid;
    int m_length = 0;
};

}  // namespace sandbox
