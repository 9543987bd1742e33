#pragma once

#include "LockTableCatalogue.h"

#include <QObject>
#include <QString>

class QWidget;
namespace Ui { class Form2; }

// The second tab, "清除单据锁定": account and year, the lock scan and the lock clearing.
class LockTab : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of this tab's message boxes.
    LockTab(Ui::Form2& ui, QWidget* window);

    // While the main window loads: builds LockTableCatalogue.
    void BuildLockTableCatalogue();
    // While the main window loads: fills Combo3 with the accounts and leaves nothing selected.
    void FillAccountList();

private:
    // The business database of the selected account and year; empty (after telling the user)
    // when the mapping table gives no single answer.
    QString GetAccountDb();
    // Reopens AccountConnection on that database. False when it could not be resolved: then
    // nothing is opened, and the caller must not go on with whatever database the login defaults to.
    bool OpenAccountConnection();
    // Rebuilds the lock list and LockedTableCount; false when the database was not resolved.
    bool ReLockTb();
    // Deletes every lock of the selected account and year; false when the database was not resolved.
    bool ClearTb();

    void Combo3_Click();
    void Combo4_Click();
    void Command5_Click();
    void Command6_Click();

    bool scanLockTables();
    // After a failed scan or clearing: no list, no count, nothing to clear.
    void forgetScan();

    QString AccountCode() const;
    QString year() const;

    Ui::Form2& m_ui;
    QWidget* m_window;
    LockTableCatalogue m_lockTableCatalogue;
    qint16 m_lockedTableCount = 0;
};
