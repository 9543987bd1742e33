#pragma once

#include "LockTableEntry.h"

#include <QVector>

// The fixed list of lock tables, in the order the scan lists them and the clearing empties them.
class LockTableCatalogue {
public:
    // The fifteen tables of the suite.
    static LockTableCatalogue build();
    // One entry per name of the comma-separated names, paired by position with the descriptions.
    static LockTableCatalogue fromLists(const QString& names, const QString& descriptions);

    int size() const { return m_entries.size(); }
    const LockTableEntry& at(int index) const { return m_entries.at(index); }
    const QVector<LockTableEntry>& entries() const { return m_entries; }

    // The marker table that is dropped rather than emptied and always counts as one lock.
    static bool isProcessMarker(const QString& tableName);

private:
    QVector<LockTableEntry> m_entries;
};
