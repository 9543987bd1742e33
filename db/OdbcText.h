#pragma once

#include "OdbcApi.h"

#include <QString>

namespace db {

// QString and the driver's UTF-16 text hold the same code units; only the pointer types differ.
class OdbcText {
public:
    // Valid while the string lives and is not changed.
    static SQLWCHAR* in(const QString& text)
    {
        return reinterpret_cast<SQLWCHAR*>(const_cast<QChar*>(text.constData()));
    }
    static QString out(const SQLWCHAR* text, qsizetype units)
    {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units);
    }
    static SQLINTEGER length(const QString& text) { return static_cast<SQLINTEGER>(text.size()); }
};

}  // namespace db
