#include "TsqlTranslator.h"

#include "TsqlConversions.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>

namespace sandbox {

namespace {

const QChar kMarkerOpen(0x01);
const QChar kMarkerClose(0x02);

QString marker(int index)
{
    return kMarkerOpen + QString::number(index) + kMarkerClose;
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

int integerRank(SqlType type)
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

// The type of a result that may come from either of two expressions (CASE branches, UNION
// members): the wider one, text long enough for both. A text beside an unknown type may be
// anything, so it gets the longest text.
TsqlTypeHint mergeHints(const TsqlTypeHint& a, const TsqlTypeHint& b)
{
    if (isText(a) || isText(b)) {
        const bool national = (isText(a) && a.type == SqlType::NVarChar) || (isText(b) && b.type == SqlType::NVarChar);
        const int limit = national ? 4000 : 8000;
        if (!(isText(a) && isText(b)))
            return (a.known && b.known) ? TsqlTypeHint() : hintOf(national ? SqlType::NVarChar : SqlType::VarChar, limit);
        return hintOf(national ? SqlType::NVarChar : SqlType::VarChar, qMin(limit, qMax(a.size, b.size)));
    }
    if (!isNumeric(a) || !isNumeric(b))
        return a.known && b.known && a.type == b.type ? a : TsqlTypeHint();
    if (a.type == SqlType::Float || b.type == SqlType::Float)
        return hintOf(SqlType::Float);
    return integerRank(a.type) >= integerRank(b.type) ? a : b;
}

// Reserved words of T-SQL that matter here: they are never identifiers or aliases.
const QSet<QString>& reservedWords()
{
    static const QSet<QString> words = {
        QStringLiteral("add"), QStringLiteral("all"), QStringLiteral("alter"), QStringLiteral("and"),
        QStringLiteral("any"), QStringLiteral("as"), QStringLiteral("asc"), QStringLiteral("backup"),
        QStringLiteral("begin"), QStringLiteral("between"), QStringLiteral("break"), QStringLiteral("by"),
        QStringLiteral("cascade"), QStringLiteral("case"), QStringLiteral("check"), QStringLiteral("checkpoint"),
        QStringLiteral("close"), QStringLiteral("clustered"), QStringLiteral("coalesce"), QStringLiteral("collate"),
        QStringLiteral("column"), QStringLiteral("commit"), QStringLiteral("compute"), QStringLiteral("constraint"),
        QStringLiteral("continue"), QStringLiteral("convert"), QStringLiteral("create"), QStringLiteral("cross"),
        QStringLiteral("current"), QStringLiteral("cursor"), QStringLiteral("database"), QStringLiteral("dbcc"),
        QStringLiteral("deallocate"), QStringLiteral("declare"), QStringLiteral("default"), QStringLiteral("delete"),
        QStringLiteral("deny"), QStringLiteral("desc"), QStringLiteral("distinct"), QStringLiteral("drop"),
        QStringLiteral("else"), QStringLiteral("end"), QStringLiteral("escape"), QStringLiteral("except"),
        QStringLiteral("exec"), QStringLiteral("execute"), QStringLiteral("exists"), QStringLiteral("exit"),
        QStringLiteral("fetch"), QStringLiteral("for"), QStringLiteral("foreign"), QStringLiteral("from"),
        QStringLiteral("full"), QStringLiteral("function"), QStringLiteral("goto"), QStringLiteral("grant"),
        QStringLiteral("group"), QStringLiteral("having"), QStringLiteral("holdlock"), QStringLiteral("identity"),
        QStringLiteral("if"), QStringLiteral("in"), QStringLiteral("index"), QStringLiteral("inner"),
        QStringLiteral("insert"), QStringLiteral("intersect"), QStringLiteral("into"), QStringLiteral("is"),
        QStringLiteral("join"), QStringLiteral("key"), QStringLiteral("kill"), QStringLiteral("left"),
        QStringLiteral("like"), QStringLiteral("merge"), QStringLiteral("nonclustered"), QStringLiteral("not"),
        QStringLiteral("null"), QStringLiteral("nullif"), QStringLiteral("of"), QStringLiteral("off"),
        QStringLiteral("on"), QStringLiteral("open"), QStringLiteral("option"), QStringLiteral("or"),
        QStringLiteral("order"), QStringLiteral("outer"), QStringLiteral("over"), QStringLiteral("percent"),
        QStringLiteral("pivot"), QStringLiteral("primary"), QStringLiteral("print"), QStringLiteral("proc"),
        QStringLiteral("procedure"), QStringLiteral("raiserror"), QStringLiteral("references"),
        QStringLiteral("restore"), QStringLiteral("return"), QStringLiteral("revoke"), QStringLiteral("right"),
        QStringLiteral("rollback"), QStringLiteral("save"), QStringLiteral("select"), QStringLiteral("set"),
        QStringLiteral("shutdown"), QStringLiteral("some"), QStringLiteral("table"), QStringLiteral("then"),
        QStringLiteral("to"), QStringLiteral("top"), QStringLiteral("tran"), QStringLiteral("transaction"),
        QStringLiteral("truncate"), QStringLiteral("union"), QStringLiteral("unique"), QStringLiteral("unpivot"),
        QStringLiteral("update"), QStringLiteral("use"), QStringLiteral("values"), QStringLiteral("view"),
        QStringLiteral("waitfor"), QStringLiteral("when"), QStringLiteral("where"), QStringLiteral("while"),
        QStringLiteral("with"),
    };
    return words;
}

// Words that begin a statement, so that "delete from a delete from b" is two statements.
const QSet<QString>& statementWords()
{
    static const QSet<QString> words = {
        QStringLiteral("select"), QStringLiteral("insert"), QStringLiteral("update"), QStringLiteral("delete"),
        QStringLiteral("create"), QStringLiteral("drop"), QStringLiteral("use"), QStringLiteral("set"),
        QStringLiteral("if"), QStringLiteral("alter"), QStringLiteral("exec"), QStringLiteral("execute"),
        QStringLiteral("declare"), QStringLiteral("begin"), QStringLiteral("commit"), QStringLiteral("rollback"),
        QStringLiteral("print"), QStringLiteral("truncate"), QStringLiteral("while"), QStringLiteral("return"),
        QStringLiteral("grant"), QStringLiteral("with"), QStringLiteral("merge"), QStringLiteral("raiserror"),
        QStringLiteral("waitfor"), QStringLiteral("save"), QStringLiteral("dbcc"), QStringLiteral("kill"),
    };
    return words;
}

QString substituteMarkers(const QString& sql, const QStringList& tables)
{
    if (!sql.contains(kMarkerOpen))
        return sql;
    QString out;
    out.reserve(sql.size() + 32);
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql.at(i) == kMarkerOpen) {
            const qsizetype close = sql.indexOf(kMarkerClose, i);
            out += tables.value(sql.mid(i + 1, close - i - 1).toInt());
            i = close;
        } else {
            out += sql.at(i);
        }
    }
    return out;
}

}  // namespace

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

