#include "Recordset.h"

#include "BusyScope.h"
#include "Connection.h"
#include "DbError.h"
#include "OdbcHandles.h"
#include "OdbcStatement.h"

#include <deque>
#include <optional>

namespace db {

namespace {

DbError closedError()
{
    return DbError(QStringLiteral("对象关闭时，不允许操作。"));
}

DbError noCurrentRowError()
{
    return DbError(
        QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所要求的操作需要一个当前的记录。"));
}

DbError noSuchFieldError()
{
    return DbError(QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
}

}  // namespace

// Rows not yet visited wait in m_ahead: all of them for a client-side cursor, the block read
// last for a server-side one. Every read runs as one call through the connection's seam, a whole
// result or a block of rows at a time, never a call per row; what it reads goes into a Batch the
// call owns, taken over here when the call returns.
class Recordset::Impl {
public:
    // Rows a server-side cursor reads per call.
    static constexpr int BlockRows = 512;

    struct Batch {
        std::shared_ptr<OdbcStatement> statement;
        QVector<OdbcStatement::Column> columns;
        std::deque<QVector<QVariant>> rows;
        qint64 count = 0;
        // Set when the statement has nothing left; a failure after some rows waits in deferred
        // for the reader to reach it.
        bool finished = false;
        std::optional<DbError> deferred;
    };

    ~Impl() { stopStreaming(); }

    void reset()
    {
        stopStreaming();
        m_open = false;
        m_columns.clear();
        m_ahead.clear();
        m_current.clear();
        m_eof = true;
        m_count = 0;
        m_deferred.reset();
    }

    // Runs the query and stands on its first result with columns; the statement stays in the batch.
    static void start(Batch& batch, const std::shared_ptr<OdbcHandles>& handles, const QString& sql)
    {
        batch.statement = std::make_shared<OdbcStatement>(handles);
        batch.statement->execute(sql);
        if (batch.statement->seekRows())
            batch.columns = batch.statement->describe();
        else
            batch.finished = true;
    }

    // Reads up to limit rows (all for a negative limit), keeping them unless only counting.
    static void read(Batch& batch, qint64 limit, bool keep)
    {
        try {
            for (qint64 n = 0; limit < 0 || n < limit; ++n) {
                if (!batch.statement->fetch()) {
                    // Errors of later statements in the batch surface here; then the connection is free.
                    batch.finished = true;
                    batch.statement->drain();
                    break;
                }
                if (keep)
                    batch.rows.push_back(batch.statement->row(batch.columns));
                ++batch.count;
            }
        } catch (const DbError& error) {
            batch.finished = true;
            batch.deferred = error;
        }
        if (batch.finished)
            batch.statement.reset();
    }

    void openWhole(const QString& sql, Connection& connection, bool keep)
    {
        connection.prepareStatement();
        const auto batch = std::make_shared<Batch>();
        connection.onServer([batch, sql, keep](const std::shared_ptr<OdbcHandles>& handles) {
            start(*batch, handles, sql);
            if (!batch->finished)
                read(*batch, -1, keep);
            if (batch->deferred)
                throw *batch->deferred;
        });
        m_columns = batch->columns;
        m_ahead = std::move(batch->rows);
        m_count = batch->count;
        m_open = true;
        if (keep)
            advance();
    }

    void openServer(const QString& sql, Connection& connection)
    {
        connection.prepareStatement();
        const auto batch = std::make_shared<Batch>();
        connection.onServer([batch, sql](const std::shared_ptr<OdbcHandles>& handles) {
            start(*batch, handles, sql);
            if (!batch->finished)
                read(*batch, BlockRows, true);
        });
        m_columns = batch->columns;
        m_count = -1;
        m_open = true;
        take(*batch);
        if (m_statement) {
            m_connection = &connection;
            m_handles = m_statement->handles();
            m_handles->setPendingReader(this, {[this] { readAhead(); }, [this] { abandon(); }});
        }
        advance();
    }

    void take(Batch& batch)
    {
        for (auto& row : batch.rows)
            m_ahead.push_back(std::move(row));
        m_deferred = batch.deferred;
        m_statement = batch.finished ? nullptr : batch.statement;
        if (!m_statement)
            stopStreaming();
    }

    // Reads the next block (all that is left for a negative limit) of the statement streaming.
    void readMore(qint64 limit)
    {
        const auto batch = std::make_shared<Batch>();
        batch->statement = m_statement;
        batch->columns = m_columns;
        try {
            m_connection->onServer([batch, limit](const std::shared_ptr<OdbcHandles>&) { read(*batch, limit, true); });
        } catch (const DbError&) {
            stopStreaming();
            throw;
        }
        take(*batch);
    }

    // Stands on the next row, or at the end.
    void advance()
    {
        if (m_ahead.empty() && !m_deferred && m_statement) {
            const BusyScope busy;
            try {
                readMore(BlockRows);
            } catch (const DbError&) {
                m_eof = true;
                throw;
            }
        }
        if (!m_ahead.empty()) {
            m_current = std::move(m_ahead.front());
            m_ahead.pop_front();
            m_eof = false;
            return;
        }
        m_current.clear();
        m_eof = true;
        if (m_deferred) {
            const DbError error = *m_deferred;
            m_deferred.reset();
            throw error;
        }
    }

    // Another statement needs the connection: take in the rest now and let the statement go.
    // A failure is kept for the caller who reaches that point.
    void readAhead()
    {
        if (!m_deferred)
            readMore(-1);
        stopStreaming();
    }

    // The connection is closing under us.
    void abandon()
    {
        m_statement.reset();
        m_handles = nullptr;
        reset();
    }

    void stopStreaming()
    {
        if (m_handles)
            m_handles->clearPendingReader(this);
        m_handles = nullptr;
        m_connection = nullptr;
        m_statement.reset();
    }

    int position(const QString& name) const
    {
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        return -1;
    }

    const QVariant& at(int position) const
    {
        if (!m_open)
            throw closedError();
        if (position < 0 || position >= m_columns.size())
            throw noSuchFieldError();
        if (m_eof)
            throw noCurrentRowError();
        return m_current[position];
    }

    bool m_open = false;
    QVector<OdbcStatement::Column> m_columns;
    std::deque<QVector<QVariant>> m_ahead;
    QVector<QVariant> m_current;
    bool m_eof = true;
    qint64 m_count = 0;
    std::optional<DbError> m_deferred;
    std::shared_ptr<OdbcStatement> m_statement;
    std::shared_ptr<OdbcHandles> m_handles;
    Connection* m_connection = nullptr;
};

Recordset::Recordset()
    : m_impl(std::make_unique<Impl>())
{
}

Recordset::~Recordset() = default;

void Recordset::setCursorLocation(CursorLocation location)
{
    m_location = location;
}

void Recordset::open(const QString& sql, Connection& connection)
{
    const BusyScope busy;
    close();
    try {
        if (m_location == CursorLocation::Server)
            m_impl->openServer(sql, connection);
        else
            m_impl->openWhole(sql, connection, true);
    } catch (const DbError&) {
        m_impl->reset();
        throw;
    }
}

void Recordset::openCounting(const QString& sql, Connection& connection)
{
    const BusyScope busy;
    close();
    try {
        m_impl->openWhole(sql, connection, false);
    } catch (const DbError&) {
        m_impl->reset();
        throw;
    }
}

int Recordset::state() const
{
    return m_impl->m_open ? StateOpen : StateClosed;
}

void Recordset::close()
{
    // Letting go of a statement with rows unread waits for the server to acknowledge the cancel:
    // the last reference goes inside a call through the seam.
    if (Connection* connection = m_impl->m_connection) {
        const BusyScope busy;
        auto statement = std::move(m_impl->m_statement);
        m_impl->reset();
        connection->onServer([statement](const std::shared_ptr<OdbcHandles>&) mutable { statement.reset(); });
        return;
    }
    m_impl->reset();
}

qint64 Recordset::recordCount() const
{
    if (!m_impl->m_open)
        throw closedError();
    return m_impl->m_count;
}

bool Recordset::eof() const
{
    if (!m_impl->m_open)
        throw closedError();
    return m_impl->m_eof;
}

void Recordset::moveNext()
{
    if (!m_impl->m_open)
        throw closedError();
    if (m_impl->m_eof)
        throw noCurrentRowError();
    m_impl->advance();
}

int Recordset::fieldCount() const
{
    if (!m_impl->m_open)
        throw closedError();
    return int(m_impl->m_columns.size());
}

QString Recordset::fieldName(int position) const
{
    if (!m_impl->m_open)
        throw closedError();
    if (position < 0 || position >= m_impl->m_columns.size())
        throw noSuchFieldError();
    return m_impl->m_columns[position].name;
}

QVariant Recordset::value(int position) const
{
    return m_impl->at(position);
}

QVariant Recordset::value(const QString& name) const
{
    return m_impl->at(m_impl->position(name));
}

bool Recordset::isNull(int position) const
{
    return value(position).isNull();
}

bool Recordset::isNull(const QString& name) const
{
    return value(name).isNull();
}

}  // namespace db
