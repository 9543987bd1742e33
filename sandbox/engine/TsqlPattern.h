#pragma once

#include <QString>
#include <QVector>

namespace sandbox {

// A LIKE pattern with SQL Server's wildcards: % any run, _ one character, [abc] [a-z] one of a
// set, [^x] one not in it. Matching ignores case, as under a case-insensitive collation.
class TsqlPattern {
public:
    explicit TsqlPattern(const QString& pattern);

    bool matches(QStringView value) const;

private:
    struct Element {
        enum class Kind { Literal, AnyOne, AnyRun, Set };
        Kind kind = Kind::Literal;
        QChar literal;          // case-folded
        bool negated = false;   // Set
        QVector<QPair<QChar, QChar>> ranges;  // Set, case-folded, inclusive
    };
    bool matchesOne(const Element& element, QChar c) const;

    QVector<Element> m_elements;
};

}  // namespace sandbox
