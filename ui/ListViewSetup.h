#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QTableWidget;
namespace db { class Recordset; }

// The list set-up shared by the main window's three lists: a report view with column headers,
// whole-row single selection, grid lines and no editing in place. Widths are given in twips,
// column numbers count from 1 as the list's own column numbers do.
class ListViewSetup {
public:
    // Report view, whole-row selection, all rows and columns removed, grid on, no editing.
    static void prepare(QTableWidget* list);
    // One left-aligned column per part of the comma-separated captions, each widthTwips wide
    // (< 0 keeps the default width).
    static void addColumns(QTableWidget* list, const QString& captions, int widthTwips = -1);
    static void setColumnWidth(QTableWidget* list, int column, int widthTwips);

    // Replaces the list's rows: one per recordset row from the current one to the end, each the
    // texts rowTexts() gives for the current row (the item text, then the sub-items).
    static void fill(QTableWidget* list, db::Recordset& rows, const std::function<QStringList()>& rowTexts);
    static void fill(QTableWidget* list, const QList<QStringList>& rows);
};
