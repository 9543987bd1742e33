#include "TsqlFunctions.h"

#include "DeclaredType.h"
#include "SqliteConnection.h"
#include "TsqlConversions.h"
#include "TsqlPattern.h"
#include "TsqlTranslator.h"

#include <QVariant>
#include <QtNumeric>
#include <limits>
#include <sqlite3.h>

namespace sandbox {

namespace {

QVariant valueOf(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return qint64(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
        return sqlite3_value_double(value);
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
    }
}

void setResult(sqlite3_context* context, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        sqlite3_result_null(context);
        break;
    case QMetaType::LongLong:
        sqlite3_result_int64(context, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_result_double(context, value.toDouble());
        break;
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

SqliteConnection& connectionOf(sqlite3_context* context)
{
    return *static_cast<SqliteConnection*>(sqlite3_user_data(context));
}

void raise(sqlite3_context* context, const SqlError& error)
{
    connectionOf(context).raise(error);
    sqlite3_result_error(context, error.message.toUtf8().constData(), -1);
}

int collate(void* connection, int lengthA, const void* a, int lengthB, const void* b)
{
    const QStringView left(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView right(static_cast<const QChar*>(b), lengthB / 2);
    return static_cast<SqliteConnection*>(connection)->compare(left, right);
}

struct CompiledPattern {
    QString text;
    TsqlPattern pattern;
};

void like(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QString patternText = valueOf(argv[0]).toString();
    const QString value = TsqlConversions::text(valueOf(argv[1]));
    // The pattern is usually a constant: keep it compiled for the rows that follow.
    auto* compiled = static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0));
    if (!compiled || compiled->text != patternText) {
        sqlite3_set_auxdata(context, 0, new CompiledPattern{patternText, TsqlPattern(patternText)},
                            [](void* p) { delete static_cast<CompiledPattern*>(p); });
        compiled = static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0));
        if (!compiled) {
            sqlite3_result_int(context, TsqlPattern(patternText).matches(value) ? 1 : 0);
            return;
        }
    }
    sqlite3_result_int(context, compiled->pattern.matches(value) ? 1 : 0);
}

const DeclaredType* declaredType(sqlite3_context* context, sqlite3_value* argument, int index)
{
    auto* type = static_cast<DeclaredType*>(sqlite3_get_auxdata(context, index));
    if (type)
        return type;
    const DeclaredType parsed = DeclaredType::parse(valueOf(argument).toString());
    sqlite3_set_auxdata(context, index, new DeclaredType(parsed), [](void* p) { delete static_cast<DeclaredType*>(p); });
    type = static_cast<DeclaredType*>(sqlite3_get_auxdata(context, index));
    if (type)
        return type;
    static thread_local DeclaredType fallback;
    fallback = parsed;
    return &fallback;
}

void convertTo(sqlite3_context* context, sqlite3_value* value, sqlite3_value* typeText,
               TsqlConversions::Mode mode, int style)
{
    const DeclaredType* type = declaredType(context, typeText, 1);
    QVariant result;
    SqlError error;
    if (!TsqlConversions::convert(valueOf(value), *type, mode, style, &result, &error)) {
        raise(context, error);
        return;
    }
    setResult(context, result);
}

void tsqlCast(sqlite3_context* context, int, sqlite3_value** argv)
{
    const int style = sqlite3_value_type(argv[2]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[2]);
    convertTo(context, argv[0], argv[1], TsqlConversions::Mode::Cast, style);
}

void tsqlStore(sqlite3_context* context, int, sqlite3_value** argv)
{
    convertTo(context, argv[0], argv[1], TsqlConversions::Mode::Store, -1);
}

// T-SQL's + - * / %: the operator code indexes "+-*/%"; type names the result type when known
// (its range is checked), NULL for bigint or float as the values decide.
void tsqlArith(sqlite3_context* context, int, sqlite3_value** argv)
{
    static const char* const names[] = {"add", "subtract", "multiply", "divide", "modulo"};
    const int op = sqlite3_value_int(argv[0]);
    const QVariant a = valueOf(argv[1]);
    const QVariant b = valueOf(argv[2]);
    if (a.isNull() || b.isNull()) {
        sqlite3_result_null(context);
        return;
    }
    const bool textA = a.typeId() == QMetaType::QString;
    const bool textB = b.typeId() == QMetaType::QString;
    if (textA && textB) {
        if (op == 0)
            setResult(context, QVariant(a.toString() + b.toString()));
        else
            raise(context, makeSqlError(8117, 16, QStringLiteral("Operand data type varchar is invalid for %1 operator.")
                                                      .arg(QLatin1String(names[op]))));
        return;
    }
    // The text side converts to the number's type: int for an integer, float for a float.
    const bool real = a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double;
    const DeclaredType declared = DeclaredType::fromName(real ? QStringLiteral("float") : QStringLiteral("bigint"));
    QVariant left;
    QVariant right;
    SqlError error;
    if (!TsqlConversions::convert(a, declared, TsqlConversions::Mode::Cast, -1, &left, &error)
        || !TsqlConversions::convert(b, declared, TsqlConversions::Mode::Cast, -1, &right, &error)) {
        if (error.number == 245 || error.number == 248)
            error = TsqlConversions::conversionFailed(textA ? a.toString() : b.toString(), QStringLiteral("int"));
        raise(context, error);
        return;
    }
    const SqlError divideByZero = makeSqlError(8134, 16, QStringLiteral("Divide by zero error encountered."));
    if (real) {
        if (op == 4) {
            raise(context, makeSqlError(402, 16, QStringLiteral("The data types %1 and %2 are incompatible in the modulo operator.")
                                                     .arg(QLatin1String(a.typeId() == QMetaType::Double ? "float" : "int"),
                                                          QLatin1String(b.typeId() == QMetaType::Double ? "float" : "int"))));
            return;
        }
        const double x = left.toDouble();
        const double y = right.toDouble();
        if (op == 3 && y == 0.0) {
            raise(context, divideByZero);
            return;
        }
        sqlite3_result_double(context, op == 0 ? x + y : op == 1 ? x - y : op == 2 ? x * y : x / y);
        return;
    }
    const qint64 x = left.toLongLong();
    const qint64 y = right.toLongLong();
    qint64 result = 0;
    bool overflow = false;
    switch (op) {
    case 0: overflow = qAddOverflow(x, y, &result); break;
    case 1: overflow = qSubOverflow(x, y, &result); break;
    case 2: overflow = qMulOverflow(x, y, &result); break;
    default:
        if (y == 0) {
            raise(context, divideByZero);
            return;
        }
        if (y == -1) {  // without the overflow of the smallest x, whose remainder is 0
            overflow = op == 3 && x == std::numeric_limits<qint64>::min();
            result = op == 3 && !overflow ? -x : 0;
        } else {
            result = op == 3 ? x / y : x % y;
        }
    }
    const DeclaredType type = sqlite3_value_type(argv[3]) == SQLITE_NULL
        ? declared : DeclaredType::fromName(valueOf(argv[3]).toString());
    if (overflow || result < type.minimum() || result > type.maximum()) {
        raise(context, makeSqlError(8115, 16, QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
                                                  .arg(type.name())));
        return;
    }
    sqlite3_result_int64(context, result);
}

}  // namespace

void TsqlFunctions::install(SqliteConnection& connection)
{
    sqlite3* db = connection.handle();
    sqlite3_create_collation_v2(db, TsqlTranslator::collationName(), SQLITE_UTF16_ALIGNED, &connection, collate, nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "like", 2, flags, &connection, like, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "tsql_cast", 3, flags, &connection, tsqlCast, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "tsql_store", 2, flags, &connection, tsqlStore, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "tsql_arith", 4, flags, &connection, tsqlArith, nullptr, nullptr, nullptr);
}

}  // namespace sandbox
