// The first tab against the sandbox, through the real login and main window: the task list,
// the two selectors, the clearing commands, their statements, messages and enabling states.
#include "support/InformationBox.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/MessageBoxWatcher.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;

namespace {

const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
const QString ClearAbnormalTask = QStringLiteral(
    "delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState as int)>='5' or "
    "cast(TaskState as int)<'0')");
const QString ClearAbnormalLog = QStringLiteral(
    "delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'");

// ua_tasklog rows (cTaskId, cSub_Id, cSub_Name, cStation, dInTime, TaskState) and ua_task rows
// (cTaskId, cStation) most cases work on. PC1 holds three tasks; "系统管理" (no task id) appears
// twice; T6 has no ua_task row and is listed all the same, T9 has no log row and is not.
const QStringList StandardLog = {
    "'T1', 'GL', '总账', 'PC1', '2024-03-01 08:30:00', '1'",     "'T2', 'FA', '固定资产', 'PC2', '2024-03-01 09:00:05', '0'",
    "'T3', 'GL', '总账', 'PC1', '2024-03-02 10:15:00', '5'",     "null, 'AA', '系统管理', 'SRV', '2024-03-03 11:00:00', '1'",
    "'T4', 'AR', '应收', 'PC3', '2024-03-04 12:00:00', '-1'",    "null, 'AA', '系统管理', 'PC2', '2024-03-05 13:00:00', '2'",
    "'T5', 'AP', '应付', 'PC1', '2024-03-06 14:00:00', '7'",     "'T6', 'GL', '总账', 'PC4', '2024-03-07 15:00:00', '3'",
};
const QStringList StandardTasks = {"'T1', 'PC1'", "'T2', 'PC2'", "'T3', 'PC1'", "'T4', 'PC3'", "'T5', 'PC1'", "'T9', ''"};

QStringList column(const QTableWidget* list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts.append(list->item(row, column) ? list->item(row, column)->text() : QString());
    return texts;
}

QRadioButton* option(int number)
{
    return qobject_cast<QRadioButton*>(Controls::find(QStringLiteral("Option%1").arg(number)));
}

}  // namespace

class TstTaskTab : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void loadListsEveryLogRowInServerOrder();
    void nullColumnsShowAsEmptyText();
    void optionsAndPicks();
    void refresh();
    void clearById();
    void clearSystemManagement();
    void quotesInValuesAreDoubled_data();
    void quotesInValuesAreDoubled();
    void clearAbnormal();
    void clearAllAsksFirst();
    void unconvertibleStateFailsAbnormalClearing();

private:
    void setTasks(const QStringList& log, const QStringList& tasks);
    void logIn();
    // Statements sent since the login; one not on SysConnection comes out marked, failing the comparison.
    QStringList sent();
    // The first column of a query on the data, as text.
    QStringList remaining(const QString& query);
    qint64 count(const char* table) { return m_sandbox.fixture().count(QStringLiteral("zrsystem"), QLatin1String(table)); }

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
    int m_sysConnection = 0;
};

void TstTaskTab::initTestCase()
{
    AppSetup::prepare(*qApp);
    QVERIFY(m_sandbox.start());
    m_boxes = new MessageBoxDriver(this);
}

void TstTaskTab::init()
{
    LoginDriver::reset();
    m_sandbox.faults().clear();
    m_boxes->clear();
    setTasks(StandardLog, StandardTasks);
}

void TstTaskTab::setTasks(const QStringList& log, const QStringList& tasks)
{
    const QString zrsystem = QStringLiteral("zrsystem");
    for (const QString& table : {QStringLiteral("ua_task"), QStringLiteral("ua_tasklog")}) {
        if (m_sandbox.fixture().tableExists(zrsystem, table))
            m_sandbox.execute(zrsystem, QStringLiteral("drop table ") + table);
    }
    m_sandbox.execute(zrsystem, QStringLiteral(
        "create table ua_task (cTaskId varchar(40) not null, cStation varchar(50)) "
        "create table ua_tasklog (cTaskId varchar(40) null, cSub_Id varchar(10), cSub_Name varchar(40), "
        "cStation varchar(50), dInTime datetime, TaskState varchar(10))"));
    if (!tasks.isEmpty())
        m_sandbox.execute(zrsystem, QStringLiteral("insert into ua_task values (") + tasks.join("), (") + ')');
    if (!log.isEmpty())
        m_sandbox.execute(zrsystem, QStringLiteral("insert into ua_tasklog values (") + log.join("), (") + ')');
}

