#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace sandbox {
class Fixture;
}

// Every row of every user table of every database of a sandbox folder, read straight from the
// files, so that a test can say exactly which rows an action removed and that nothing else moved.
//
//     const DatabaseSnapshot before = DatabaseSnapshot::take(fixture);
//     ... the user presses "清除" ...
//     QCOMPARE(before.differences(DatabaseSnapshot::take(fixture)),
//              QStringList{DatabaseSnapshot::removed("zrsystem", "ua_task", {"T1", "PC1"})});
class DatabaseSnapshot {
public:
    // Tables named in countOnly ("database.table", any case) are kept as a row count only, for
    // tables too big to hold as text.
    static DatabaseSnapshot take(sandbox::Fixture& fixture, const QStringList& countOnly = {});

    // What changed from this snapshot to the later one, one line per row, sorted:
    // "- db.table: row" gone, "+ db.table: row" new, "dropped db.table", "created db.table",
    // "count db.table: N -> M". Empty when nothing changed.
    QStringList differences(const DatabaseSnapshot& later) const;

    // The lines differences() gives for one row or table, for building the expected list.
    static QString removed(const QString& database, const QString& table, const QVariantList& row);
    static QString added(const QString& database, const QString& table, const QVariantList& row);
    static QString removedRow(const QString& database, const QString& table, const QString& rowText);
    static QString dropped(const QString& database, const QString& table);

    // A row's values as text: "NULL" for null, date-times as yyyy-MM-dd HH:mm:ss, joined by " | ".
    static QString rowText(const QVariantList& row);

    qint64 rowCount(const QString& database, const QString& table) const;
    // The rows of a table as rowText() gives them, each as often as it occurs, sorted.
    QStringList rowTexts(const QString& database, const QString& table) const;
    int tableCount() const { return int(m_tables.size()); }

private:
    static QString key(const QString& database, const QString& table);

    struct Table {
        QString name;          // as "database.table", spelt as the catalogue spells it
        QMap<QString, int> rows;  // row text -> how often it occurs
        qint64 count = 0;
        bool countOnly = false;
    };
    QMap<QString, Table> m_tables;  // by lower-case key
};
