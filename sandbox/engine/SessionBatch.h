#pragma once

#include "SessionState.h"
#include "TsqlBindContext.h"
#include "TsqlStatement.h"

#include <QVector>
#include <deque>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace sandbox {

// A batch of a session, run a statement at a time as its events are pulled. A SELECT is stepped
// one row per pull, so no result is ever held whole in memory; a batch dropped before its end runs
// no further.
class SessionBatch : private TsqlBindContext {
public:
    SessionBatch(std::shared_ptr<SessionState> state, std::vector<TsqlStatement> statements);
    // A batch that failed to compile: it yields the error and runs nothing.
    SessionBatch(std::shared_ptr<SessionState> state, const SqlError& error);
    ~SessionBatch() override;
    SessionBatch(const SessionBatch&) = delete;
    SessionBatch& operator=(const SessionBatch&) = delete;

    // Fills the next event; false once the batch has nothing more to yield.
    bool next(BatchEvent& event);

private:
    bool resolveTable(const TsqlTableRef& ref, QString* sql, SqlError* error) override;
    bool tableColumns(const TsqlTableRef& ref, QVector<QPair<QString, QString>>* columns, SqlError* error) override;

    void runStatement(const TsqlStatement& statement);
    void runIf(const TsqlStatement& statement);
    void runQuery(const TsqlStatement& statement);
    void runChange(const TsqlStatement& statement, bool counted);
    void stepQuery();

    bool prepare(const TsqlStatement& statement, sqlite3_stmt** prepared);
    SqlError stepError(const TsqlStatement& statement);
    bool readRow(QVector<QVariant>* row, SqlError* error);
    QVector<ColumnInfo> describeColumns(const TsqlStatement& statement, bool hasRow);

    void pushDone(bool hasRowCount = false, qint64 rowCount = 0);
    void fail(const SqlError& error);
    void finishQuery();

    std::shared_ptr<SessionState> m_state;
    std::vector<TsqlStatement> m_statements;
    std::deque<const TsqlStatement*> m_pending;
    std::deque<BatchEvent> m_events;
    bool m_finished = false;

    // The SELECT being streamed.
    sqlite3_stmt* m_query = nullptr;
    const TsqlStatement* m_queryStatement = nullptr;
    QVector<ColumnInfo> m_columns;
    qint64 m_rows = 0;
};

}  // namespace sandbox