void TsqlTranslator::acceptClustering()
{
    if (!acceptWord("clustered"))
        acceptWord("nonclustered");
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
    if (token.kind == TsqlToken::Kind::Quoted || (token.kind == TsqlToken::Kind::Word && !isReserved(token)))
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
        statement->sql = parseQuery(true, &statement->columnHints, &statement->compound);
    } else if (token.isWord("insert")) {
        parseInsert(statement);
    } else if (token.isWord("update")) {
        parseUpdate(statement);
    } else if (token.isWord("delete")) {
        parseDelete(statement);
    } else if (token.isWord("create")) {
        parseCreate(statement);
    } else if (token.isWord("drop")) {
        take();
        expectWord("table");
        statement->kind = TsqlStatement::Kind::DropTable;
        statement->sql = QStringLiteral("DROP TABLE ") + parseTableName(true, false);
    } else if (token.isWord("use")) {
        take();
        statement->kind = TsqlStatement::Kind::Use;
        if (!peek().isName())
            fail(peek());
        statement->name = take().text;
    } else if (token.isWord("set")) {
        parseSet(statement);
    } else if (token.isWord("if")) {
        parseIf(statement);
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
    if (peek().isSymbol("(") && !peek(1).isWord("select")) {
        take();
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

void TsqlTranslator::parseDelete(TsqlStatement* statement)
{
    take();
    acceptWord("from");
    statement->kind = TsqlStatement::Kind::Delete;
    statement->sql = QStringLiteral("DELETE FROM ") + parseTableName(true, false);
    if (acceptWord("where"))
        statement->sql += QStringLiteral(" WHERE ") + parseExpression().sql;
}

void TsqlTranslator::parseCreate(TsqlStatement* statement)
{
    take();
    if (acceptWord("database")) {
        statement->kind = TsqlStatement::Kind::CreateDatabase;
        if (!peek().isName())
            fail(peek());
        statement->name = take().text;
        return;
    }
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
    const auto keyColumns = [this] {
        acceptClustering();
        expectSymbol("(");
        QStringList columns;
        do {
            columns.append(quoteName(takeName()));
            if (!acceptWord("asc"))
                acceptWord("desc");
        } while (acceptSymbol(","));
        expectSymbol(")");
        return QLatin1Char('(') + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
    };
    if (acceptWord("constraint"))
        takeName();
    if (acceptWord("primary")) {
        expectWord("key");
        return QStringLiteral("PRIMARY KEY ") + keyColumns();
    }
    if (acceptWord("unique"))
        return QStringLiteral("UNIQUE ") + keyColumns();

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
        } else if (acceptWord("default")) {
            sql += QStringLiteral(" DEFAULT (") + parseUnary().sql + QLatin1Char(')');
        } else if (acceptWord("primary")) {
            expectWord("key");
            acceptClustering();
            sql += QStringLiteral(" PRIMARY KEY");
        } else if (acceptWord("unique")) {
            acceptClustering();
            sql += QStringLiteral(" UNIQUE");
        } else if (acceptWord("constraint")) {
            takeName();
        } else if (acceptWord("collate")) {
            // Every text column compares as the server's collation does.
            takeName();
        } else {
            break;
        }
    }
    return sql;
}

