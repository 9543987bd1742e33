#pragma once

#include "SqlTypes.h"

#include <QString>
#include <QVector>

namespace sandbox {

struct TsqlToken {
    enum class Kind {
        Word,        // a plain identifier or keyword: letters, digits, _ @ # $
        Quoted,      // [name] or "name"
        String,      // '...' or N'...'
        Number,
        Variable,    // @name
        Symbol,      // operators and punctuation
        End,
    };
    Kind kind = Kind::End;
    QString text;      // identifier without quotes, string contents unescaped, symbol text
    QString source;    // as written
    bool national = false;
    int position = 0;

    // A plain word equal to keyword, ignoring case.
    bool isWord(const char* keyword) const;
    bool isSymbol(const char* symbol) const;
    bool isName() const { return kind == Kind::Word || kind == Kind::Quoted; }
};

// Splits T-SQL text into tokens; comments and blanks are dropped.
class TsqlTokenizer {
public:
    explicit TsqlTokenizer(QString text);
    // False with error 105 for an unclosed quote or bracket, 102 for a stray character.
    bool tokenize(QVector<TsqlToken>* tokens, SqlError* error) const;

private:
    QString m_text;
};

}  // namespace sandbox