void TstTaskTab::logIn()
{
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    // The load ran the silent refresh, on SysConnection like every later statement of this tab.
    m_sysConnection = 0;
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        if (record.sql == TaskQuery)
            m_sysConnection = record.connection;
    }
    QVERIFY2(m_sysConnection != 0, "the load sequence did not query the tasks");
    m_sandbox.clearStatements();
}

QStringList TstTaskTab::sent()
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append((record.connection == m_sysConnection ? QString() : QStringLiteral("[elsewhere] ")) + record.sql);
    return texts;
}

QStringList TstTaskTab::remaining(const QString& query)
{
    QStringList texts;
    for (const QVariantList& row : m_sandbox.fixture().rows(QStringLiteral("zrsystem"), query))
        texts.append(row.value(0).toString());
    return texts;
}

void TstTaskTab::loadListsEveryLogRowInServerOrder()
{
    logIn();
    // The rows by their time, which tells them apart; the order is the server's.
    const QMap<QString, QString> byTime = {
        {"2024-03-01 08:30:00", "T1 总账 PC1 2024-03-01 08:30:00 正常(1)"},
        {"2024-03-01 09:00:05", "T2 固定资产 PC2 2024-03-01 09:00:05 正常(0)"},
        {"2024-03-02 10:15:00", "T3 总账 PC1 2024-03-02 10:15:00 异常"},
        {"2024-03-03 11:00:00", "系统管理 系统管理 SRV 2024-03-03 11:00:00 正常(1)"},
        {"2024-03-04 12:00:00", "T4 应收 PC3 2024-03-04 12:00:00 异常"},
        {"2024-03-05 13:00:00", "系统管理 系统管理 PC2 2024-03-05 13:00:00 正常(2)"},
        {"2024-03-06 14:00:00", "T5 应付 PC1 2024-03-06 14:00:00 异常"},
        {"2024-03-07 15:00:00", "T6 总账 PC4 2024-03-07 15:00:00 正常(3)"},
    };
    QStringList expected;
    QStringList stations;
    for (const QVariantList& row : m_sandbox.fixture().rows(QStringLiteral("zrsystem"), TaskQuery)) {
        expected.append(byTime.value(row.value(3).toString()));
        if (!stations.contains(row.value(2).toString()))
            stations.append(row.value(2).toString());
    }
    QCOMPARE(expected.size(), 8);
    QCOMPARE(Controls::rows(Controls::list(1)), expected);

    // One task-id entry per row, duplicates kept; each computer once, in order of first appearance.
    QCOMPARE(Controls::entries(Controls::combo(1)), column(Controls::list(1), 0));
    QCOMPARE(Controls::entries(Controls::combo(2)), stations);

    // Nothing is chosen as the tab opens.
    QVERIFY(Controls::combo(1)->currentIndex() == -1 && Controls::combo(2)->currentIndex() == -1);
    QVERIFY(!option(1)->isChecked() && !option(2)->isChecked());
    QVERIFY(Controls::list(1)->selectedItems().isEmpty());
}

void TstTaskTab::nullColumnsShowAsEmptyText()
{
    setTasks({"'T1', 'GL', null, null, null, null", "'T2', 'GL', '总账', 'PC1', '2024-03-01 08:30:00', '4.5'",
              "'T3', 'GL', '总账', 'PC2', '2024-03-01 08:31:00', 'abc'",
              "'T4', 'GL', '总账', 'PC2', '2024-03-01 08:32:00', ' 6'"}, {});
    logIn();
    QStringList shown = Controls::rows(Controls::list(1));
    shown.sort();
    QCOMPARE(shown, (QStringList{"T1    正常()", "T2 总账 PC1 2024-03-01 08:30:00 正常(4.5)",
                                 "T3 总账 PC2 2024-03-01 08:31:00 正常(abc)", "T4 总账 PC2 2024-03-01 08:32:00 异常"}));
    // No empty entry for the computer that is not known.
    QStringList stations = Controls::entries(Controls::combo(2));
    stations.sort();
    QCOMPARE(stations, (QStringList{"PC1", "PC2"}));
}

