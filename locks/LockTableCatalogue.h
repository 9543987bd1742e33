#pragma once

#include "LockTableEntry.h"

#include <QVector>

// The fixed list of lock tables, in the order the scan lists them and the clearing empties them.
class LockTableCatalogue {
public:
    // The fifteen tables of the suite, paired by position with their descriptions.
    static LockTableCatalogue build();

    const QVector<LockTableEntry>& entries() const { return m_entries; }

    // The marker table that is dropped rather than emptied and always counts as one lock.
    static bool isProcessMarker(const QString& tableName);

private:
    QVector<LockTableEntry> m_entries;
};
