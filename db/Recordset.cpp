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

// Rows not yet visited wait in m_ahead: all of them for a client-side cursor, those read ahead
// for a server-side one whose connection was needed for another statement. A server-side cursor
// otherwise reads the next row from its statement when the caller moves on.
class Recordset::Impl {
public:
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

    // Runs the query and stands on its first result with columns; the statement is left open.
    std::unique_ptr<OdbcStatement> start(const QString& sql, Connection& connection)
    {
        connection.prepareStatement();
        auto statement = std::make_unique<OdbcStatement>(connection.handles());
        statement->execute(sql);
        if (statement->seekRows())
            m_columns = statement->describe();
        return statement;
    }

    void openClient(const QString& sql, Connection& connection)
    {
        const auto statement = start(sql, connection);
        if (!m_columns.isEmpty()) {
            while (statement->fetch())
                m_ahead.push_back(statement->row(m_columns));
            statement->drain();
        }
        m_count = qint64(m_ahead.size());
        m_open = true;
        advance();
    }

    void openServer(const QString& sql, Connection& connection)
    {
        auto statement = start(sql, connection);
        m_count = -1;
        m_open = true;
        if (m_columns.isEmpty()) {
            m_eof = true;
            return;
        }
        m_statement = std::move(statement);
        m_handles = &connection.handles();
        m_handles->setPendingReader(this, {[this] { readAhead(); }, [this] { abandon(); }});
        advance();
    }

    void openCounting(const QString& sql, Connection& connection)
    {
        const auto statement = start(sql, connection);
        qint64 count = 0;
        if (!m_columns.isEmpty()) {
            while (statement->fetch())
                ++count;
            statement->drain();
        }
        m_count = count;
        m_open = true;
        m_eof = true;
    }

    // Stands on the next row, or at the end.
    void advance()
    {
        if (!m_ahead.empty()) {
            m_current = std::move(m_ahead.front());
            m_ahead.pop_front();
            m_eof = false;
            return;
        }
        if (m_deferred) {
            const DbError error = *m_deferred;
            m_deferred.reset();
            m_eof = true;
            throw error;
        }
        if (m_statement) {
            const BusyScope busy;
            try {
                if (m_statement->fetch()) {
                    m_current = m_statement->row(m_columns);
                    m_eof = false;
                    return;
                }
                // Errors of later statements in the batch surface here; then the connection is free.
                m_statement->drain();
            } catch (const DbError&) {
                stopStreaming();
                m_eof = true;
                throw;
            }
            stopStreaming();
        }
        m_current.clear();
        m_eof = true;
    }

    // Another statement needs the connection: take in the rest now and let the statement go.
    // A failure is kept for the caller who reaches that point.
    void readAhead()
    {
        try {
            while (m_statement->fetch())
                m_ahead.push_back(m_statement->row(m_columns));
            m_statement->drain();
        } catch (const DbError& error) {
            m_deferred = error;
        }
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
    std::unique_ptr<OdbcStatement> m_statement;
    OdbcHandles* m_handles = nullptr;
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

void Recordset::open(const QString& sql, Connection& connection, CursorType cursorType, LockType lockType)
{
    // Every cursor is read forward only; the types asked for change nothing the callers see.
    Q_UNUSED(cursorType);
    Q_UNUSED(lockType);
    const BusyScope busy;
    close();
    try {
        if (m_location == CursorLocation::Server)
            m_impl->openServer(sql, connection);
        else
            m_impl->openClient(sql, connection);
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
        m_impl->openCounting(sql, connection);
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
    // Letting go of a statement with rows unread waits for the server to acknowledge the cancel.
    std::optional<BusyScope> busy;
    if (m_impl->m_statement)
        busy.emplace();
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
