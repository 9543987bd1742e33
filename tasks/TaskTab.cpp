#include "TaskTab.h"

#include "ui_form2.h"

#include "TaskStateClassifier.h"
#include "TaskStatements.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"
#include "db/ServerCall.h"
#include "ui/ErrorGuard.h"
#include "ui/ListViewSetup.h"
#include "ui/MessageBoxes.h"

#include <QSet>
#include <QTableWidgetItem>

TaskTab::TaskTab(Ui::Form2& ui, QWidget* window)
    : m_ui(ui)
    , m_window(window)
{
    // toggled(true): an option counts as chosen however it became checked (click or arrow keys).
    connect(m_ui.Option1, &QRadioButton::toggled, this, ErrorGuard::wrap(m_window, [this](bool checked) {
                if (checked)
                    Option1_Click();
            }));
    connect(m_ui.Option2, &QRadioButton::toggled, this, ErrorGuard::wrap(m_window, [this](bool checked) {
                if (checked)
                    Option2_Click();
            }));
    // activated, not currentIndexChanged: only a pick by the user counts, never a clearing in code.
    connect(m_ui.Combo1, &QComboBox::activated, this, ErrorGuard::wrap(m_window, [this] { Combo1_Click(); }));
    connect(m_ui.Combo2, &QComboBox::activated, this, ErrorGuard::wrap(m_window, [this] { Combo2_Click(); }));
    connect(m_ui.Command1, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command1_Click(); }));
    connect(m_ui.Command2, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command2_Click(); }));
    connect(m_ui.Command3, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command3_Click(); }));
    connect(m_ui.Command4, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command4_Click(); }));
}

void TaskTab::ReTask()
{
    refresh(true);
}

void TaskTab::ReTaskA()
{
    refresh(false);
}

void TaskTab::refresh(bool noticeWhenEmpty)
{
    m_ui.ListView1->setRowCount(0);

    db::Recordset& tasks = PublicADO::TaskRecordset();
    const db::ServerCall::Label label(QStringLiteral("正在读取任务列表 …"));
    bool notice = false;
    try {
        tasks.open(TaskStatements::taskQuery(), PublicADO::SysConnection());
        notice = noticeWhenEmpty && tasks.recordCount() == 0;
        if (!notice) {
            fillFromTaskRecordset();
            m_ui.Combo1->setCurrentIndex(-1);
            m_ui.Combo2->setCurrentIndex(-1);
        }
    } catch (...) {
        // The selectors would still offer tasks the failed query could not confirm, and a pick
        // among them would clear by a stale entry: they go with the list.
        m_ui.Combo1->clear();
        m_ui.Combo2->clear();
        m_ui.Command3->setEnabled(false);
        throw;
    }

    // The selectors keep their entries and selection: only the list is emptied.
    if (notice)
        MessageBoxes::information(m_window, QStringLiteral("当前没有任何任务记录"));
    m_ui.Command3->setEnabled(false);
}

void TaskTab::fillFromTaskRecordset()
{
    db::Recordset& tasks = PublicADO::TaskRecordset();
    const int columns = tasks.fieldCount();
    m_taskRow = QStringList(columns);
    m_ui.Combo1->clear();
    m_ui.Combo2->clear();

    // The selectors get their entries in one go, one model insertion each however many tasks there are.
    QStringList taskIds;
    QStringList stations;
    QSet<QString> seenStations;
    taskIds.reserve(tasks.recordCount());
    ListViewSetup::fill(m_ui.ListView1, tasks, [&] {
        // A missing (NULL) computer name offers no entry: no station could be cleared by it.
        const QVariant stationValue = tasks.value(QStringLiteral("cstation"));
        const QString station = db::FieldText::of(stationValue);
        if (!stationValue.isNull() && !seenStations.contains(station)) {
            seenStations.insert(station);
            stations.append(station);
        }

        m_taskRow[0] = tasks.isNull(0) ? TaskStatements::systemManagement() : db::FieldText::of(tasks.value(0));
        for (int i = 1; i <= 3 && i < columns; ++i)
            m_taskRow[i] = db::FieldText::of(tasks.value(i));
        if (columns > 4)
            m_taskRow[4] = TaskStateClassifier::displayText(db::FieldText::of(tasks.value(QStringLiteral("taskstate"))));
        taskIds.append(m_taskRow.at(0));
        return m_taskRow;
    });

    m_ui.Combo2->addItems(stations);
    m_ui.Combo1->addItems(taskIds);
}