void TstTaskTab::optionsAndPicks()
{
    logIn();
    LoginDriver::mainWindow().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&LoginDriver::mainWindow()));
    QComboBox* ids = Controls::combo(1);
    QComboBox* stations = Controls::combo(2);
    QPushButton* clear = Controls::command(3);
    QTableWidget* list = Controls::list(1);
    const QStringList shown = column(list, 0);

    // A pick enables "清除"; the other option drops it, its own selector having no pick yet.
    option(2)->click();
    QVERIFY(stations->isEnabled() && !ids->isEnabled() && !clear->isEnabled());
    QVERIFY(Controls::pick(stations, QStringLiteral("PC3")));
    QVERIFY(clear->isEnabled());
    option(1)->click();
    QVERIFY(!option(2)->isChecked());
    QVERIFY(ids->isEnabled() && !stations->isEnabled() && !clear->isEnabled());
    QCOMPARE(stations->currentIndex(), -1);
    QVERIFY(list->selectedItems().isEmpty());

    // As on platforms that grey out the selection of an unfocused list.
    QPalette grey = list->palette();
    grey.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xd0, 0xd0, 0xd0));
    list->setPalette(grey);
    ids->setFocus();
    // The later duplicate entry of the selector still selects the first row bearing the text.
    QVERIFY(shown.indexOf(QStringLiteral("系统管理")) != shown.lastIndexOf(QStringLiteral("系统管理")));
    const int later = int(Controls::entries(ids).lastIndexOf(QStringLiteral("系统管理")));
    ids->setCurrentIndex(later);
    emit ids->activated(later);
    QVERIFY(clear->isEnabled());
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->selectionModel()->selectedRows().first().row(), shown.indexOf(QStringLiteral("系统管理")));
    // Highlighted while the selector keeps the focus: the inactive highlight is the active one.
    QVERIFY(ids->hasFocus());
    QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
             list->palette().color(QPalette::Active, QPalette::Highlight));

    // A later pick moves the one selected row; a pick of a computer leaves it alone.
    QVERIFY(Controls::pick(ids, QStringLiteral("T5")));
    option(2)->click();
    QCOMPARE(ids->currentIndex(), -1);
    QVERIFY(Controls::pick(stations, QStringLiteral("PC1")));
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->selectionModel()->selectedRows().first().row(), shown.indexOf(QStringLiteral("T5")));
    QVERIFY(sent().isEmpty());
    QCOMPARE(m_boxes->count(), 0);
}

void TstTaskTab::refresh()
{
    logIn();
    option(1)->click();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("T1")));
    m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("delete from ua_tasklog where cTaskId='T1'"));

    // With rows: the lists are reloaded and the picks dropped; the options and which selector is
    // enabled stay as they were.
    Controls::command(4)->click();
    QCOMPARE(sent(), QStringList{TaskQuery});
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(Controls::list(1)->rowCount(), 7);
    QVERIFY(!Controls::entries(Controls::combo(1)).contains(QStringLiteral("T1")));
    QVERIFY(Controls::combo(1)->currentIndex() == -1 && Controls::combo(2)->currentIndex() == -1);
    QVERIFY(!Controls::command(3)->isEnabled());
    QVERIFY(option(1)->isChecked() && Controls::combo(1)->isEnabled() && !Controls::combo(2)->isEnabled());

    // Without rows: a message, and the selectors keep their entries and pick.
    const QStringList oldIds = Controls::entries(Controls::combo(1));
    const QStringList oldStations = Controls::entries(Controls::combo(2));
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("T4")));
    m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("delete from ua_tasklog"));
    m_sandbox.clearStatements();
    Controls::command(4)->click();
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("当前没有任何任务记录"));
    QCOMPARE(sent(), QStringList{TaskQuery});
    QCOMPARE(Controls::list(1)->rowCount(), 0);
    QCOMPARE(Controls::entries(Controls::combo(1)), oldIds);
    QCOMPARE(Controls::entries(Controls::combo(2)), oldStations);
    QCOMPARE(Controls::combo(1)->currentText(), QStringLiteral("T4"));
    QVERIFY(!Controls::command(3)->isEnabled());

    // A stale entry still clears by its id; nothing matches, which is no error.
    m_sandbox.clearStatements();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("T2")));
    Controls::command(3)->click();
    QCOMPARE(sent(), (QStringList{"delete from ua_task where cTaskId='T2'", "delete from ua_tasklog where cTaskId='T2'",
                                  TaskQuery}));
    QCOMPARE(m_boxes->last().text, QStringLiteral("ID为[T2]的任务清除成功"));
    QVERIFY(!remaining("select cTaskId from ua_task").contains(QStringLiteral("T2")));
    // The silent refresh afterwards empties the selectors and says nothing.
    QCOMPARE(m_boxes->count(), 2);
    QVERIFY(Controls::combo(1)->count() == 0 && Controls::combo(2)->count() == 0);
    QVERIFY(!Controls::command(3)->isEnabled());

    // On an empty list neither clearing command sends a statement; "清除所有任务" does not even ask.
    m_sandbox.clearStatements();
    m_boxes->clear();
    Controls::command(1)->click();
    Controls::command(2)->click();
    QVERIFY(sent().isEmpty());
    QCOMPARE(m_boxes->count(), 2);
    for (const MessageBoxDriver::Box& box : m_boxes->boxes())
        verifyInformation(box, QStringLiteral("没有需要清除的记录"));
    QCOMPARE(count("ua_task"), 5);
}

