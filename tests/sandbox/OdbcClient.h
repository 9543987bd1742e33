#pragma once

// A thin test-side client over the unixODBC C API (wide-character calls), so that tests talk
// to the sandbox through the same FreeTDS driver the program uses.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <sql.h>
#include <sqlext.h>

namespace tdstest {

inline SQLWCHAR* wide(const std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str())); }
inline QString fromWide(const SQLWCHAR* text, qsizetype units) { return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), units); }

// Every diagnostic record of a handle, as "STATE (native) message".
inline QStringList diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList out;
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1; SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, message, 1024, &length)); ++i)
        out.append(QStringLiteral("%1 (%2) ").arg(fromWide(state, 5)).arg(native) + fromWide(message, length));
    return out;
}

inline QString describe(const QStringList& diagnostics) { return diagnostics.join(QStringLiteral(" | ")); }

struct OdbcResult {
    bool ok = false;
    QStringList columns;
    QList<QVariantList> rows;  // every value fetched as text; NULL as an invalid QVariant
    qint64 rowCount = -1;
    QStringList diags;
};

class OdbcClient {
public:
    OdbcClient()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        SQLSetConnectAttrW(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    }
    ~OdbcClient()
    {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }

    bool connect(const QString& connectionString)
    {
        const SQLRETURN rc = SQLDriverConnectW(m_dbc, nullptr, wide(connectionString.toStdU16String()), SQL_NTS, nullptr, 0,
                                               nullptr, SQL_DRIVER_NOPROMPT);
        m_lastDiags = diagnostics(SQL_HANDLE_DBC, m_dbc);
        return SQL_SUCCEEDED(rc);
    }

    QStringList lastDiagnostics() const { return m_lastDiags; }
    SQLHDBC handle() const { return m_dbc; }

    // Runs a statement and fetches every row of its first result.
    OdbcResult execute(const QString& sql)
    {
        OdbcResult result;
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
        SQLRETURN rc = SQLExecDirectW(stmt, wide(sql.toStdU16String()), SQL_NTS);
        result.diags = diagnostics(SQL_HANDLE_STMT, stmt);
        SQLSMALLINT columns = 0;
        if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
            SQLNumResultCols(stmt, &columns);
            for (SQLSMALLINT c = 1; c <= columns; ++c) {
                SQLWCHAR name[256] = {};
                SQLSMALLINT nameLength = 0;
                SQLDescribeColW(stmt, c, name, 256, &nameLength, nullptr, nullptr, nullptr, nullptr);
                result.columns << fromWide(name, nameLength);
            }
            while (columns > 0 && SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
                QVariantList row;
                for (SQLSMALLINT c = 1; c <= columns; ++c) {
                    SQLWCHAR buffer[4096];
                    SQLLEN indicator = 0;
                    SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
                    row << (indicator == SQL_NULL_DATA ? QVariant() : QVariant(fromWide(buffer, indicator / 2)));
                }
                result.rows << row;
            }
            if (columns > 0 && rc != SQL_NO_DATA)
                result.diags += diagnostics(SQL_HANDLE_STMT, stmt);
            result.ok = columns == 0 || rc == SQL_NO_DATA;
            // The driver knows a select's count only once its last row has been read.
            SQLLEN count = -1;
            SQLRowCount(stmt, &count);
            result.rowCount = count;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return result;
    }

private:
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    QStringList m_lastDiags;
};

}  // namespace tdstest
