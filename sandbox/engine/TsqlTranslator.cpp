#include "TsqlTranslator.h"

#include "TsqlConversions.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>

namespace sandbox {

namespace {

// A table reference in translated text, bound to a SQLite name when the statement runs.
const QChar kMarkerOpen(0x01);
const QChar kMarkerClose(0x02);

QString marker(int index)
{
    return kMarkerOpen + QString::number(index) + kMarkerClose;
}

SqlError nestedTooDeeply()
{
    return makeSqlError(191, 15, QStringLiteral("Some part of your SQL statement is nested too deeply. "
                                                "Rewrite the query or break it up into smaller queries."));
}

TsqlTypeHint hintOf(SqlType type, int size = 0)
{
    TsqlTypeHint hint;
    hint.known = true;
    hint.type = type;
    hint.size = size;
    return hint;
}

TsqlTypeHint hintOf(const DeclaredType& type)
{
    return hintOf(type.wireType(), type.wireSize());
}

bool isNumeric(const TsqlTypeHint& hint)
{
    return hint.known && hint.type != SqlType::VarChar && hint.type != SqlType::NVarChar
        && hint.type != SqlType::DateTime;
}

bool isText(const TsqlTypeHint& hint)
{
    return hint.known && (hint.type == SqlType::VarChar || hint.type == SqlType::NVarChar);
}

// SQL Server's type precedence among the numeric types.
int numericRank(SqlType type)
{
    switch (type) {
    case SqlType::Bit: return 0;
    case SqlType::TinyInt: return 1;
    case SqlType::SmallInt: return 2;
    case SqlType::Int: return 3;
    case SqlType::BigInt: return 4;
    default: return 5;
    }
}

QSet<QString> wordsOf(const char* list)
{
    const QStringList words = QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QSet<QString>(words.cbegin(), words.cend());
}

// T-SQL's reserved words: never identifiers or aliases.
const QSet<QString>& reservedWords()
{
    static const QSet<QString> words = wordsOf(
        "add all alter and any as asc authorization backup begin between break browse bulk by cascade case check "
        "checkpoint close clustered coalesce collate column commit compute constraint contains continue convert create "
        "cross current cursor database dbcc deallocate declare default delete deny desc distinct distributed double "
        "drop else end errlvl escape except exec execute exists exit external fetch file fillfactor for foreign "
        "freetext from full function goto grant group having holdlock identity if in index inner insert intersect "
        "into is join key kill left like lineno merge national nocheck nonclustered not null nullif of off offsets on "
        "open option or order outer over percent pivot plan primary print proc procedure public raiserror read "
        "readtext reconfigure references replication restore restrict return revert revoke right rollback rowcount "
        "rule save schema select session_user set setuser shutdown some statistics table tablesample textsize then to "
        "top tran transaction trigger truncate union unique unpivot update updatetext use user values varying view "
        "waitfor when where while with writetext");
    return words;
}

// Words that begin a statement, so that "delete from a delete from b" is two statements.
const QSet<QString>& statementWords()
{
    static const QSet<QString> words = wordsOf(
        "select insert update delete create drop use set if alter exec execute declare begin commit rollback print "
        "truncate while return grant with merge raiserror waitfor save dbcc kill");
    return words;
}

// The terms joined by op as a balanced tree: SQLite's parser stack and expression depth then grow
// with the logarithm of a long AND or OR chain, and the text is copied n log n times, not n².
QString balanced(const QStringList& terms, qsizetype from, qsizetype count, const QString& op)
{
    if (count == 1)
        return terms.at(from);
    const qsizetype half = count / 2;
    return QLatin1Char('(') + balanced(terms, from, half, op) + op + balanced(terms, from + half, count - half, op)
        + QLatin1Char(')');
}

// Markers are looked for only outside quoted texts: a string or a name the client wrote may hold
// the marker characters as well, and must come out as written.
QString substituteMarkers(const QString& sql, const QStringList& tables)
{
    if (!sql.contains(kMarkerOpen))
        return sql;
    QString out;
    out.reserve(sql.size() + 32);
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)  // a doubled quote closes and reopens
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == kMarkerOpen) {
            const qsizetype close = sql.indexOf(kMarkerClose, i);
            out += tables.value(sql.mid(i + 1, close - i - 1).toInt());
            i = close;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

TsqlTranslator::Nesting::Nesting(TsqlTranslator& translator) : m_translator(translator)
{
    // Counted before the check so that the destructor's decrement always matches.
    if (++m_translator.m_depth > MaxNesting)
        throw SyntaxError{nestedTooDeeply()};
}

const char* TsqlTranslator::collationName()
{
    return "Chinese_PRC_CI_AS";
}

QString TsqlTranslator::quoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString TsqlTranslator::quoteString(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// ---- token access -------------------------------------------------------------------------

const TsqlToken& TsqlTranslator::peek(int ahead) const
{
    const int index = qMin(m_pos + ahead, int(m_tokens.size()) - 1);
    return m_tokens.at(index);
}

TsqlToken TsqlTranslator::take()
{
    const TsqlToken token = peek();
    if (m_pos < m_tokens.size() - 1)
        ++m_pos;
    return token;
}

bool TsqlTranslator::acceptWord(const char* keyword)
{
    if (!peek().isWord(keyword))
        return false;
    take();
    return true;
}

bool TsqlTranslator::acceptSymbol(const char* symbol)
{
    if (!peek().isSymbol(symbol))
        return false;
    take();
    return true;
}

void TsqlTranslator::expectWord(const char* keyword)
{
    if (!acceptWord(keyword))
        fail(peek());
}

void TsqlTranslator::expectSymbol(const char* symbol)
{
    if (!acceptSymbol(symbol))
        fail(peek());
}

void TsqlTranslator::fail(const TsqlToken& token) const
{
    // At the end of the text SQL Server names the last thing it read.
    const TsqlToken& shown = token.kind == TsqlToken::Kind::End && m_pos > 0 ? m_tokens.at(m_tokens.size() - 2) : token;
    const QString near = shown.kind == TsqlToken::Kind::String ? shown.text : shown.source;
    failWith(102, 15, QStringLiteral("Incorrect syntax near '%1'.").arg(near));
}

void TsqlTranslator::failWith(int number, int severity, const QString& message) const
{
    throw SyntaxError{makeSqlError(number, severity, message)};
}

bool TsqlTranslator::isReserved(const TsqlToken& token) const
{
    return token.kind == TsqlToken::Kind::Word && reservedWords().contains(token.text.toLower());
}

bool TsqlTranslator::isStatementStart(const TsqlToken& token) const
{
    return token.kind == TsqlToken::Kind::Word && statementWords().contains(token.text.toLower());
}

bool TsqlTranslator::atAlias() const
{
    const TsqlToken& token = peek();
    return token.kind == TsqlToken::Kind::Quoted || (token.kind == TsqlToken::Kind::Word && !isReserved(token));
}

QString TsqlTranslator::takeName()
{
    const TsqlToken& token = peek();
    if (atAlias())
        return take().text;
    if (token.kind == TsqlToken::Kind::Variable)
        failWith(137, 15, QStringLiteral("Must declare the scalar variable \"%1\".").arg(token.text));
    fail(token);
}

// ---- statements ---------------------------------------------------------------------------

bool TsqlTranslator::parse(const QString& batch, std::vector<TsqlStatement>* statements, SqlError* error)
{
    statements->clear();
    if (!TsqlTokenizer(batch).tokenize(&m_tokens, error))
        return false;
    m_pos = 0;
    m_depth = 0;
    try {
        while (peek().kind != TsqlToken::Kind::End) {
            if (acceptSymbol(";"))
                continue;
            TsqlStatement statement;
            parseStatement(&statement);
            statements->push_back(std::move(statement));
            const TsqlToken& next = peek();
            if (next.kind != TsqlToken::Kind::End && !next.isSymbol(";") && !isStatementStart(next))
                fail(next);
        }
    } catch (const SyntaxError& syntax) {
        *error = syntax.error;
        statements->clear();
        return false;
    }
    return true;
}

void TsqlTranslator::parseStatement(TsqlStatement* statement)
{
    QVector<TsqlTableRef>* outer = m_tables;
    m_tables = &statement->tables;
    const TsqlToken& token = peek();
    if (token.isWord("select")) {
        statement->kind = TsqlStatement::Kind::Select;
        statement->sql = parseQuery(true, &statement->columnHints);
    } else if (token.isWord("insert")) {
        parseInsert(statement);
    } else if (token.isWord("update")) {
        parseUpdate(statement);
    } else if (token.isWord("delete")) {
        take();
        acceptWord("from");
        statement->kind = TsqlStatement::Kind::Delete;
        statement->sql = QStringLiteral("DELETE FROM ") + parseTableName(true, false);
        if (acceptWord("where"))
            statement->sql += QStringLiteral(" WHERE ") + parseExpression().sql;
    } else if (token.isWord("create")) {
        parseCreate(statement);
    } else if (token.isWord("drop")) {
        take();
        expectWord("table");
        statement->kind = TsqlStatement::Kind::DropTable;
        statement->sql = QStringLiteral("DROP TABLE ") + parseTableName(true, false);
    } else if (token.isWord("if")) {
        parseIf(statement);
    } else if (token.isWord("set")) {
        // Options change what the statements after them do (ROWCOUNT, NOEXEC, FMTONLY...): an
        // option ignored would let them do more than asked, so the whole batch is refused.
        failWith(50000, 16, QStringLiteral("SET %1 is not supported by this server; nothing in the batch was run.")
                                .arg(peek(1).source.toUpper()));
    } else {
        fail(token);
    }
    m_tables = outer;
}

void TsqlTranslator::parseInsert(TsqlStatement* statement)
{
    take();
    acceptWord("into");
    statement->kind = TsqlStatement::Kind::Insert;
    parseTableName(true, false);
    if (acceptSymbol("(")) {
        do {
            statement->columns.append(takeName());
        } while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (acceptWord("values")) {
        do {
            expectSymbol("(");
            statement->values.append(parseExpressionList());
            expectSymbol(")");
        } while (acceptSymbol(","));
    } else if (peek().isWord("select")) {
        statement->tail = parseQuery(false, nullptr);
    } else {
        fail(peek());
    }
}

void TsqlTranslator::parseUpdate(TsqlStatement* statement)
{
    take();
    statement->kind = TsqlStatement::Kind::Update;
    parseTableName(true, false);
    expectWord("set");
    QStringList assigned;
    do {
        QString column = takeName();
        // A qualified column names the target table; only the column counts.
        while (acceptSymbol("."))
            column = takeName();
        statement->columns.append(column);
        expectSymbol("=");
        assigned.append(parseExpression().sql);
    } while (acceptSymbol(","));
    statement->values.append(assigned);
    if (acceptWord("where"))
        statement->tail = QStringLiteral(" WHERE ") + parseExpression().sql;
}

void TsqlTranslator::parseCreate(TsqlStatement* statement)
{
    take();
    expectWord("table");
    statement->kind = TsqlStatement::Kind::CreateTable;
    QString sql = QStringLiteral("CREATE TABLE ") + parseTableName(true, false) + QStringLiteral(" (");
    expectSymbol("(");
    QStringList parts;
    do {
        parts.append(parseColumnDefinition(int(parts.size()) + 1));
    } while (acceptSymbol(","));
    expectSymbol(")");
    statement->sql = sql + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString TsqlTranslator::parseColumnDefinition(int ordinal)
{
    const QString column = takeName();
    const TsqlToken typeToken = peek();
    const DeclaredType type = parseType(false);
    if (!type.isValid())
        failWith(2715, 16, QStringLiteral("Column, parameter, or variable #%1: Cannot find data type %2.")
                               .arg(ordinal).arg(typeToken.text));
    QString sql = quoteName(column) + QLatin1Char(' ') + type.declaration();
    if (type.isText())
        sql += QStringLiteral(" COLLATE ") + quoteName(QLatin1String(collationName()));
    for (;;) {
        if (acceptWord("null")) {
            sql += QStringLiteral(" NULL");
        } else if (acceptWord("not")) {
            expectWord("null");
            sql += QStringLiteral(" NOT NULL");
        } else if (acceptWord("primary")) {
            expectWord("key");
            sql += QStringLiteral(" PRIMARY KEY");
        } else {
            return sql;
        }
    }
}

DeclaredType TsqlTranslator::parseType(bool conversion)
{
    if (!peek().isName())
        fail(peek());
    const QString name = take().text;
    int length = 0;
    if (acceptSymbol("(")) {
        bool ok = false;
        if (peek().kind == TsqlToken::Kind::Number)
            length = peek().text.toInt(&ok);
        if (!ok || length <= 0)
            fail(peek());
        take();
        expectSymbol(")");
        if (length > 8000)
            failWith(131, 15, QStringLiteral("The size (%1) given to the type '%2' exceeds the maximum allowed for any data type (8000).")
                                  .arg(length).arg(name));
    }
    // CAST and CONVERT to a text type without a length make 30 characters.
    return DeclaredType::fromName(name, conversion && length == 0 ? 30 : length);
}

void TsqlTranslator::parseIf(TsqlStatement* statement)
{
    take();
    statement->kind = TsqlStatement::Kind::If;
    const Expr condition = parseExpression();
    statement->sql = QStringLiteral("SELECT CASE WHEN ") + condition.sql + QStringLiteral(" THEN 1 ELSE 0 END");
    if (peek().kind == TsqlToken::Kind::End || peek().isSymbol(";"))
        fail(peek());
    const Nesting nesting(*this);
    TsqlStatement then;
    parseStatement(&then);
    statement->branches.push_back(std::move(then));
}

// ---- queries ------------------------------------------------------------------------------

QString TsqlTranslator::parseQuery(bool topLevel, QVector<TsqlTypeHint>* hints)
{
    expectWord("select");
    QString sql = QStringLiteral("SELECT ");
    if (acceptWord("distinct"))
        sql += QStringLiteral("DISTINCT ");
    QStringList items;
    QVector<TsqlTypeHint> itemHints;
    bool star = false;
    do {
        if (acceptSymbol("*")) {
            items.append(QStringLiteral("*"));
            star = true;
            continue;
        }
        const Expr expr = parseExpression();
        QString item = expr.sql;
        if (acceptWord("as") || atAlias())
            item += QStringLiteral(" AS ") + quoteName(takeName());
        else if (topLevel)
            // SQL Server names a column as the query spelt it, and leaves expressions unnamed.
            item += QStringLiteral(" AS ") + quoteName(expr.columnName);
        items.append(item);
        itemHints.append(expr.hint);
    } while (acceptSymbol(","));
    sql += items.join(QStringLiteral(", "));
    if (hints)
        *hints = star ? QVector<TsqlTypeHint>() : itemHints;

    if (acceptWord("from"))
        sql += QStringLiteral(" FROM ") + parseFromList(!star);
    if (acceptWord("where"))
        sql += QStringLiteral(" WHERE ") + parseExpression().sql;
    // SQL Server orders only the outermost query.
    if (topLevel && acceptWord("order")) {
        expectWord("by");
        QStringList terms;
        do {
            QString term = parseExpression().sql;
            if (acceptWord("desc"))
                term += QStringLiteral(" DESC");
            else if (acceptWord("asc"))
                term += QStringLiteral(" ASC");
            terms.append(term);
        } while (acceptSymbol(","));
        sql += QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(", "));
    }
    return sql;
}

QString TsqlTranslator::parseFromList(bool columnsNamed)
{
    QStringList sources;
    do {
        const QString first = parseTableName(false, true);
        QString sql = first;
        int joins = 0;
        QString rightSource;
        QString rightCondition;
        for (;;) {
            QString join;
            if (acceptWord("join")) {
                join = QStringLiteral(" JOIN ");
            } else if (acceptWord("inner")) {
                expectWord("join");
                join = QStringLiteral(" JOIN ");
            } else if (acceptWord("left") || acceptWord("right")) {
                join = m_tokens.at(m_pos - 1).isWord("left") ? QStringLiteral(" LEFT JOIN ") : QStringLiteral(" RIGHT JOIN ");
                acceptWord("outer");
                expectWord("join");
            } else if (acceptWord("cross")) {
                expectWord("join");
                sql += QStringLiteral(" CROSS JOIN ") + parseTableName(false, true);
                joins += 2;
                continue;
            } else {
                break;
            }
            const QString source = parseTableName(false, true);
            expectWord("on");
            const QString condition = parseExpression().sql;
            sql += join + source + QStringLiteral(" ON ") + condition;
            ++joins;
            if (join == QLatin1String(" RIGHT JOIN ")) {
                rightSource = source;
                rightCondition = condition;
            } else {
                joins += 2;
            }
        }
        // SQLite never indexes the left side of a RIGHT JOIN, so a lone "a right join b" runs
        // as "b left join a": the same rows. Only SELECT * would show the columns' order changed.
        if (joins == 1 && !rightSource.isEmpty() && columnsNamed)
            sql = rightSource + QStringLiteral(" LEFT JOIN ") + first + QStringLiteral(" ON ") + rightCondition;
        sources.append(sql);
    } while (acceptSymbol(","));
    return sources.join(QStringLiteral(", "));
}

QString TsqlTranslator::parseTableName(bool target, bool allowAlias)
{
    QStringList parts;
    parts.append(takeName());
    while (acceptSymbol(".")) {
        if (peek().isSymbol("."))
            parts.append(QString());
        else
            parts.append(takeName());
    }
    if (parts.size() > 3 || parts.constLast().isEmpty())
        fail(peek());
    TsqlTableRef ref;
    ref.name = parts.constLast();
    if (parts.size() == 3)
        ref.database = parts.at(0);
    ref.written = parts.join(QLatin1Char('.'));
    ref.target = target;
    QString sql = marker(int(m_tables->size()));
    if (allowAlias && (acceptWord("as") || atAlias())) {
        ref.aliased = true;
        sql += QStringLiteral(" AS ") + quoteName(takeName());
    }
    m_tables->append(ref);
    return sql;
}

// ---- expressions --------------------------------------------------------------------------

QStringList TsqlTranslator::parseExpressionList()
{
    QStringList list;
    do {
        list.append(parseExpression().sql);
    } while (acceptSymbol(","));
    return list;
}

QString TsqlTranslator::parseSubquery()
{
    const Nesting nesting(*this);
    return parseQuery(false, nullptr);
}

TsqlTranslator::Expr TsqlTranslator::parseExpression()
{
    const Nesting nesting(*this);
    return parseChain("or", &TsqlTranslator::parseAnd);
}

TsqlTranslator::Expr TsqlTranslator::parseAnd()
{
    return parseChain("and", &TsqlTranslator::parseNot);
}

// Operands joined by one keyword, read in a loop rather than by recursion.
TsqlTranslator::Expr TsqlTranslator::parseChain(const char* keyword, Expr (TsqlTranslator::*operand)())
{
    Expr first = (this->*operand)();
    if (!peek().isWord(keyword))
        return first;
    QStringList terms{first.sql};
    while (acceptWord(keyword))
        terms.append((this->*operand)().sql);
    const QString joint = QLatin1Char(' ') + QString::fromLatin1(keyword).toUpper() + QLatin1Char(' ');
    return Expr{balanced(terms, 0, terms.size(), joint), {}, {}};
}

TsqlTranslator::Expr TsqlTranslator::parseNot()
{
    if (!acceptWord("not"))
        return parseComparison();
    const Nesting nesting(*this);
    return Expr{QStringLiteral("(NOT ") + parseNot().sql + QLatin1Char(')'), {}, {}};
}

TsqlTranslator::Expr TsqlTranslator::parseComparison()
{
    const Expr left = parseAdditive();
    const QString collate = QStringLiteral(" COLLATE ") + quoteName(QLatin1String(collationName()));
    const TsqlToken& token = peek();
    static const char* const operators[][2] = {{"=", "="}, {"<>", "<>"}, {"!=", "<>"}, {"<", "<"}, {">", ">"}, {"<=", "<="}, {">=", ">="}};
    for (const auto& op : operators) {
        if (token.isSymbol(op[0])) {
            take();
            const Expr right = parseAdditive();
            // A column brings its own collation (every text column has the server's); only
            // expressions need it spelt out. Spelling it next to a column would keep SQLite
            // from indexing a join on that column.
            const bool spelt = left.columnName.isEmpty() && right.columnName.isEmpty();
            return Expr{QLatin1Char('(') + left.sql + QLatin1Char(' ') + QLatin1String(op[1]) + QLatin1Char(' ')
                            + right.sql + (spelt ? collate : QString()) + QLatin1Char(')'),
                        {}, {}};
        }
    }
    if (acceptWord("is")) {
        const bool negated = acceptWord("not");
        expectWord("null");
        return Expr{QLatin1Char('(') + left.sql + (negated ? QStringLiteral(" IS NOT NULL)") : QStringLiteral(" IS NULL)")),
                    {}, {}};
    }
    const bool negated = peek().isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in"));
    if (negated)
        take();
    const QString notText = negated ? QStringLiteral(" NOT") : QString();
    if (acceptWord("like"))
        return Expr{QLatin1Char('(') + left.sql + notText + QStringLiteral(" LIKE ") + parseAdditive().sql + QLatin1Char(')'),
                    {}, {}};
    if (acceptWord("in")) {
        expectSymbol("(");
        const QString list = peek().isWord("select") ? parseSubquery() : parseExpressionList().join(QStringLiteral(", "));
        expectSymbol(")");
        const QString collated = left.columnName.isEmpty() ? QLatin1Char('(') + left.sql + collate + QLatin1Char(')') : left.sql;
        return Expr{QLatin1Char('(') + collated + notText + QStringLiteral(" IN (") + list + QStringLiteral("))"), {}, {}};
    }
    if (negated)
        fail(peek());
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseAdditive()
{
    Expr left = parseMultiplicative();
    while (peek().isSymbol("+") || peek().isSymbol("-")) {
        const QString op = take().text;
        left = arithmetic(op, left, parseMultiplicative());
    }
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseMultiplicative()
{
    Expr left = parseUnary();
    while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
        const QString op = take().text;
        left = arithmetic(op, left, parseUnary());
    }
    return left;
}

TsqlTranslator::Expr TsqlTranslator::arithmetic(const QString& op, const Expr& left, const Expr& right) const
{
    if (op == QLatin1String("+") && isText(left.hint) && isText(right.hint)) {
        const bool national = left.hint.type == SqlType::NVarChar || right.hint.type == SqlType::NVarChar;
        return Expr{QLatin1Char('(') + left.sql + QStringLiteral(" || ") + right.sql + QLatin1Char(')'),
                    hintOf(national ? SqlType::NVarChar : SqlType::VarChar,
                           qMin(left.hint.size + right.hint.size, national ? 4000 : 8000)),
                    {}};
    }
    // The result has the operand type of higher precedence; its range is checked when known.
    TsqlTypeHint hint;
    if (isNumeric(left.hint) && isNumeric(right.hint))
        hint = numericRank(left.hint.type) >= numericRank(right.hint.type) ? left.hint : right.hint;
    if (hint.known && hint.type == SqlType::Bit)
        hint = hintOf(SqlType::Int);
    const QString type = hint.known && hint.type != SqlType::Float ? quoteString(sqlTypeName(hint.type)) : QStringLiteral("NULL");
    const auto code = QStringLiteral("+-*/%").indexOf(op);
    return Expr{QStringLiteral("tsql_arith(%1, ").arg(code) + left.sql + QStringLiteral(", ") + right.sql
                    + QStringLiteral(", ") + type + QLatin1Char(')'),
                hint, {}};
}

TsqlTranslator::Expr TsqlTranslator::parseUnary()
{
    if (!peek().isSymbol("-") && !peek().isSymbol("+"))
        return parsePrimary();
    const bool minus = take().isSymbol("-");
    const Nesting nesting(*this);
    const Expr operand = parseUnary();
    const TsqlTypeHint hint = isNumeric(operand.hint) ? operand.hint : TsqlTypeHint();
    return Expr{minus ? QStringLiteral("(-") + operand.sql + QLatin1Char(')') : operand.sql, hint, {}};
}

TsqlTranslator::Expr TsqlTranslator::parsePrimary()
{
    const TsqlToken token = peek();
    switch (token.kind) {
    case TsqlToken::Kind::Number: {
        take();
        const bool integral = !token.text.contains(QLatin1Char('.')) && !token.text.contains(QLatin1Char('e'), Qt::CaseInsensitive);
        if (integral) {
            bool ok = false;
            const qlonglong value = token.text.toLongLong(&ok);
            const bool small = ok && value <= std::numeric_limits<qint32>::max();
            return Expr{token.text, hintOf(small ? SqlType::Int : SqlType::BigInt), {}};
        }
        return Expr{token.text, hintOf(SqlType::Float), {}};
    }
    case TsqlToken::Kind::String: {
        take();
        const int size = token.national ? int(token.text.size()) : TsqlConversions::varcharBytes(token.text);
        return Expr{quoteString(token.text),
                    hintOf(token.national ? SqlType::NVarChar : SqlType::VarChar, qBound(1, size, token.national ? 4000 : 8000)),
                    {}};
    }
    case TsqlToken::Kind::Variable:
        failWith(137, 15, QStringLiteral("Must declare the scalar variable \"%1\".").arg(token.text));
    case TsqlToken::Kind::Symbol: {
        if (!token.isSymbol("("))
            fail(token);
        take();
        // Every compound expression is already parenthesised in SQLite text: the client's own
        // parentheses would only use up SQLite's parser stack.
        const Expr inner = parseExpression();
        expectSymbol(")");
        return Expr{inner.sql, inner.hint, {}};
    }
    case TsqlToken::Kind::End:
        fail(token);
    case TsqlToken::Kind::Word:
        if (token.isWord("null")) {
            take();
            return Expr{QStringLiteral("NULL"), hintOf(SqlType::Int), {}};
        }
        if (token.isWord("exists")) {
            take();
            expectSymbol("(");
            if (!peek().isWord("select"))
                fail(peek());
            const QString query = parseSubquery();
            expectSymbol(")");
            return Expr{QStringLiteral("EXISTS (") + query + QLatin1Char(')'), {}, {}};
        }
        if (peek(1).isSymbol("(") && (!isReserved(token) || token.isWord("convert"))) {
            take();
            return parseFunction(token.text.toLower());
        }
        if (isReserved(token))
            fail(token);
        break;
    case TsqlToken::Kind::Quoted:
        break;
    }

    // A column, possibly qualified by table, schema and database: only table.column reaches SQLite.
    QStringList parts;
    parts.append(takeName());
    while (peek().isSymbol(".") && peek(1).isName()) {
        take();
        parts.append(take().text);
    }
    if (parts.size() > 4)
        fail(peek());
    Expr expr;
    expr.columnName = parts.constLast();
    expr.sql = parts.size() == 1 ? quoteName(parts.at(0))
                                 : quoteName(parts.at(parts.size() - 2)) + QLatin1Char('.') + quoteName(parts.constLast());
    return expr;
}

TsqlTranslator::Expr TsqlTranslator::parseFunction(const QString& name)
{
    const Nesting nesting(*this);
    expectSymbol("(");
    const auto typeOf = [this] {
        const TsqlToken typeToken = peek();
        const DeclaredType type = parseType(true);
        if (!type.isValid())
            failWith(243, 16, QStringLiteral("Type %1 is not a defined system type.").arg(typeToken.text));
        return type;
    };
    if (name == QLatin1String("cast")) {
        const Expr value = parseExpression();
        expectWord("as");
        const DeclaredType type = typeOf();
        expectSymbol(")");
        return parseConversion(value, type, -1);
    }
    if (name == QLatin1String("convert")) {
        const DeclaredType type = typeOf();
        expectSymbol(",");
        const Expr value = parseExpression();
        int style = -1;
        if (acceptSymbol(",")) {
            if (peek().kind != TsqlToken::Kind::Number)
                fail(peek());
            style = take().text.toInt();
        }
        expectSymbol(")");
        return parseConversion(value, type, style);
    }
    if (name == QLatin1String("count")) {
        expectSymbol("*");
        expectSymbol(")");
        return Expr{QStringLiteral("count(*)"), hintOf(SqlType::Int), {}};
    }
    if (name == QLatin1String("isnull")) {
        const Expr value = parseExpression();
        expectSymbol(",");
        const Expr replacement = parseExpression();
        expectSymbol(")");
        return Expr{QStringLiteral("ifnull(") + value.sql + QStringLiteral(", ") + replacement.sql + QLatin1Char(')'),
                    value.hint, {}};
    }
    failWith(195, 15, QStringLiteral("'%1' is not a recognized built-in function name.").arg(name));
}

TsqlTranslator::Expr TsqlTranslator::parseConversion(const Expr& value, const DeclaredType& type, int style)
{
    QString call = QStringLiteral("tsql_cast(") + value.sql + QStringLiteral(", ") + quoteString(type.declaration())
        + QStringLiteral(", %1)").arg(style);
    // The CAST around the call gives the result the affinity of its type, so that an int
    // compared with '5' compares as numbers, as SQL Server's type precedence has it.
    if (type.isInteger() || type.base() == DeclaredType::Base::Bit)
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS INTEGER)");
    else if (type.base() == DeclaredType::Base::Float)
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS REAL)");
    else if (type.isText())
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS TEXT)");
    return Expr{call, hintOf(type), {}};
}

// ---- binding ------------------------------------------------------------------------------

bool TsqlTranslator::bind(const TsqlStatement& statement, TsqlBindContext& context, QString* sql, SqlError* error)
{
    QStringList tables;
    for (const TsqlTableRef& ref : statement.tables) {
        QString text;
        if (!context.resolveTable(ref, &text, error))
            return false;
        tables.append(text);
    }
    if (statement.kind != TsqlStatement::Kind::Insert && statement.kind != TsqlStatement::Kind::Update) {
        *sql = substituteMarkers(statement.sql, tables);
        return true;
    }

    const TsqlTableRef& target = statement.tables.at(0);
    QVector<QPair<QString, QString>> declared;
    if (!context.tableColumns(target, &declared, error))
        return false;
    QStringList names;
    QStringList types;
    if (statement.columns.isEmpty()) {
        for (const auto& column : declared) {
            names.append(column.first);
            types.append(column.second);
        }
    } else {
        for (const QString& column : statement.columns) {
            auto found = std::find_if(declared.cbegin(), declared.cend(), [&](const auto& d) {
                return d.first.compare(column, Qt::CaseInsensitive) == 0;
            });
            if (found == declared.cend()) {
                *error = makeSqlError(207, 16, QStringLiteral("Invalid column name '%1'.").arg(column));
                return false;
            }
            names.append(found->first);
            types.append(found->second);
        }
    }
    QStringList quotedNames;
    for (const QString& name : names)
        quotedNames.append(quoteName(name));
    // Stored values convert to the column's type as SQL Server converts them on INSERT/UPDATE.
    const auto store = [&](const QString& value, int column) {
        return QStringLiteral("tsql_store(") + substituteMarkers(value, tables) + QStringLiteral(", ")
            + quoteString(types.at(column)) + QLatin1Char(')');
    };

    if (statement.kind == TsqlStatement::Kind::Update) {
        QStringList assignments;
        for (int i = 0; i < names.size(); ++i)
            assignments.append(quotedNames.at(i) + QStringLiteral(" = ") + store(statement.values.at(0).at(i), i));
        *sql = QStringLiteral("UPDATE ") + tables.at(0) + QStringLiteral(" SET ") + assignments.join(QStringLiteral(", "))
            + substituteMarkers(statement.tail, tables);
        return true;
    }

    *sql = QStringLiteral("INSERT INTO ") + tables.at(0) + QStringLiteral(" (") + quotedNames.join(QStringLiteral(", "))
        + QStringLiteral(") ");
    if (statement.values.isEmpty()) {
        *sql += substituteMarkers(statement.tail, tables);
        return true;
    }
    QStringList rows;
    for (const QStringList& row : statement.values) {
        if (row.size() != names.size()) {
            if (statement.columns.isEmpty())
                *error = makeSqlError(213, 16, QStringLiteral("Column name or number of supplied values does not match table definition."));
            else
                *error = makeSqlError(row.size() < names.size() ? 109 : 110, 15,
                                      QStringLiteral("There are %1 columns in the INSERT statement than values specified in the VALUES "
                                                     "clause. The number of values in the VALUES clause must match the number of "
                                                     "columns specified in the INSERT statement.")
                                          .arg(row.size() < names.size() ? QStringLiteral("more") : QStringLiteral("fewer")));
            return false;
        }
        QStringList cells;
        for (int i = 0; i < row.size(); ++i)
            cells.append(store(row.at(i), i));
        rows.append(QLatin1Char('(') + cells.join(QStringLiteral(", ")) + QLatin1Char(')'));
    }
    *sql += QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
    return true;
}

SqlError TsqlTranslator::sqliteError(const TsqlStatement& statement, const QString& message)
{
    static const QRegularExpression noTable(QStringLiteral("^no such table: (.*)$"));
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.*)$"));
    static const QRegularExpression ambiguous(QStringLiteral("^ambiguous column name: (.*)$"));
    static const QRegularExpression exists(QStringLiteral("^table (.*) already exists$"));
    static const QRegularExpression notNull(QStringLiteral("^NOT NULL constraint failed: ([^.]*)\\.(.*)$"));
    static const QRegularExpression unique(QStringLiteral("^(?:UNIQUE|PRIMARY KEY) constraint failed: ([^.]*)\\."));
    const auto lastPart = [](const QString& name) { return name.section(QLatin1Char('.'), -1); };
    const auto written = [&](const QString& sqliteName) {
        const QString table = lastPart(sqliteName);
        for (const TsqlTableRef& ref : statement.tables) {
            if (ref.name.compare(table, Qt::CaseInsensitive) == 0)
                return ref.written;
        }
        return table;
    };
    const QString target = statement.tables.isEmpty() ? QString() : statement.tables.at(0).written;

    QRegularExpressionMatch m;
    if ((m = noTable.match(message)).hasMatch()) {
        if (statement.kind == TsqlStatement::Kind::DropTable)
            return makeSqlError(3701, 11, QStringLiteral("Cannot drop the table '%1', because it does not exist or you do not have permission.")
                                           .arg(target));
        return makeSqlError(208, 16, QStringLiteral("Invalid object name '%1'.").arg(written(m.captured(1))));
    }
    if ((m = noColumn.match(message)).hasMatch())
        return makeSqlError(207, 16, QStringLiteral("Invalid column name '%1'.").arg(lastPart(m.captured(1))));
    if ((m = ambiguous.match(message)).hasMatch())
        return makeSqlError(209, 16, QStringLiteral("Ambiguous column name '%1'.").arg(lastPart(m.captured(1))));
    if ((m = exists.match(message)).hasMatch())
        return makeSqlError(2714, 16, QStringLiteral("There is already an object named '%1' in the database.").arg(lastPart(target)));
    if ((m = notNull.match(message)).hasMatch())
        return makeSqlError(515, 16, QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; column does not allow nulls. %3 fails.")
                                      .arg(m.captured(2), written(m.captured(1)),
                                           statement.kind == TsqlStatement::Kind::Update ? QStringLiteral("UPDATE") : QStringLiteral("INSERT")));
    if ((m = unique.match(message)).hasMatch())
        return makeSqlError(2627, 14, QStringLiteral("Violation of PRIMARY KEY constraint 'PK_%1'. Cannot insert duplicate key in object 'dbo.%1'.")
                                       .arg(written(m.captured(1))));
    // SQLite's own depth limits stand behind the translator's.
    if (message.contains(QLatin1String("parser stack overflow")) || message.startsWith(QLatin1String("Expression tree is too large")))
        return nestedTooDeeply();
    if (message.contains(QLatin1String("database is locked")) || message.contains(QLatin1String("database table is locked")))
        return makeSqlError(1222, 16, QStringLiteral("Lock request time out period exceeded."));
    return makeSqlError(50000, 16, message);
}

}  // namespace sandbox
