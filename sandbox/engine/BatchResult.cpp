#include "BatchResult.h"

namespace sandbox {

BatchResult BatchResult::drain(SessionBatch& execution)
{
    BatchResult result;
    Statement current;
    BatchEvent event;
    while (execution.next(event)) {
        switch (event.kind) {
        case BatchEvent::Kind::Columns:
            current.columns = event.columns;
            current.hasResultSet = true;
            break;
        case BatchEvent::Kind::Row:
            current.rows.append(event.row);
            break;
        case BatchEvent::Kind::Error:
            result.m_error = event.error;
            break;
        case BatchEvent::Kind::Done:
            current.hasRowCount = event.hasRowCount;
            current.rowCount = event.rowCount;
            current.failed = event.failed;
            result.m_statements.append(current);
            current = Statement();
            break;
        }
    }
    return result;
}

QList<QVector<QVariant>> BatchResult::lastRows() const
{
    for (auto it = m_statements.crbegin(); it != m_statements.crend(); ++it) {
        if (it->hasResultSet)
            return it->rows;
    }
    return {};
}

}  // namespace sandbox
