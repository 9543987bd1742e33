#pragma once

#include <QMap>
#include <QStringList>
#include <QVariant>

namespace sandbox {
class Fixture;
}

// Every row of every user table of a sandbox folder, read from the files, so that a test can say
// exactly which rows an action removed and that nothing else moved.
class DatabaseSnapshot {
public:
    static DatabaseSnapshot take(sandbox::Fixture& fixture);

    // What changed from this snapshot to the later one, sorted: "- db.table: row" gone,
    // "+ db.table: row" new, "dropped db.table", "created db.table".
    QStringList differences(const DatabaseSnapshot& later) const;

    // The lines differences() gives for a row gone (values joined by " | ") or a table dropped.
    static QString removed(const QString& database, const QString& table, const QVariantList& row);
    static QString dropped(const QString& database, const QString& table);

private:
    static QString key(const QString& database, const QString& table) { return (database + '.' + table).toLower(); }
    static QString rowText(const QVariantList& row);

    // By lower-case "database.table": the rows as text, sorted.
    using Tables = QMap<QString, QStringList>;
    Tables m_rows;
};
