#include "TsqlTokenizer.h"

namespace sandbox {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('#') || c == QLatin1Char('@');
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('#')
        || c == QLatin1Char('@') || c == QLatin1Char('$') || c.category() == QChar::Mark_NonSpacing;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

SqlError unclosed(const QString& rest)
{
    SqlError error;
    error.number = 105;
    error.severity = 15;
    error.message = QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(rest);
    return error;
}

}  // namespace

bool TsqlToken::isWord(const char* keyword) const
{
    return kind == Kind::Word && text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool TsqlToken::isSymbol(const char* symbol) const
{
    return kind == Kind::Symbol && text == QLatin1String(symbol);
}

TsqlTokenizer::TsqlTokenizer(QString text)
    : m_text(std::move(text))
{
}

bool TsqlTokenizer::tokenize(QVector<TsqlToken>* tokens, SqlError* error) const
{
    const QString& s = m_text;
    const qsizetype n = s.size();
    qsizetype i = 0;
    tokens->clear();
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
            while (i < n && s.at(i) != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('*')) {
            // Block comments nest in T-SQL.
            int depth = 0;
            qsizetype j = i;
            while (j < n) {
                if (s.at(j) == QLatin1Char('/') && j + 1 < n && s.at(j + 1) == QLatin1Char('*')) {
                    ++depth;
                    j += 2;
                } else if (s.at(j) == QLatin1Char('*') && j + 1 < n && s.at(j + 1) == QLatin1Char('/')) {
                    j += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++j;
                }
            }
            if (depth != 0) {
                error->number = 113;
                error->severity = 15;
                error->message = QStringLiteral("Missing end comment mark '*/'.");
                return false;
            }
            i = j;
            continue;
        }

        TsqlToken token;
        token.position = int(i);
        const qsizetype start = i;
        const bool national = (c == QLatin1Char('N') || c == QLatin1Char('n')) && i + 1 < n
            && s.at(i + 1) == QLatin1Char('\'');
        if (c == QLatin1Char('\'') || national) {
            token.kind = TsqlToken::Kind::String;
            token.national = national;
            i += national ? 2 : 1;
            QString value;
            bool closed = false;
            while (i < n) {
                if (s.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && s.at(i + 1) == QLatin1Char('\'')) {
                        value += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s.at(i++);
            }
            if (!closed) {
                *error = unclosed(value);
                return false;
            }
            token.text = value;
        } else if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
            token.kind = TsqlToken::Kind::Quoted;
            ++i;
            QString value;
            bool closed = false;
            while (i < n) {
                if (s.at(i) == close) {
                    if (i + 1 < n && s.at(i + 1) == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s.at(i++);
            }
            if (!closed) {
                *error = unclosed(value);
                return false;
            }
            token.text = value;
        } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(s.at(i + 1)))) {
            token.kind = TsqlToken::Kind::Number;
            while (i < n && isDigit(s.at(i)))
                ++i;
            if (i < n && s.at(i) == QLatin1Char('.')) {
                ++i;
                while (i < n && isDigit(s.at(i)))
                    ++i;
            }
            if (i < n && (s.at(i) == QLatin1Char('e') || s.at(i) == QLatin1Char('E'))) {
                qsizetype j = i + 1;
                if (j < n && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
                    ++j;
                if (j < n && isDigit(s.at(j))) {
                    i = j;
                    while (i < n && isDigit(s.at(i)))
                        ++i;
                }
            }
            token.text = s.mid(start, i - start);
        } else if (isWordStart(c)) {
            token.kind = c == QLatin1Char('@') ? TsqlToken::Kind::Variable : TsqlToken::Kind::Word;
            ++i;
            while (i < n && isWordPart(s.at(i)))
                ++i;
            token.text = s.mid(start, i - start);
        } else {
            token.kind = TsqlToken::Kind::Symbol;
            static const char* const pairs[] = {"<>", "!=", ">=", "<="};
            QString symbol(c);
            if (i + 1 < n) {
                const QString two = s.mid(i, 2);
                for (const char* pair : pairs) {
                    if (two == QLatin1String(pair))
                        symbol = two;
                }
            }
            static const QString singles = QStringLiteral("(),.;=<>+-*/%");
            if (symbol.size() == 1 && !singles.contains(c)) {
                error->number = 102;
                error->severity = 15;
                error->message = QStringLiteral("Incorrect syntax near '%1'.").arg(c);
                return false;
            }
            i += symbol.size();
            token.text = symbol;
        }
        token.source = s.mid(start, i - start);
        tokens->append(token);
    }
    TsqlToken end;
    end.kind = TsqlToken::Kind::End;
    end.position = int(n);
    tokens->append(end);
    return true;
}

}  // namespace sandbox
