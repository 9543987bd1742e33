#pragma once

#include <QObject>

class LockTableCatalogue;
class QTableWidget;
class QWidget;

// The lock list's double-click: a row that holds locks opens a LockDetail window with the rows of
// its table; a row showing 0 opens nothing. Only that one query is sent, so the scan, the
// clearing and what the tab shows stay as they were.
class LockDetailOpener : public QObject {
    Q_OBJECT
public:
    // catalogue: the tab's own, whose descriptions the list shows; window: the main window,
    // parent of the detail windows and of the error box.
    LockDetailOpener(QTableWidget* lockList, const LockTableCatalogue& catalogue, QWidget* window,
                     QObject* parent = nullptr);

private:
    void ListView2_DblClick(int row);

    QTableWidget* m_lockList;
    const LockTableCatalogue& m_catalogue;
    QWidget* m_window;
};
