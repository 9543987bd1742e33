#include "ExportTab.h"

#include "ui_form2.h"

#include "ExportSubItemText.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"
#include "db/ServerCall.h"
#include "ui/ErrorGuard.h"
#include "ui/ListViewSetup.h"
#include "ui/MessageBoxes.h"

namespace {

const QString ListCaption = QStringLiteral("刷新(&R)");
const QString ClearCaption = QStringLiteral("清除(&C)");

}  // namespace

ExportTab::ExportTab(Ui::Form2& ui, QWidget* window)
    : m_ui(ui)
    , m_window(window)
{
    connect(m_ui.Command9, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command9_Click(); }));
}

void ExportTab::NovaTask()
{
    ListViewSetup::addColumns(m_ui.ListView3, QStringLiteral("帐套号,年度,月份,计算机名,用户编码,操作时间"));
    const int widths[] = {730, 750, 550, 1000, 1000, 1800};
    for (int column = 1; column <= 6; ++column)
        ListViewSetup::setColumnWidth(m_ui.ListView3, column, widths[column - 1]);
}

void ExportTab::Command9_Click()
{
    try {
        if (m_ui.Command9->text().contains(QStringLiteral("刷新")))
            listRows();
        else
            deleteRows();
    } catch (...) {
        // After a failed listing or deletion the list cannot be trusted to show what the table
        // holds: it goes, and the next press lists afresh rather than deleting unseen rows.
        m_ui.ListView3->setRowCount(0);
        m_ui.Command9->setText(ListCaption);
        throw;
    }
}

void ExportTab::listRows()
{
    db::Recordset& rows = PublicADO::ExportRecordset();
    const db::ServerCall::Label label(QStringLiteral("正在读取凭证导出异常记录 …"));
    // Sent as the suite's administrators know it from their server traces, the doubled blank
    // after "select" included: leave it as it is.
    rows.open(QStringLiteral("select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,"
                             "cUser_Id as 用户编码,dTime as 操作时间 from ua_outpzlog"),
              PublicADO::ExportConnection());
    m_ui.ListView3->setRowCount(0);

    const qint64 count = rows.recordCount();
    if (count == 0) {
        MessageBoxes::information(m_window, QStringLiteral("没有异常记录！"));
        m_ui.Command9->setText(ListCaption);
        return;
    }

    const int fields = rows.fieldCount();
    ListViewSetup::fill(m_ui.ListView3, rows, [&] {
        // The blank stand-in is for the sub-items only; the row's own text is the account code.
        QStringList texts{db::FieldText::of(rows.value(0))};
        for (int field = 1; field < fields; ++field)
            texts.append(ExportSubItemText::of(rows.value(field)));
        return texts;
    });

    m_ui.Command9->setText(ClearCaption);
    MessageBoxes::information(m_window, QStringLiteral("共有") + QString::number(count)
                                            + QStringLiteral("个异常记录，请点击清除按钮进行清除！"));
}

void ExportTab::deleteRows()
{
    const db::ServerCall::Label label(QStringLiteral("正在清除凭证导出异常记录 …"));
    PublicADO::ExportConnection().execute(QStringLiteral("delete from ua_outpzlog"));
    m_ui.Command9->setText(ListCaption);
    m_ui.ListView3->setRowCount(0);
    MessageBoxes::information(m_window, QStringLiteral("清除成功！"));
}
