#pragma once

#include "db/Recordset.h"

#include <QObject>

class QWidget;
namespace Ui { class Form2; }

// The main window's hidden key: Ctrl+H while the document-lock tab shows opens the
// cashier-lock window.
class CashierHotkey : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of the cashier-lock window and of the message boxes.
    CashierHotkey(Ui::Form2& ui, QWidget* window);

    // Sees every key press of the main window before its controls do. keyCode is the key's code
    // (for letters the upper-case character code, 72 for H), shift the sum of 1 Shift, 2 Ctrl, 4 Alt. True when the key
    // was this window's key and has been acted on; other keys pass on unchanged.
    bool Form_KeyDown(int keyCode, int shift);

private:
    // Lists the cashier databases and shows the cashier-lock window over the main window.
    void openCashierWindow();

    Ui::Form2& m_ui;
    QWidget* m_window;
    // The main window's own listing of the cashier databases, reopened on every press.
    db::Recordset m_cashierDbRecordset;
};
