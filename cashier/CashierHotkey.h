#pragma once

#include "db/Recordset.h"

#include <QObject>

class QKeyEvent;
class QWidget;
namespace Ui { class Form2; }

// The main window's hidden key: Ctrl+H while the document-lock tab shows opens the
// cashier-lock window.
class CashierHotkey : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of the cashier-lock window and of the message boxes.
    CashierHotkey(Ui::Form2& ui, QWidget* window);

    // Sees every key press of the main window before its controls do. True when it was this
    // window's key: the key has then been acted on, and has to go no further even when the
    // listing failed (the error box has been shown). Other keys pass on unchanged.
    bool Form_KeyDown(const QKeyEvent& key);

private:
    // Lists the cashier databases and shows the cashier-lock window over the main window.
    void openCashierWindow();

    Ui::Form2& m_ui;
    QWidget* m_window;
    // The main window's own listing of the cashier databases, reopened on every press.
    db::Recordset m_cashierDbRecordset;
};
