#include "CashierHotkey.h"

#include "ui_form2.h"

#include "Form3.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"
#include "db/ServerCall.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageBoxes.h"

#include <QKeyEvent>

CashierHotkey::CashierHotkey(Ui::Form2& ui, QWidget* window)
    : m_ui(ui)
    , m_window(window)
{
}

bool CashierHotkey::Form_KeyDown(const QKeyEvent& key)
{
    constexpr int documentLockTab = 1;
    // Ctrl alone: Ctrl+Shift+H and Ctrl+Alt+H are other keys.
    const Qt::KeyboardModifiers held = key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key.key() != Qt::Key_H || held != Qt::ControlModifier || m_ui.SSTab1->currentIndex() != documentLockTab)
        return false;
    ErrorGuard::run(m_window, [this] { openCashierWindow(); });
    return true;
}

void CashierHotkey::openCashierWindow()
{
    const db::ServerCall::Label label(QStringLiteral("正在查找出纳数据库 …"));
    m_cashierDbRecordset.open(
        QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'"),
        PublicADO::SysConnection());
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