DeclaredType TsqlTranslator::parseType(bool conversion)
{
    if (!peek().isName())
        fail(peek());
    const QString name = take().text;
    int length = 0;
    int scale = 0;
    if (acceptSymbol("(")) {
        if (acceptWord("max")) {
            length = -1;
        } else if (peek().kind == TsqlToken::Kind::Number) {
            bool ok = false;
            length = take().text.toInt(&ok);
            if (!ok || length <= 0)
                fail(peek());
            if (acceptSymbol(",")) {
                if (peek().kind != TsqlToken::Kind::Number)
                    fail(peek());
                scale = take().text.toInt();
            }
        } else {
            fail(peek());
        }
        expectSymbol(")");
    }
    // CAST and CONVERT to char types without a length make 30 characters.
    if (conversion && length == 0) {
        const QString lower = name.toLower();
        if (lower == QLatin1String("varchar") || lower == QLatin1String("char")
            || lower == QLatin1String("nvarchar") || lower == QLatin1String("nchar"))
            length = 30;
    }
    return DeclaredType::fromName(name, length, scale);
}

void TsqlTranslator::parseSet(TsqlStatement* statement)
{
    const TsqlToken set = take();
    statement->kind = TsqlStatement::Kind::Set;
    if (peek().kind == TsqlToken::Kind::Variable)
        failWith(137, 15, QStringLiteral("Must declare the scalar variable \"%1\".").arg(peek().text));
    if (peek().kind == TsqlToken::Kind::End || peek().isSymbol(";"))
        fail(set);
    // Session options have no effect here; the option runs up to the next statement.
    int depth = 0;
    while (peek().kind != TsqlToken::Kind::End) {
        const TsqlToken& token = peek();
        if (depth == 0 && (token.isSymbol(";") || isStatementStart(token)))
            break;
        if (token.isSymbol("("))
            ++depth;
        else if (token.isSymbol(")"))
            --depth;
        take();
    }
}

