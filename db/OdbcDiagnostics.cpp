#include "OdbcDiagnostics.h"

#include "OdbcText.h"

#include <QStringList>
#include <vector>

namespace db {

QList<OdbcDiagnostics::Record> OdbcDiagnostics::read(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QList<Record> records;
    if (!handle)
        return records;
    for (SQLSMALLINT number = 1;; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, number, state, &nativeError, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, number, state, &nativeError, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        Record record;
        record.sqlState = OdbcText::out(state, 5);
        record.nativeError = static_cast<int>(nativeError);
        record.message = OdbcText::out(message.data(), qMin<qsizetype>(length, qsizetype(message.size()) - 1));
        records.append(record);
    }
    return records;
}

DbError OdbcDiagnostics::error(SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallback)
{
    return error(read(handleType, handle), fallback);
}

DbError OdbcDiagnostics::error(const QList<Record>& records, const QString& fallback)
{
    if (records.isEmpty())
        return DbError(fallback);
    QStringList lines;
    for (const Record& record : records) {
        if (!lines.contains(record.message))
            lines.append(record.message);
    }
    // The driver's own summary ("Unable to connect to data source") may come first, and printed or
    // informational messages (state 01xxx) may come with the error; the server's error is the one
    // with a number and a state of its own.
    const Record* main = nullptr;
    for (const Record& record : records) {
        if (record.nativeError != 0 && !record.sqlState.startsWith(QLatin1String("01"))) {
            main = &record;
            break;
        }
    }
    for (const Record& record : records) {
        if (!main && record.nativeError != 0)
            main = &record;
    }
    if (!main)
        main = &records.first();
    return DbError(lines.join(QLatin1Char('\n')), main->sqlState, main->nativeError, records);
}

}  // namespace db