void TstTaskTab::clearById()
{
    logIn();
    int rowsWhileShown = -1;
    MessageBoxWatcher watcher([&](QMessageBox*) { rowsWhileShown = Controls::list(1)->rowCount(); });
    option(1)->click();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("T3")));
    Controls::command(3)->click();

    QCOMPARE(sent(), (QStringList{"delete from ua_task where cTaskId='T3'", "delete from ua_tasklog where cTaskId='T3'",
                                  TaskQuery}));
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("ID为[T3]的任务清除成功"));
    // The message comes first; the list is reloaded once it is closed.
    QCOMPARE(rowsWhileShown, 8);
    QCOMPARE(Controls::list(1)->rowCount(), 7);
    QCOMPARE(remaining("select cTaskId from ua_task order by cTaskId"), (QStringList{"T1", "T2", "T4", "T5", "T9"}));
}

void TstTaskTab::clearSystemManagement()
{
    // Only the log rows of the system-management module go: by cSub_Id 'AA' and the name.
    setTasks({"null, 'AA', '系统管理', 'SRV', null, '1'", "null, 'AA', '系统管理', 'PC2', null, '2'",
              "'T1', 'AA', '系统管理', 'PC1', null, '1'", "null, 'GL', '系统管理', 'PC3', null, '1'",
              "null, 'AA', '总账', 'PC4', null, '1'", "'T2', 'GL', '总账', 'PC1', null, '1'"},
             {"'T1', 'PC1'", "'T2', 'PC1'"});
    logIn();
    option(1)->click();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("系统管理")));
    Controls::command(3)->click();

    QCOMPARE(sent(), (QStringList{"delete from ua_tasklog where cSub_Id='AA' and cSub_Name='系统管理'", TaskQuery}));
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("[系统管理]的登陆任务清除成功"));
    QCOMPARE(remaining("select cStation from ua_tasklog order by cStation"), (QStringList{"PC1", "PC3", "PC4"}));
    QCOMPARE(remaining("select cTaskId from ua_task order by cTaskId"), (QStringList{"T1", "T2"}));
    QCOMPARE(Controls::list(1)->rowCount(), 3);
}

void TstTaskTab::quotesInValuesAreDoubled_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("message");
    QTest::newRow("station that would widen the condition")
        << 2 << "x' or '1'='1"
        << QStringList{"delete from ua_task where cStation='x'' or ''1''=''1'",
                       "delete from ua_tasklog where cStation='x'' or ''1''=''1'", TaskQuery}
        << "计算机名为[x' or '1'='1]的任务清除成功";
    QTest::newRow("task id with a quote")
        << 1 << "O'Neil-7"
        << QStringList{"delete from ua_task where cTaskId='O''Neil-7'", "delete from ua_tasklog where cTaskId='O''Neil-7'",
                       TaskQuery}
        << "ID为[O'Neil-7]的任务清除成功";
}

void TstTaskTab::quotesInValuesAreDoubled()
{
    QFETCH(int, selector);
    QFETCH(QString, value);
    QFETCH(QStringList, statements);
    QFETCH(QString, message);
    setTasks({"'O''Neil-7', 'GL', '总账', 'x'' or ''1''=''1', '2024-03-01 08:30:00', '1'",
              "'T1', 'GL', '总账', 'PC1', '2024-03-01 08:31:00', '1'", "'T2', 'GL', '总账', 'x', '2024-03-01 08:32:00', '1'"},
             {"'O''Neil-7', 'x'' or ''1''=''1'", "'T1', 'PC1'", "'T2', 'x'"});
    logIn();
    option(selector)->click();
    QVERIFY(Controls::pick(Controls::combo(selector), value));
    Controls::command(3)->click();

    QCOMPARE(sent(), statements);
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, message);
    QCOMPARE(remaining("select cTaskId from ua_task order by cTaskId"), (QStringList{"T1", "T2"}));
    QCOMPARE(remaining("select cTaskId from ua_tasklog order by cTaskId"), (QStringList{"T1", "T2"}));
}

