#include "ListViewSetup.h"

#include "app/Twips.h"

#include <QHeaderView>
#include <QTableWidget>

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
}

void ListViewSetup::addColumn(QTableWidget* list, const QString& caption, int widthTwips)
{
    const int column = list->columnCount();
    list->setColumnCount(column + 1);
    auto* header = new QTableWidgetItem(caption);
    header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->setHorizontalHeaderItem(column, header);
    if (widthTwips >= 0)
        list->setColumnWidth(column, Twips::toPixels(widthTwips));
}

void ListViewSetup::addColumns(QTableWidget* list, const QString& captions, int widthTwips)
{
    for (const QString& caption : captions.split(QLatin1Char(',')))
        addColumn(list, caption, widthTwips);
}

void ListViewSetup::setColumnWidth(QTableWidget* list, int column, int widthTwips)
{
    list->setColumnWidth(column - 1, Twips::toPixels(widthTwips));
}

int ListViewSetup::addRow(QTableWidget* list, const QString& text, const QStringList& subItems)
{
    const int row = list->rowCount();
    list->insertRow(row);
    QStringList texts = subItems;
    texts.prepend(text);
    for (int column = 0; column < texts.size() && column < list->columnCount(); ++column) {
        auto* item = new QTableWidgetItem(texts.at(column));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        list->setItem(row, column, item);
    }
    return row;
}
