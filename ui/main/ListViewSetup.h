#pragma once

#include <QString>
#include <QStringList>

class QTableWidget;

// The list set-up shared by the main window's three lists: a report view with column headers,
// whole-row single selection, grid lines and no editing in place. Widths are given in twips,
// column numbers count from 1 as the list's own column numbers do.
class ListViewSetup {
public:
    // Report view, whole-row selection, all rows and columns removed, grid on, no editing.
    static void prepare(QTableWidget* list);
    // Adds a column with its caption only (left-aligned); widthTwips < 0 keeps the default width.
    static void addColumn(QTableWidget* list, const QString& caption, int widthTwips = -1);
    // One column per part of the comma-separated captions, each widthTwips wide.
    static void addColumns(QTableWidget* list, const QString& captions, int widthTwips);
    static void setColumnWidth(QTableWidget* list, int column, int widthTwips);
    // Adds a row: the item text in the first column, then the sub-items; returns the row index.
    static int addRow(QTableWidget* list, const QString& text, const QStringList& subItems = {});
};
