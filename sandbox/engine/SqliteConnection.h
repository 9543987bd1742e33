#pragma once

#include "SqlTypes.h"

#include <QCollator>
#include <QHash>
#include <QString>
#include <memory>
#include <optional>

struct sqlite3;

namespace sandbox {

// One SQLite handle on one database file, with the engine's collation and functions installed.
// Shared between a session and the batches it runs, so that a batch still streaming from a
// database keeps its handle alive after the session moved on with USE.
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
    // The schema under which another database's file is attached, attaching it on first use.
    bool attach(const QString& database, const QString& file, QString* schema, QString* error);

private:
    SqliteConnection() = default;

    sqlite3* m_db = nullptr;
    QString m_file;
    QCollator m_collator;
    std::optional<SqlError> m_raised;
    QHash<QString, QString> m_attached;  // lower-case database name -> schema
};

}  // namespace sandbox
