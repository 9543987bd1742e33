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
// each statement into SQLite text against the session's current database when its turn comes.
class TsqlTranslator {
public:
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

    const TsqlToken& peek(int ahead = 0) const;
    TsqlToken take();
    bool acceptWord(const char* keyword);
    bool acceptSymbol(const char* symbol);
    void acceptClustering();
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
    void parseDelete(TsqlStatement* statement);
    void parseCreate(TsqlStatement* statement);
    void parseSet(TsqlStatement* statement);
    void parseIf(TsqlStatement* statement);

    QString parseQuery(bool topLevel, QVector<TsqlTypeHint>* hints, bool* compound = nullptr);
    QString parseSelectCore(bool topLevel, QVector<TsqlTypeHint>* hints, QString* limit);
    QString parseFromList(bool columnsNamed);
    QString parseTableSource();
    QString parseTableName(bool target, bool allowAlias);
    QString parseColumnDefinition(int ordinal);
    DeclaredType parseType(bool conversion);

    Expr parseExpression();
    Expr parseOr();
    Expr parseAnd();
    Expr parseNot();
    Expr parseComparison();
    Expr parseAdditive();
    Expr parseMultiplicative();
    Expr parseUnary();
    Expr parsePrimary();
    Expr parseFunction(const QString& name);
    Expr parseConversion(const Expr& value, const DeclaredType& type, const QString& style);
    Expr parseCase();
    QStringList parseExpressionList();

    QVector<TsqlToken> m_tokens;
    int m_pos = 0;
    QVector<TsqlTableRef>* m_tables = nullptr;
};

}  // namespace sandbox
