#pragma once

#include "OdbcApi.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

namespace db {

class OdbcHandles;

// One statement handle, forward-only and read-only, sending its text as a plain batch with no
// escape processing and waiting at most Connection::statementTimeout() for each answer. Every
// failure throws DbError; the handle is freed on destruction (the driver then cancels whatever
// the server still had to send). It keeps its connection's handles alive: a statement given up
// by its caller may outlive the Connection that made it.
class OdbcStatement {
public:
    struct Column {
        QString name;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT scale = 0;
    };

    explicit OdbcStatement(std::shared_ptr<OdbcHandles> handles);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    const std::shared_ptr<OdbcHandles>& handles() const { return m_handles; }

    void execute(const QString& sql);
    // Moves to the next result that has columns, reading past row counts; false when none is left.
    bool seekRows();
    // Moves to the next result of the batch; false when there is none.
    bool nextResult();
    // Reads every result that is left, so that errors in them surface.
    void drain();

    QVector<Column> describe();
    bool fetch();
    // The current row, each value read to its end.
    QVector<QVariant> row(const QVector<Column>& columns);

private:
    QVariant value(SQLUSMALLINT position, const Column& column);
    QVariant text(SQLUSMALLINT position);
    QVariant bytes(SQLUSMALLINT position);
    template <typename T>
    bool fixed(SQLUSMALLINT position, SQLSMALLINT cType, T& target);
    [[noreturn]] void fail(const QString& fallback);

    std::shared_ptr<OdbcHandles> m_handles;
    SQLHSTMT m_statement = SQL_NULL_HSTMT;
};

}  // namespace db
