#pragma once

#include "SessionBatch.h"
#include "SqlTypes.h"

#include <QList>
#include <QString>
#include <QVector>
#include <optional>

namespace sandbox {

// Everything a batch yielded, gathered in memory: for fixtures and tests, never for the server.
class BatchResult {
public:
    struct Statement {
        QVector<ColumnInfo> columns;  // empty when the statement returned no result set
        QList<QVector<QVariant>> rows;
        bool hasResultSet = false;
        bool hasRowCount = false;
        qint64 rowCount = 0;
        bool failed = false;
    };

    static BatchResult drain(SessionBatch& execution);

    QList<Statement> statements() const { return m_statements; }
    // The batch's error, if it failed.
    std::optional<SqlError> error() const { return m_error; }
    bool ok() const { return !m_error.has_value(); }
    // The rows of the last statement that returned a result set.
    QList<QVector<QVariant>> lastRows() const;

private:
    QList<Statement> m_statements;
    std::optional<SqlError> m_error;
};

}  // namespace sandbox
