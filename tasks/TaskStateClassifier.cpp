#include "TaskStateClassifier.h"

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool isLeadingBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

}  // namespace

double TaskStateClassifier::leadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isLeadingBlank(text.at(i)))
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    qsizetype end = i;
    // An exponent counts only when digits follow it: "5e" is 5, "5e2" is 500.
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            ++j;
        if (j < n && isDigit(text.at(j))) {
            while (j < n && isDigit(text.at(j)))
                ++j;
            end = j;
        }
    }
    QString number = text.mid(start, end - start);
    if (number.startsWith(QLatin1Char('+')))
        number.remove(0, 1);
    // Out of range gives an infinity of the right sign (or 0 for a tiny value), which classifies as it should.
    return number.toDouble();
}

bool TaskStateClassifier::isNormal(double state)
{
    return state >= 0.0 && state < 5.0;
}

QString TaskStateClassifier::displayText(const QString& stateText)
{
    if (isNormal(leadingNumber(stateText)))
        return QStringLiteral("正常(") + stateText + QLatin1Char(')');
    return QStringLiteral("异常");
}
