#include "SqliteConnection.h"

#include "TsqlFunctions.h"

#include <QThread>
#include <sqlite3.h>

namespace sandbox {

namespace {

// Virtual machine steps between two looks at the interruption flag.
constexpr int kProgressSteps = 1000;
// Another connection's lock is waited for up to five seconds, unless the statement is interrupted.
constexpr int kBusyRetries = 500;
constexpr int kBusyPauseMs = 10;

int progress(void* flag)
{
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

int busy(void* flag, int attempts)
{
    if (attempts >= kBusyRetries || static_cast<std::atomic<bool>*>(flag)->load())
        return 0;
    QThread::msleep(kBusyPauseMs);
    return 1;
}

}  // namespace

SqliteConnection::~SqliteConnection()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

std::shared_ptr<SqliteConnection> SqliteConnection::open(const QString& file, QString* error)
{
    std::shared_ptr<SqliteConnection> connection(new SqliteConnection);
    connection->m_file = file;
    // Each handle is used by one thread at a time: the batches of a session one after another, each on a
    // thread of its own, or a fixture on a test's.
    const int rc = sqlite3_open_v2(file.toUtf8().constData(), &connection->m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = connection->m_db ? QString::fromUtf8(sqlite3_errmsg(connection->m_db)) : QStringLiteral("out of memory");
        return nullptr;
    }
    // Another connection may be writing the same file; wait for it rather than fail at once.
    sqlite3_busy_handler(connection->m_db, busy, &connection->m_interrupted);
    sqlite3_progress_handler(connection->m_db, kProgressSteps, progress, &connection->m_interrupted);
    sqlite3_extended_result_codes(connection->m_db, 0);
    // A double-quoted name is always a name: SQLite would otherwise read an unknown one as a string.
    sqlite3_db_config(connection->m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(connection->m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    connection->m_collator = QCollator(QLocale(QLocale::Chinese, QLocale::China));
    connection->m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    QString ignored;
    connection->execute(QStringLiteral("PRAGMA synchronous=NORMAL"), &ignored);
    TsqlFunctions::install(*connection);
    return connection;
}

std::optional<SqlError> SqliteConnection::takeRaised()
{
    std::optional<SqlError> raised;
    raised.swap(m_raised);
    return raised;
}

int SqliteConnection::compare(QStringView a, QStringView b) const
{
    while (!a.isEmpty() && a.back() == QLatin1Char(' '))
        a.chop(1);
    while (!b.isEmpty() && b.back() == QLatin1Char(' '))
        b.chop(1);
    if (a == b)
        return 0;
    return m_collator.compare(a, b);
}

bool SqliteConnection::execute(const QString& sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    *error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return false;
}

}  // namespace sandbox
