#include "LockDetailOpener.h"

#include "LockDetail.h"
#include "LockTableCatalogue.h"
#include "LockTableRows.h"
#include "app/PublicADO.h"
#include "ui/ErrorGuard.h"

#include <QTableWidget>

namespace {

constexpr int DescriptionColumn = 1;
constexpr int CountColumn = 2;

}  // namespace

LockDetailOpener::LockDetailOpener(QTableWidget* lockList, const LockTableCatalogue& catalogue, QWidget* window,
                                   QObject* parent)
    : QObject(parent)
    , m_lockList(lockList)
    , m_catalogue(catalogue)
    , m_window(window)
{
    connect(m_lockList, &QTableWidget::cellDoubleClicked, this,
            ErrorGuard::wrap(m_window, [this](int row, int) { ListView2_DblClick(row); }));
}

void LockDetailOpener::ListView2_DblClick(int row)
{
    const QTableWidgetItem* description = m_lockList->item(row, DescriptionColumn);
    const QTableWidgetItem* count = m_lockList->item(row, CountColumn);
    if (!description || !count || count->text().toLongLong() == 0)
        return;
    for (const LockTableEntry& entry : m_catalogue.entries()) {
        if (entry.Description != description->text())
            continue;
        // The connection the scan left on the database the list shows, even when another year
        // has been picked since.
        const LockTableRows rows = LockTableRows::read(entry.TableName, PublicADO::AccountConnection());
        (new LockDetail(m_window, entry.Description, rows))->show();
        return;
    }
}
