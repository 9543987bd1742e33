#pragma once

#include "db/OdbcApi.h"

#include <QString>

// The least any ODBC client can do with a statement: one connection made with the connection
// string the program builds, each statement sent as it is on a fresh statement handle, every row
// of every result fetched and none of its values read. What the program spends beyond this is its
// own cost. Failures throw std::runtime_error.
class OdbcFloor {
public:
    OdbcFloor();
    ~OdbcFloor();
    OdbcFloor(const OdbcFloor&) = delete;
    OdbcFloor& operator=(const OdbcFloor&) = delete;

    void connect(const QString& database, const QString& server, const QString& password);
    void disconnect();
    bool isConnected() const { return m_connection != SQL_NULL_HDBC; }
    // Rows fetched over all results of the batch.
    qint64 run(const QString& sql);

private:
    [[noreturn]] static void fail(SQLSMALLINT handleType, SQLHANDLE handle, const char* what);

    SQLHENV m_environment = SQL_NULL_HENV;
    SQLHDBC m_connection = SQL_NULL_HDBC;
};
