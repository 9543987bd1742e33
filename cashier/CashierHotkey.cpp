#include "CashierHotkey.h"

#include "ui_form2.h"

#include "Form3.h"
#include "app/MessageBoxes.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"

CashierHotkey::CashierHotkey(Ui::Form2& ui, QWidget* window)
    : m_ui(ui)
    , m_window(window)
{
}

bool CashierHotkey::Form_KeyDown(int keyCode, int shift)
{
    constexpr int keyH = 72;
    constexpr int ctrlOnly = 2;
    constexpr int documentLockTab = 1;
    if (keyCode != keyH || shift != ctrlOnly || m_ui.SSTab1->currentIndex() != documentLockTab)
        return false;
    openCashierWindow();
    return true;
}

void CashierHotkey::openCashierWindow()
{
    if (m_cashierDbRecordset.state() == db::StateOpen)
        m_cashierDbRecordset.close();
    m_cashierDbRecordset.setCursorLocation(db::CursorLocation::Client);
    m_cashierDbRecordset.open(
        QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'"),
        PublicADO::SysConnection(), db::CursorType::Keyset, db::LockType::Pessimistic);
    if (m_cashierDbRecordset.recordCount() == 0) {
        MessageBoxes::information(m_window, QStringLiteral("没有检测到出纳数据库！"));
        return;
    }

    // A new window for every opening, so the list never carries the names of an earlier one.
    Form3 window(m_window);
    for (; !m_cashierDbRecordset.eof(); m_cashierDbRecordset.moveNext())
        window.addDatabase(db::FieldText::of(m_cashierDbRecordset.value(0)));
    window.exec();
}
