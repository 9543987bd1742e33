#pragma once

#include "AdoTypes.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace db {

class Connection;

// The rows of one query. With a client-side cursor (the default) all rows are fetched at open,
// so recordCount() is exact; with a server-side cursor rows stream forward one at a time and
// recordCount() is -1. Values are null QVariants for NULL, otherwise qint64 (integers, bits and
// decimals without scale), double, QString or QDateTime (QDate, QTime and QByteArray for the rarer
// date, time and binary columns). Every failure throws DbError.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void setCursorLocation(CursorLocation location);

    // Closes what was open first. Rows are read forward only, whatever cursor a caller would ask
    // for under ADO: every caller walks its rows once, front to back.
    void open(const QString& sql, Connection& connection);
    // Runs the query and only counts its rows, keeping none: afterwards recordCount() is exact,
    // eof() is true and the columns are known, in flat memory however many rows there are.
    void openCounting(const QString& sql, Connection& connection);
    int state() const;
    void close();

    qint64 recordCount() const;
    bool eof() const;
    void moveNext();

    int fieldCount() const;
    QString fieldName(int position) const;
    QVariant value(int position) const;
    QVariant value(const QString& name) const;  // case-insensitive, as column names are on the server
    bool isNull(int position) const;
    bool isNull(const QString& name) const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
    CursorLocation m_location = CursorLocation::Client;
};

}  // namespace db
