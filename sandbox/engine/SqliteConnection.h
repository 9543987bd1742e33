#pragma once

#include "SqlTypes.h"

#include <QCollator>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

struct sqlite3;

namespace sandbox {

// One SQLite handle on one database file, with the engine's collation and functions installed.
// Shared between a session and the batches it runs.
class SqliteConnection {
public:
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    static std::shared_ptr<SqliteConnection> open(const QString& file, QString* error);

    sqlite3* handle() const { return m_db; }
    QString file() const { return m_file; }

    // An engine function failed with a SQL Server error while a statement ran; the statement
    // then fails and its runner takes the error from here.
    void raise(const SqlError& error) { m_raised = error; }
    std::optional<SqlError> takeRaised();

    // The collation of text columns: case-insensitive, accent-sensitive, trailing blanks ignored.
    int compare(QStringView a, QStringView b) const;

    // Runs SQL that returns no rows; false with SQLite's message.
    bool execute(const QString& sql, QString* error);

    // Thread-safe: while set, the statement running on the handle stops within a moment (SQLite's
    // progress handler sees it), and waiting for another connection's lock gives up.
    void setInterrupted(bool interrupted) { m_interrupted = interrupted; }

private:
    SqliteConnection() = default;

    sqlite3* m_db = nullptr;
    QString m_file;
    QCollator m_collator;
    std::optional<SqlError> m_raised;
    std::atomic<bool> m_interrupted{false};
};

}  // namespace sandbox