void TaskTab::Option1_Click()
{
    m_ui.Combo1->setEnabled(true);
    m_ui.Combo2->setEnabled(false);
    m_ui.Combo2->setCurrentIndex(-1);
    if (m_ui.Combo1->currentIndex() < 0)
        m_ui.Command3->setEnabled(false);
}

void TaskTab::Option2_Click()
{
    m_ui.Combo2->setEnabled(true);
    m_ui.Combo1->setEnabled(false);
    m_ui.Combo1->setCurrentIndex(-1);
    if (m_ui.Combo2->currentIndex() < 0)
        m_ui.Command3->setEnabled(false);
}

void TaskTab::Combo1_Click()
{
    QTableWidget* list = m_ui.ListView1;
    // The chosen row stays highlighted while the focus remains on the selector.
    QPalette palette = list->palette();
    palette.setBrush(QPalette::Inactive, QPalette::Highlight, palette.brush(QPalette::Active, QPalette::Highlight));
    palette.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     palette.brush(QPalette::Active, QPalette::HighlightedText));
    list->setPalette(palette);

    // The walk from the top selects each row in turn and stops at the first match, so when
    // nothing matches the last row is the one left selected.
    const QString picked = m_ui.Combo1->currentText();
    const int rows = list->rowCount();
    int found = rows - 1;
    for (int row = 0; row < rows; ++row) {
        const QTableWidgetItem* item = list->item(row, 0);
        if (item && item->text() == picked) {
            found = row;
            break;
        }
    }
    if (found >= 0) {
        list->selectRow(found);
        if (QTableWidgetItem* item = list->item(found, 0))
            list->scrollToItem(item);
    }
    m_ui.Command3->setEnabled(true);
}

void TaskTab::Combo2_Click()
{
    m_ui.Command3->setEnabled(true);
}

void TaskTab::Command3_Click()
{
    if (m_ui.Option1->isChecked()) {
        const QString taskId = m_ui.Combo1->currentText();
        executeAll(TaskStatements::clearById(taskId));
        if (taskId == TaskStatements::systemManagement())
            MessageBoxes::information(m_window, QStringLiteral("[") + taskId + QStringLiteral("]的登陆任务清除成功"));
        else
            MessageBoxes::information(m_window, QStringLiteral("ID为[") + taskId + QStringLiteral("]的任务清除成功"));
    } else {
        const QString station = m_ui.Combo2->currentText();
        executeAll(TaskStatements::clearByStation(station));
        MessageBoxes::information(m_window, QStringLiteral("计算机名为[") + station + QStringLiteral("]的任务清除成功"));
    }
    // Only now: the old list stays on screen while the message is up.
    ReTaskA();
}

void TaskTab::Command4_Click()
{
    ReTask();
}

void TaskTab::Command1_Click()
{
    if (m_ui.ListView1->rowCount() == 0) {
        MessageBoxes::information(m_window, QStringLiteral("没有需要清除的记录"));
        return;
    }
    executeAll(TaskStatements::clearAbnormal());
    ReTaskA();
    MessageBoxes::information(m_window, QStringLiteral("异常任务清除完毕"));
}

void TaskTab::Command2_Click()
{
    if (m_ui.ListView1->rowCount() == 0) {
        MessageBoxes::information(m_window, QStringLiteral("没有需要清除的记录"));
        return;
    }
    if (!MessageBoxes::question(m_window, QStringLiteral("确认要清退所有站点吗？")))
        return;
    executeAll(TaskStatements::clearAll());
    ReTaskA();
    MessageBoxes::information(m_window, QStringLiteral("清除成功"));
}

void TaskTab::executeAll(const QStringList& statements)
{
    const db::ServerCall::Label label(QStringLiteral("正在清除任务 …"));
    for (const QString& statement : statements)
        PublicADO::SysConnection().execute(statement);
}