void TsqlTranslator::parseIf(TsqlStatement* statement)
{
    take();
    statement->kind = TsqlStatement::Kind::If;
    const Expr condition = parseExpression();
    statement->sql = QStringLiteral("SELECT CASE WHEN ") + condition.sql + QStringLiteral(" THEN 1 ELSE 0 END");
    if (peek().kind == TsqlToken::Kind::End || peek().isSymbol(";"))
        fail(peek());
    TsqlStatement then;
    parseStatement(&then);
    statement->branches.push_back(std::move(then));
    if (acceptWord("else")) {
        TsqlStatement otherwise;
        parseStatement(&otherwise);
        statement->branches.push_back(std::move(otherwise));
    }
}

// ---- queries ------------------------------------------------------------------------------

QString TsqlTranslator::parseQuery(bool topLevel, QVector<TsqlTypeHint>* hints, bool* compound)
{
    QString limit;
    QString sql = parseSelectCore(topLevel, hints, &limit);
    for (;;) {
        QString op;
        if (acceptWord("union"))
            op = acceptWord("all") ? QStringLiteral(" UNION ALL ") : QStringLiteral(" UNION ");
        else if (acceptWord("except"))
            op = QStringLiteral(" EXCEPT ");
        else if (acceptWord("intersect"))
            op = QStringLiteral(" INTERSECT ");
        else
            break;
        if (!limit.isEmpty())
            fail(m_tokens.at(m_pos - 1));
        if (compound)
            *compound = true;
        QString memberLimit;
        QVector<TsqlTypeHint> memberHints;
        sql += op + parseSelectCore(false, &memberHints, &memberLimit);
        if (!memberLimit.isEmpty())
            fail(peek());
        if (hints) {
            if (memberHints.size() != hints->size()) {
                hints->clear();
            } else {
                for (int i = 0; i < hints->size(); ++i)
                    (*hints)[i] = mergeHints(hints->at(i), memberHints.at(i));
            }
        }
    }
    if (acceptWord("order")) {
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
    return sql + limit;
}

QString TsqlTranslator::parseSelectCore(bool topLevel, QVector<TsqlTypeHint>* hints, QString* limit)
{
    expectWord("select");
    QString sql = QStringLiteral("SELECT ");
    if (acceptWord("distinct"))
        sql += QStringLiteral("DISTINCT ");
    else
        acceptWord("all");
    if (acceptWord("top")) {
        const bool parenthesised = acceptSymbol("(");
        if (peek().kind != TsqlToken::Kind::Number || peek().text.contains(QLatin1Char('.')))
            fail(peek());
        *limit = QStringLiteral(" LIMIT ") + take().text;
        if (parenthesised)
            expectSymbol(")");
    }

    QStringList items;
    QVector<TsqlTypeHint> itemHints;
    bool star = false;
    do {
        if (acceptSymbol("*")) {
            items.append(QStringLiteral("*"));
            star = true;
            continue;
        }
        if (peek().isName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
            items.append(quoteName(take().text) + QStringLiteral(".*"));
            take();
            take();
            star = true;
            continue;
        }
        QString alias;
        bool hasAlias = false;
        if (atAlias() && peek(1).isSymbol("=")) {
            alias = take().text;
            take();
            hasAlias = true;
        }
        const Expr expr = parseExpression();
        if (!hasAlias) {
            if (acceptWord("as")) {
                if (peek().kind != TsqlToken::Kind::String && !peek().isName())
                    fail(peek());
                alias = take().text;
                hasAlias = true;
            } else if (atAlias() || peek().kind == TsqlToken::Kind::String) {
                alias = take().text;
                hasAlias = true;
            }
        }
        QString item = expr.sql;
        if (hasAlias)
            item += QStringLiteral(" AS ") + quoteName(alias);
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
    if (acceptWord("group")) {
        expectWord("by");
        sql += QStringLiteral(" GROUP BY ") + parseExpressionList().join(QStringLiteral(", "));
    }
    if (acceptWord("having"))
        sql += QStringLiteral(" HAVING ") + parseExpression().sql;
    return sql;
}

QString TsqlTranslator::parseFromList(bool columnsNamed)
{
    QStringList sources;
    do {
        const QString first = parseTableSource();
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
            } else if (acceptWord("left")) {
                acceptWord("outer");
                expectWord("join");
                join = QStringLiteral(" LEFT JOIN ");
            } else if (acceptWord("right")) {
                acceptWord("outer");
                expectWord("join");
                join = QStringLiteral(" RIGHT JOIN ");
            } else if (acceptWord("full")) {
                acceptWord("outer");
                expectWord("join");
                join = QStringLiteral(" FULL JOIN ");
            } else if (acceptWord("cross")) {
                expectWord("join");
                sql += QStringLiteral(" CROSS JOIN ") + parseTableSource();
                joins += 2;
                continue;
            } else {
                break;
            }
            const QString source = parseTableSource();
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

QString TsqlTranslator::parseTableSource()
{
    if (acceptSymbol("(")) {
        if (!peek().isWord("select"))
            fail(peek());
        QString sql = QLatin1Char('(') + parseQuery(false, nullptr) + QLatin1Char(')');
        expectSymbol(")");
        acceptWord("as");
        if (!atAlias())
            fail(peek());
        return sql + QStringLiteral(" AS ") + quoteName(take().text);
    }
    return parseTableName(false, true);
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
    if (parts.size() >= 2)
        ref.schema = parts.at(parts.size() - 2);
    if (parts.size() == 3)
        ref.database = parts.at(0);
    ref.written = parts.join(QLatin1Char('.'));
    ref.target = target;
    QString sql = marker(int(m_tables->size()));
    if (allowAlias) {
        const bool as = acceptWord("as");
        if (as && !atAlias())
            fail(peek());
        if (atAlias()) {
            ref.aliased = true;
            sql += QStringLiteral(" AS ") + quoteName(take().text);
        }
        // Table hints such as WITH (NOLOCK) change nothing for a single-threaded store.
        if (peek().isWord("with") && peek(1).isSymbol("(")) {
            take();
            take();
            do {
                if (peek().kind != TsqlToken::Kind::Word)
                    fail(peek());
                take();
            } while (acceptSymbol(","));
            expectSymbol(")");
        }
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

TsqlTranslator::Expr TsqlTranslator::parseExpression()
{
    return parseOr();
}

TsqlTranslator::Expr TsqlTranslator::parseOr()
{
    Expr left = parseAnd();
    while (acceptWord("or")) {
        const Expr right = parseAnd();
        left = Expr{QLatin1Char('(') + left.sql + QStringLiteral(" OR ") + right.sql + QLatin1Char(')'), {}, {}};
    }
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseAnd()
{
    Expr left = parseNot();
    while (acceptWord("and")) {
        const Expr right = parseNot();
        left = Expr{QLatin1Char('(') + left.sql + QStringLiteral(" AND ") + right.sql + QLatin1Char(')'), {}, {}};
    }
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseNot()
{
    if (acceptWord("not")) {
        const Expr operand = parseNot();
        return Expr{QStringLiteral("(NOT ") + operand.sql + QLatin1Char(')'), {}, {}};
    }
    return parseComparison();
}

TsqlTranslator::Expr TsqlTranslator::parseComparison()
{
    const Expr left = parseAdditive();
    const QString collate = QStringLiteral(" COLLATE ") + quoteName(QLatin1String(collationName()));
    const QString leftCollated = left.columnName.isEmpty() ? QStringLiteral("(") + left.sql + collate + QLatin1Char(')') : left.sql;
    const TsqlToken& token = peek();
    static const char* const operators[][2] = {
        {"=", "="}, {"<>", "<>"}, {"!=", "<>"}, {"<", "<"}, {">", ">"},
        {"<=", "<="}, {">=", ">="}, {"!<", ">="}, {"!>", "<="},
    };
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
    const bool negated = peek().isWord("not") && (peek(1).isWord("like") || peek(1).isWord("in") || peek(1).isWord("between"));
    if (negated)
        take();
    const QString notText = negated ? QStringLiteral(" NOT") : QString();
    if (acceptWord("like")) {
        const Expr pattern = parseAdditive();
        QString sql = QLatin1Char('(') + left.sql + notText + QStringLiteral(" LIKE ") + pattern.sql;
        if (acceptWord("escape"))
            sql += QStringLiteral(" ESCAPE ") + parseAdditive().sql;
        return Expr{sql + QLatin1Char(')'), {}, {}};
    }
    if (acceptWord("in")) {
        expectSymbol("(");
        QString list;
        if (peek().isWord("select"))
            list = parseQuery(false, nullptr);
        else
            list = parseExpressionList().join(QStringLiteral(", "));
        expectSymbol(")");
        return Expr{QLatin1Char('(') + leftCollated + notText + QStringLiteral(" IN (") + list + QStringLiteral("))"), {}, {}};
    }
    if (acceptWord("between")) {
        const Expr low = parseAdditive();
        expectWord("and");
        const Expr high = parseAdditive();
        return Expr{QLatin1Char('(') + leftCollated + notText + QStringLiteral(" BETWEEN ") + low.sql + QStringLiteral(" AND ")
                        + high.sql + QLatin1Char(')'),
                    {}, {}};
    }
    if (negated)
        fail(peek());
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseAdditive()
{
    Expr left = parseMultiplicative();
    for (;;) {
        const TsqlToken& token = peek();
        if (token.isSymbol("+")) {
            take();
            const Expr right = parseMultiplicative();
            Expr sum;
            if (isNumeric(left.hint) && isNumeric(right.hint)) {
                sum.sql = QLatin1Char('(') + left.sql + QStringLiteral(" + ") + right.sql + QLatin1Char(')');
                sum.hint = left.hint.type == SqlType::Float ? left.hint : right.hint;
            } else if (isText(left.hint) && isText(right.hint)) {
                sum.sql = QLatin1Char('(') + left.sql + QStringLiteral(" || ") + right.sql + QLatin1Char(')');
                const bool national = left.hint.type == SqlType::NVarChar || right.hint.type == SqlType::NVarChar;
                sum.hint = hintOf(national ? SqlType::NVarChar : SqlType::VarChar,
                                  qMin(left.hint.size + right.hint.size, national ? 4000 : 8000));
            } else {
                // Text plus text concatenates, anything else adds: decided on the values.
                sum.sql = QStringLiteral("tsql_plus(") + left.sql + QStringLiteral(", ") + right.sql + QLatin1Char(')');
            }
            left = sum;
        } else if (token.isSymbol("-") || token.isSymbol("&") || token.isSymbol("|") || token.isSymbol("^")) {
            const QString op = take().text;
            const Expr right = parseMultiplicative();
            const QString sql = op == QLatin1String("^")
                ? QStringLiteral("((") + left.sql + QStringLiteral(" | ") + right.sql + QStringLiteral(") - (") + left.sql
                    + QStringLiteral(" & ") + right.sql + QStringLiteral("))")
                : QLatin1Char('(') + left.sql + QLatin1Char(' ') + op + QLatin1Char(' ') + right.sql + QLatin1Char(')');
            TsqlTypeHint hint = isNumeric(left.hint) && isNumeric(right.hint) ? left.hint : TsqlTypeHint();
            left = Expr{sql, hint, {}};
        } else {
            return left;
        }
    }
}

TsqlTranslator::Expr TsqlTranslator::parseMultiplicative()
{
    Expr left = parseUnary();
    while (peek().isSymbol("*") || peek().isSymbol("/") || peek().isSymbol("%")) {
        const QString op = take().text;
        const Expr right = parseUnary();
        TsqlTypeHint hint = isNumeric(left.hint) && isNumeric(right.hint) ? left.hint : TsqlTypeHint();
        if (hint.known && right.hint.type == SqlType::Float)
            hint = right.hint;
        left = Expr{QLatin1Char('(') + left.sql + QLatin1Char(' ') + op + QLatin1Char(' ') + right.sql + QLatin1Char(')'),
                    hint, {}};
    }
    return left;
}

TsqlTranslator::Expr TsqlTranslator::parseUnary()
{
    if (peek().isSymbol("-") || peek().isSymbol("+") || peek().isSymbol("~")) {
        const QString op = take().text;
        const Expr operand = parseUnary();
        return Expr{QLatin1Char('(') + op + operand.sql + QLatin1Char(')'), isNumeric(operand.hint) ? operand.hint : TsqlTypeHint(),
                    {}};
    }
    return parsePrimary();
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
    case TsqlToken::Kind::Symbol:
        if (token.isSymbol("(")) {
            take();
            if (peek().isWord("select")) {
                const QString query = parseQuery(false, nullptr);
                expectSymbol(")");
                return Expr{QLatin1Char('(') + query + QLatin1Char(')'), {}, {}};
            }
            const Expr inner = parseExpression();
            expectSymbol(")");
            return Expr{QLatin1Char('(') + inner.sql + QLatin1Char(')'), inner.hint, {}};
        }
        fail(token);
    case TsqlToken::Kind::End:
        fail(token);
    case TsqlToken::Kind::Word:
    case TsqlToken::Kind::Quoted:
        break;
    }

    if (token.kind == TsqlToken::Kind::Word) {
        if (token.isWord("null")) {
            take();
            return Expr{QStringLiteral("NULL"), hintOf(SqlType::Int), {}};
        }
        if (token.isWord("case"))
            return parseCase();
        if (token.isWord("exists")) {
            take();
            expectSymbol("(");
            const QString query = parseQuery(false, nullptr);
            expectSymbol(")");
            return Expr{QStringLiteral("EXISTS (") + query + QLatin1Char(')'), {}, {}};
        }
        if (peek(1).isSymbol("(") && (!isReserved(token) || token.isWord("convert") || token.isWord("coalesce")
                                      || token.isWord("nullif"))) {
            take();
            return parseFunction(token.text.toLower());
        }
        if (isReserved(token))
            fail(token);
    }

    // A column, possibly qualified by table, schema and database: only table.column reaches SQLite.
    QStringList parts;
    parts.append(takeName());
    while (peek().isSymbol(".") && (peek(1).isName())) {
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
    expectSymbol("(");
    if (name == QLatin1String("cast")) {
        const Expr value = parseExpression();
        expectWord("as");
        const TsqlToken typeToken = peek();
        const DeclaredType type = parseType(true);
        if (!type.isValid())
            failWith(243, 16, QStringLiteral("Type %1 is not a defined system type.").arg(typeToken.text));
        expectSymbol(")");
        return parseConversion(value, type, QStringLiteral("-1"));
    }
    if (name == QLatin1String("convert")) {
        const TsqlToken typeToken = peek();
        const DeclaredType type = parseType(true);
        if (!type.isValid())
            failWith(243, 16, QStringLiteral("Type %1 is not a defined system type.").arg(typeToken.text));
        expectSymbol(",");
        const Expr value = parseExpression();
        QString style = QStringLiteral("-1");
        if (acceptSymbol(","))
            style = parseExpression().sql;
        expectSymbol(")");
        return parseConversion(value, type, style);
    }
    if (name == QLatin1String("count") || name == QLatin1String("count_big")) {
        QString argument;
        if (acceptSymbol("*")) {
            argument = QStringLiteral("*");
        } else {
            if (acceptWord("distinct"))
                argument = QStringLiteral("DISTINCT ");
            else
                acceptWord("all");
            argument += parseExpression().sql;
        }
        expectSymbol(")");
        return Expr{QStringLiteral("count(") + argument + QLatin1Char(')'),
                    hintOf(name == QLatin1String("count") ? SqlType::Int : SqlType::BigInt), {}};
    }
    if (name == QLatin1String("getdate")) {
        expectSymbol(")");
        return Expr{QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')"), hintOf(SqlType::DateTime), {}};
    }

    struct Function { const char* name; const char* sqlite; int minArgs; int maxArgs; bool firstArgType; bool aggregate; };
    static const Function functions[] = {
        {"isnull", "ifnull", 2, 2, true, false}, {"coalesce", "coalesce", 2, 64, true, false},
        {"nullif", "nullif", 2, 2, true, false}, {"sum", "sum", 1, 1, false, true}, {"avg", "avg", 1, 1, false, true},
        {"min", "min", 1, 1, true, true}, {"max", "max", 1, 1, true, true}, {"upper", "upper", 1, 1, true, false},
        {"lower", "lower", 1, 1, true, false}, {"ltrim", "ltrim", 1, 1, true, false},
        {"rtrim", "rtrim", 1, 1, true, false}, {"len", "length", 1, 1, false, false},
        {"substring", "substr", 3, 3, true, false}, {"replace", "replace", 3, 3, true, false},
        {"abs", "abs", 1, 1, true, false},
    };
    for (const Function& function : functions) {
        if (name != QLatin1String(function.name))
            continue;
        QStringList arguments;
        TsqlTypeHint firstHint;
        bool distinct = false;
        if (!peek().isSymbol(")")) {
            if (function.aggregate)
                distinct = acceptWord("distinct");
            do {
                const Expr argument = parseExpression();
                if (arguments.isEmpty())
                    firstHint = argument.hint;
                arguments.append(argument.sql);
            } while (acceptSymbol(","));
        }
        expectSymbol(")");
        if (arguments.size() < function.minArgs || arguments.size() > function.maxArgs)
            failWith(174, 15, QStringLiteral("The %1 function requires %2 argument(s).").arg(name).arg(function.minArgs));
        if (name == QLatin1String("len"))
            // LEN does not count trailing blanks.
            return Expr{QStringLiteral("length(rtrim(") + arguments.at(0) + QStringLiteral(", ' '))"), hintOf(SqlType::Int), {}};
        return Expr{QLatin1String(function.sqlite) + QLatin1Char('(') + (distinct ? QStringLiteral("DISTINCT ") : QString())
                        + arguments.join(QStringLiteral(", ")) + QLatin1Char(')'),
                    function.firstArgType ? firstHint : TsqlTypeHint(), {}};
    }
    failWith(195, 15, QStringLiteral("'%1' is not a recognized built-in function name.").arg(name));
}

TsqlTranslator::Expr TsqlTranslator::parseConversion(const Expr& value, const DeclaredType& type, const QString& style)
{
    QString call = QStringLiteral("tsql_cast(") + value.sql + QStringLiteral(", ") + quoteString(type.declaration())
        + QStringLiteral(", ") + style + QLatin1Char(')');
    // The CAST around the call gives the result the affinity of its type, so that an int
    // compared with '5' compares as numbers, as SQL Server's type precedence has it.
    if (type.isInteger() || type.base() == DeclaredType::Base::Bit)
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS INTEGER)");
    else if (type.base() == DeclaredType::Base::Float || type.base() == DeclaredType::Base::Decimal)
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS REAL)");
    else if (type.isText())
        call = QStringLiteral("CAST(") + call + QStringLiteral(" AS TEXT)");
    return Expr{call, hintOf(type), {}};
}

TsqlTranslator::Expr TsqlTranslator::parseCase()
{
    take();
    QString sql = QStringLiteral("(CASE");
    if (!peek().isWord("when"))
        sql += QLatin1Char(' ') + parseExpression().sql;
    TsqlTypeHint hint;
    bool any = false;
    while (acceptWord("when")) {
        sql += QStringLiteral(" WHEN ") + parseExpression().sql;
        expectWord("then");
        const Expr result = parseExpression();
        hint = any ? mergeHints(hint, result.hint) : result.hint;
        any = true;
        sql += QStringLiteral(" THEN ") + result.sql;
    }
    if (!any)
        fail(peek());
    if (acceptWord("else")) {
        const Expr result = parseExpression();
        hint = mergeHints(hint, result.hint);
        sql += QStringLiteral(" ELSE ") + result.sql;
    }
    expectWord("end");
    return Expr{sql + QStringLiteral(" END)"), hint, {}};
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
            else if (row.size() < names.size())
                *error = makeSqlError(109, 15, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
            else
                *error = makeSqlError(110, 15, QStringLiteral("There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
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
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    static const QRegularExpression noFunction(QStringLiteral("^no such function: (.*)$"));
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
    if ((m = syntax.match(message)).hasMatch())
        return makeSqlError(102, 15, QStringLiteral("Incorrect syntax near '%1'.").arg(m.captured(1)));
    if ((m = noFunction.match(message)).hasMatch())
        return makeSqlError(195, 15, QStringLiteral("'%1' is not a recognized built-in function name.").arg(m.captured(1)));
    if (message.contains(QLatin1String("database is locked")) || message.contains(QLatin1String("database table is locked")))
        return makeSqlError(1222, 16, QStringLiteral("Lock request time out period exceeded."));
    return makeSqlError(50000, 16, message);
}

}  // namespace sandbox
