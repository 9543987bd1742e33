#pragma once

#include "DeclaredType.h"
#include "SqlTypes.h"
#include "TsqlBindContext.h"
#include "TsqlStatement.h"
#include "TsqlTokenizer.h"

#include <QString>
#include <QVector>
#include <vector>

namespace sandbox {

// The one place where T-SQL becomes SQLite. parse() reads a whole batch first, as SQL Server
// compiles a batch before running it, so a syntax error anywhere runs nothing; bind() then turns
// each statement into SQLite text against the session's database when its turn comes.
// Only the dialect the program and its tests use is understood; anything else is a syntax error.
class TsqlTranslator {
public:
    // Nesting SQL Server accepts too (its own limit for nested subqueries); deeper is error 191.
    static constexpr int MaxNesting = 32;

    // Name of the collation registered for text columns and comparisons.
    static const char* collationName();

    bool parse(const QString& batch, std::vector<TsqlStatement>* statements, SqlError* error);

    static bool bind(const TsqlStatement& statement, TsqlBindContext& context, QString* sql, SqlError* error);
    // SQL Server's error for a failure SQLite reported while preparing or running statement.
    static SqlError sqliteError(const TsqlStatement& statement, const QString& message);
    static QString quoteName(const QString& name);
    static QString quoteString(const QString& text);

private:
    struct Expr {
        QString sql;
        TsqlTypeHint hint;
        QString columnName;  // for a plain column reference: its last name part
    };
    struct SyntaxError {
        SqlError error;
    };
    // Counts one level of nesting for as long as it lives.
    class Nesting {
    public:
        explicit Nesting(TsqlTranslator& translator);
        ~Nesting() { --m_translator.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        TsqlTranslator& m_translator;
    };

    const TsqlToken& peek(int ahead = 0) const;
    TsqlToken take();
    bool acceptWord(const char* keyword);
    bool acceptSymbol(const char* symbol);
    void expectWord(const char* keyword);
    void expectSymbol(const char* symbol);
    [[noreturn]] void fail(const TsqlToken& token) const;
    [[noreturn]] void failWith(int number, int severity, const QString& message) const;
    bool isReserved(const TsqlToken& token) const;
    bool isStatementStart(const TsqlToken& token) const;
    bool atAlias() const;
    QString takeName();

    void parseStatement(TsqlStatement* statement);
    void parseInsert(TsqlStatement* statement);
    void parseUpdate(TsqlStatement* statement);
    void parseCreate(TsqlStatement* statement);
    void parseIf(TsqlStatement* statement);

    QString parseQuery(bool topLevel, QVector<TsqlTypeHint>* hints);
    QString parseFromList(bool columnsNamed);
    QString parseTableName(bool target, bool allowAlias);
    QString parseColumnDefinition(int ordinal);
    DeclaredType parseType(bool conversion);

    Expr parseExpression();
    Expr parseAnd();
    Expr parseChain(const char* keyword, Expr (TsqlTranslator::*operand)());
    Expr parseNot();
    Expr parseComparison();
    Expr parseAdditive();
    Expr parseMultiplicative();
    Expr parseUnary();
    Expr parsePrimary();
    Expr parseFunction(const QString& name);
    Expr parseConversion(const Expr& value, const DeclaredType& type, int style);
    Expr arithmetic(const QString& op, const Expr& left, const Expr& right) const;
    QString parseSubquery();
    QStringList parseExpressionList();

    QVector<TsqlToken> m_tokens;
    int m_pos = 0;
    int m_depth = 0;
    QVector<TsqlTableRef>* m_tables = nullptr;
};

}  // namespace sandbox