void TstTaskTab::clearAbnormal()
{
    QStringList log;
    for (const char* idAndState : {"A0 0", "A4 4", "A5 5", "A7 7", "A10 10", "M1 -1", "M3 -3", "A2 2"}) {
        const QStringList parts = QString::fromLatin1(idAndState).split(' ');
        log.append(QStringLiteral("'%1', 'GL', '总账', 'PC1', '2024-03-01 08:00:00', '%2'").arg(parts[0], parts[1]));
    }
    setTasks(log, {"'A0', ''", "'A4', ''", "'A5', ''", "'A7', ''", "'A10', ''", "'M1', ''", "'M3', ''", "'A2', ''", "'T9', ''"});
    logIn();
    int rowsWhileShown = -1;
    MessageBoxWatcher watcher([&](QMessageBox*) { rowsWhileShown = Controls::list(1)->rowCount(); });

    Controls::command(1)->click();

    QCOMPARE(sent(), (QStringList{ClearAbnormalTask, ClearAbnormalLog, TaskQuery}));
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("异常任务清除完毕"));
    // Reloaded before the message.
    QCOMPARE(rowsWhileShown, 3);
    QCOMPARE(remaining("select cTaskId from ua_task order by cTaskId"), (QStringList{"A0", "A2", "A4", "T9"}));
    QCOMPARE(remaining("select cTaskId from ua_tasklog order by cTaskId"), (QStringList{"A0", "A2", "A4"}));
}

void TstTaskTab::clearAllAsksFirst()
{
    logIn();
    option(2)->click();
    QVERIFY(Controls::pick(Controls::combo(2), QStringLiteral("PC2")));
    int rowsWhileShown = -1;
    MessageBoxWatcher watcher([&](QMessageBox*) { rowsWhileShown = Controls::list(1)->rowCount(); });

    // "否": nothing sent, nothing refreshed.
    m_boxes->answer(QMessageBox::No);
    Controls::command(2)->click();
    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxDriver::Box question = m_boxes->last();
    QCOMPARE(question.text, QStringLiteral("确认要清退所有站点吗？"));
    QCOMPARE(question.title, QStringLiteral("警告"));
    QCOMPARE(question.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    QVERIFY(sent().isEmpty());
    QCOMPARE(Controls::list(1)->rowCount(), 8);
    QCOMPARE(Controls::combo(2)->currentText(), QStringLiteral("PC2"));
    QVERIFY(count("ua_task") == 6 && count("ua_tasklog") == 8);

    // "是": both tables emptied, the list reloaded before the message.
    m_boxes->answer(QMessageBox::Yes);
    Controls::command(2)->click();
    QCOMPARE(sent(), (QStringList{"delete from ua_task", "delete from ua_tasklog", TaskQuery}));
    QCOMPARE(m_boxes->count(), 3);
    QCOMPARE(m_boxes->boxes().at(1).text, question.text);
    verifyInformation(m_boxes->last(), QStringLiteral("清除成功"));
    QCOMPARE(rowsWhileShown, 0);
    QVERIFY(count("ua_task") == 0 && count("ua_tasklog") == 0);
    QVERIFY(Controls::combo(1)->count() == 0 && Controls::combo(2)->count() == 0);
}

void TstTaskTab::unconvertibleStateFailsAbnormalClearing()
{
    setTasks({"'T1', 'GL', '总账', 'PC1', '2024-03-01 08:00:00', '1'", "'T2', 'GL', '总账', 'PC2', '2024-03-01 08:01:00', 'abc'",
              "'T3', 'GL', '总账', 'PC3', '2024-03-01 08:02:00', '6'"},
             {"'T1', 'PC1'", "'T2', 'PC2'", "'T3', 'PC3'"});
    logIn();

    Controls::command(1)->click();

    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxDriver::Box& box = m_boxes->last();
    QCOMPARE(box.title, QStringLiteral("错误"));
    QVERIFY2(box.text.contains(QStringLiteral("Conversion failed when converting the varchar value 'abc' to data "
                                              "type int.")),
             qPrintable(box.text));
    // Stopped at the failing statement: no second delete, no reload, no completion message.
    QCOMPARE(sent(), QStringList{ClearAbnormalTask});
    QVERIFY(count("ua_task") == 3 && count("ua_tasklog") == 3);

    // The program goes on and the tab still works.
    Controls::command(4)->click();
    QCOMPARE(Controls::list(1)->rowCount(), 3);
    QCOMPARE(m_boxes->count(), 1);
}

QTEST_MAIN(TstTaskTab)
#include "tst_tasktab.moc"
