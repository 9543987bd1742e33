#include "ListViewSetup.h"

#include "Twips.h"
#include "db/Recordset.h"

#include <QHeaderView>
#include <QScopeGuard>
#include <QTableWidget>

namespace {

// The one way rows get into a list. The list is sized once and not repainted until it is
// complete, so tens of thousands of rows go in quickly. When a row cannot be read the list is
// left empty, with repaints back on: half a list would pass the rows never read for rows that
// are gone.
void fillRows(QTableWidget* list, qint64 expectedRows, const std::function<bool(QStringList&)>& nextRow)
{
    list->setUpdatesEnabled(false);
    const auto resumeUpdates = qScopeGuard([list] { list->setUpdatesEnabled(true); });
    list->setRowCount(0);
    list->setRowCount(int(qMax<qint64>(expectedRows, 0)));
    const int columns = list->columnCount();
    int row = 0;
    QStringList texts;
    try {
        while (nextRow(texts)) {
            if (row >= list->rowCount())
                list->setRowCount(row + 1);
            for (int column = 0; column < texts.size() && column < columns; ++column) {
                auto* item = new QTableWidgetItem(texts.at(column));
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                list->setItem(row, column, item);
            }
            ++row;
        }
    } catch (...) {
        list->setRowCount(0);
        throw;
    }
    list->setRowCount(row);
}

}  // namespace

void ListViewSetup::prepare(QTableWidget* list)
{
    list->horizontalHeader()->setVisible(true);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setStretchLastSection(false);
    list->verticalHeader()->setVisible(false);
    // Compact rows, as a list view shows them, rather than the roomier table default.
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setRowCount(0);
    list->setColumnCount(0);
    list->setShowGrid(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    // Tab leaves the list, as list controls do; the arrow keys move within it.
    list->setTabKeyNavigation(false);
}

void ListViewSetup::addColumns(QTableWidget* list, const QString& captions, int widthTwips)
{
    for (const QString& caption : captions.split(QLatin1Char(','))) {
        const int column = list->columnCount();
        list->setColumnCount(column + 1);
        auto* header = new QTableWidgetItem(caption);
        header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list->setHorizontalHeaderItem(column, header);
        if (widthTwips >= 0)
            list->setColumnWidth(column, Twips::toPixels(widthTwips));
    }
}

void ListViewSetup::setColumnWidth(QTableWidget* list, int column, int widthTwips)
{
    list->setColumnWidth(column - 1, Twips::toPixels(widthTwips));
}

void ListViewSetup::fill(QTableWidget* list, db::Recordset& rows, const std::function<QStringList()>& rowTexts)
{
    fillRows(list, rows.recordCount(), [&](QStringList& texts) {
        if (rows.eof())
            return false;
        texts = rowTexts();
        rows.moveNext();
        return true;
    });
}

void ListViewSetup::fill(QTableWidget* list, const QList<QStringList>& rows)
{
    qsizetype next = 0;
    fillRows(list, rows.size(), [&](QStringList& texts) {
        if (next == rows.size())
            return false;
        texts = rows.at(next++);
        return true;
    });
}
