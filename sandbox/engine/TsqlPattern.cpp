#include "TsqlPattern.h"

namespace sandbox {

namespace {

QChar fold(QChar c)
{
    return c.toCaseFolded();
}

}  // namespace

TsqlPattern::TsqlPattern(const QString& pattern)
{
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        Element element;
        if (c == QLatin1Char('%')) {
            element.kind = Element::Kind::AnyRun;
            // Consecutive runs are one run.
            if (!m_elements.isEmpty() && m_elements.constLast().kind == Element::Kind::AnyRun)
                continue;
        } else if (c == QLatin1Char('_')) {
            element.kind = Element::Kind::AnyOne;
        } else if (c == QLatin1Char('[') && pattern.indexOf(QLatin1Char(']'), i + 1) > i) {
            const qsizetype close = pattern.indexOf(QLatin1Char(']'), i + 1);
            element.kind = Element::Kind::Set;
            qsizetype j = i + 1;
            if (j < close && pattern.at(j) == QLatin1Char('^')) {
                element.negated = true;
                ++j;
            }
            while (j < close) {
                const QChar from = fold(pattern.at(j));
                if (j + 2 < close && pattern.at(j + 1) == QLatin1Char('-')) {
                    element.ranges.append({from, fold(pattern.at(j + 2))});
                    j += 3;
                } else {
                    element.ranges.append({from, from});
                    ++j;
                }
            }
            i = close;
        } else {
            element.literal = fold(c);
        }
        m_elements.append(element);
    }
}

bool TsqlPattern::matchesOne(const Element& element, QChar c) const
{
    switch (element.kind) {
    case Element::Kind::Literal:
        return fold(c) == element.literal;
    case Element::Kind::AnyOne:
        return true;
    case Element::Kind::Set: {
        const QChar f = fold(c);
        bool inSet = false;
        for (const auto& range : element.ranges) {
            if (f >= range.first && f <= range.second) {
                inSet = true;
                break;
            }
        }
        return inSet != element.negated;
    }
    case Element::Kind::AnyRun:
        break;
    }
    return false;
}

bool TsqlPattern::matches(QStringView value) const
{
    // Every element but % takes exactly one character, so remembering the last % and how much
    // it has swallowed is enough to backtrack.
    qsizetype p = 0;
    qsizetype v = 0;
    qsizetype runElement = -1;
    qsizetype runValue = 0;
    const qsizetype pn = m_elements.size();
    while (v < value.size()) {
        if (p < pn && m_elements.at(p).kind == Element::Kind::AnyRun) {
            runElement = p++;
            runValue = v;
        } else if (p < pn && matchesOne(m_elements.at(p), value.at(v))) {
            ++p;
            ++v;
        } else if (runElement >= 0) {
            p = runElement + 1;
            v = ++runValue;
        } else {
            return false;
        }
    }
    while (p < pn && m_elements.at(p).kind == Element::Kind::AnyRun)
        ++p;
    return p == pn;
}

}  // namespace sandbox
