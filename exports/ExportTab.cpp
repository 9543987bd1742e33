#include "ExportTab.h"

#include "ui_form2.h"

#include "ExportSubItemText.h"
#include "app/ErrorGuard.h"
#include "app/MessageBoxes.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"
#include "ui/main/ListViewSetup.h"

#include <QTableWidgetItem>

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
    const QStringList captions = QStringLiteral("帐套号,年度,月份,计算机名,用户编码,操作时间").split(QLatin1Char(','));
    for (const QString& caption : captions)
        ListViewSetup::addColumn(m_ui.ListView3, caption);
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
    if (rows.state() == db::StateOpen)
        rows.close();
    rows.setCursorLocation(db::CursorLocation::Client);
    rows.open(QStringLiteral("select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,"
                             "cUser_Id as 用户编码,dTime as 操作时间 from ua_outpzlog"),
              PublicADO::ExportConnection(), db::CursorType::Keyset, db::LockType::Pessimistic);

    QTableWidget* list = m_ui.ListView3;
    list->setRowCount(0);

    const qint64 count = rows.recordCount();
    if (count == 0) {
        showInformation(QStringLiteral("没有异常记录！"));
        m_ui.Command9->setText(ListCaption);
        return;
    }

    const int fields = rows.fieldCount();
    const int listColumns = list->columnCount();
    list->setUpdatesEnabled(false);
    list->setRowCount(int(count));
    int row = 0;
    while (!rows.eof()) {
        if (row >= list->rowCount())
            list->setRowCount(row + 1);
        for (int field = 0; field < fields && field < listColumns; ++field) {
            const QVariant value = rows.value(field);
            // The blank stand-in is for the sub-items only; the row's own text is the account code.
            auto* item = new QTableWidgetItem(field == 0 ? db::FieldText::of(value) : ExportSubItemText::of(value));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            list->setItem(row, field, item);
        }
        ++row;
        rows.moveNext();
    }
    list->setRowCount(row);
    list->setUpdatesEnabled(true);

    m_ui.Command9->setText(ClearCaption);
    showInformation(QStringLiteral("共有") + QString::number(count)
                    + QStringLiteral("个异常记录，请点击清除按钮进行清除！"));
}

void ExportTab::deleteRows()
{
    PublicADO::ExportConnection().execute(QStringLiteral("delete from ua_outpzlog"));
    m_ui.Command9->setText(ListCaption);
    m_ui.ListView3->setRowCount(0);
    showInformation(QStringLiteral("清除成功！"));
}

void ExportTab::showInformation(const QString& text)
{
    MessageBoxes::information(m_window, text, QStringLiteral("提示"));
}
