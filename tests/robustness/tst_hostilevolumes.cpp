// Large installations against the sandbox, through the real windows: 20,000 login tasks, 1,000
// accounts, 500 cashier databases. Lists hold every row, the clearing commands send exactly
// their statements and remove exactly their rows; the time each step takes is printed.
#include "HostileCommon.h"
#include "support/CashierWindowDriver.h"
#include "support/DatabaseSnapshot.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using namespace hostile;
using Controls = MainWindowControls;

namespace {

constexpr int TaskCount = 20000;
constexpr int StationCount = 1000;

// Task abcde (a < 2): on computer "终端-cde'", in state e, so that half the tasks are abnormal.
const QString TaskLogFill = QStringLiteral(
    "create table digit (n int not null) "
    "insert into digit values (0), (1), (2), (3), (4), (5), (6), (7), (8), (9) "
    "insert into ua_tasklog select 'T' + cast(a.n as varchar(1)) + cast(b.n as varchar(1)) + cast(c.n as varchar(1)) "
    "+ cast(d.n as varchar(1)) + cast(e.n as varchar(1)), 'GL', '总账', '终端-' + cast(c.n as varchar(1)) "
    "+ cast(d.n as varchar(1)) + cast(e.n as varchar(1)) + '''', '2024-0' + cast(a.n + 1 as varchar(1)) + '-1' "
    "+ cast(b.n as varchar(1)) + ' 1' + cast(c.n as varchar(1)) + ':0' + cast(d.n as varchar(1)) + ':0' "
    "+ cast(e.n as varchar(1)), cast(e.n as varchar(1)) from digit a, digit b, digit c, digit d, digit e where a.n < 2 "
    "insert into ua_task select cTaskId, cSub_Id, cStation from ua_tasklog");

qint64 elapsedOf(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.elapsed();
}

QStringList countChange(int from, int to)
{
    return {QStringLiteral("count zrsystem.ua_task: %1 -> %2").arg(from).arg(to),
            QStringLiteral("count zrsystem.ua_tasklog: %1 -> %2").arg(from).arg(to)};
}

}  // namespace

class TstHostileVolumes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        ProgramEnd::setAction([] { QFAIL("the program must not end"); });
        QVERIFY(m_sandbox.start());
    }
    void init()
    {
        m_boxes.clear();
        resetDatabases(m_sandbox, 64);
    }
    void cleanup() { LoginDriver::reset(); }

    void twentyThousandTasks();
    void thousandAccounts();
    void fiveHundredCashierDatabases();

private:
    void logIn()
    {
        hostile::logIn(m_sandbox, m_boxes);
        m_sandbox.clearStatements();
    }
    DatabaseSnapshot taskCounts()
    {
        return DatabaseSnapshot::take(m_sandbox.fixture(), {QStringLiteral("zrsystem.ua_task"), QStringLiteral("zrsystem.ua_tasklog")});
    }

    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
};

void TstHostileVolumes::twentyThousandTasks()
{
    m_sandbox.execute(System, TaskLogFill);
    const qint64 login = elapsedOf([&] { logIn(); });
    QTableWidget* list = Controls::list(1);
    QCOMPARE(list->rowCount(), TaskCount);
    QCOMPARE(Controls::combo(1)->count(), TaskCount);
    QCOMPARE(Controls::combo(2)->count(), StationCount);
    DatabaseSnapshot before = taskCounts();

    // One computer's twenty tasks, all in state 7.
    const QString chosen = QStringLiteral("终端-007'");
    qobject_cast<QRadioButton*>(Controls::find(QStringLiteral("Option2")))->click();
    QVERIFY(Controls::pick(Controls::combo(2), chosen));
    const qint64 byStation = elapsedOf([] { Controls::command(3)->click(); });
    QCOMPARE(boxTexts(m_boxes), QStringList{QStringLiteral("计算机名为[") + chosen + QStringLiteral("]的任务清除成功")});
    QCOMPARE(sent(m_sandbox), (QStringList{at(System, QStringLiteral("delete from ua_task where cStation='终端-007'''")),
                                           at(System, QStringLiteral("delete from ua_tasklog where cStation='终端-007'''")),
                                           at(System, TaskQuery)}));
    const int perStation = TaskCount / StationCount;
    DatabaseSnapshot after = taskCounts();
    QCOMPARE(before.differences(after), countChange(TaskCount, TaskCount - perStation));
    QCOMPARE(list->rowCount(), TaskCount - perStation);
    QVERIFY(!Controls::entries(Controls::combo(2)).contains(chosen));

    // Every abnormal task: states 5 to 9; the chosen computer's are gone already.
    m_sandbox.clearStatements();
    m_boxes.clear();
    const qint64 abnormal = elapsedOf([] { Controls::command(1)->click(); });
    QCOMPARE(boxTexts(m_boxes), QStringList{QStringLiteral("异常任务清除完毕")});
    QCOMPARE(sent(m_sandbox), (QStringList{at(System, ClearAbnormalTask), at(System, ClearAbnormalLog), at(System, TaskQuery)}));
    QCOMPARE(after.differences(taskCounts()), countChange(TaskCount - perStation, TaskCount / 2));
    QCOMPARE(list->rowCount(), TaskCount / 2);
    for (int row = 0; row < list->rowCount(); row += 997)
        QVERIFY(list->item(row, 4)->text().startsWith(QStringLiteral("正常")));

    qInfo("20,000 tasks: login and list %lld ms, clear one computer and reload %lld ms, clear abnormal and reload "
          "%lld ms", login, byStation, abnormal);
}

void TstHostileVolumes::thousandAccounts()
{
    // Account i, in 2015 (deleted) and 2016; a thousand rows per insert, as the server allows.
    m_sandbox.execute(System, QStringLiteral(
        "create table digit (n int not null) "
        "insert into digit values (0), (1), (2), (3), (4), (5), (6), (7), (8), (9) "
        "insert into ua_account select cast(a.n as varchar(1)) + cast(b.n as varchar(1)) + cast(c.n as varchar(1)), "
        "'账套' + cast(a.n as varchar(1)) + cast(b.n as varchar(1)) + cast(c.n as varchar(1)) from digit a, digit b, digit c "
        "insert into UA_Period select cAcc_id, 2015, 1 from ua_account "
        "insert into UA_Period select cAcc_id, 2016, 0 from ua_account"));
    const QString business = QStringLiteral("ZRDATA_998_2016");
    m_sandbox.fixture().createDatabase(business);
    m_sandbox.execute(business, QStringLiteral("create table LockVouch (cVouchID varchar(20), cUser varchar(20)) "
                                               "insert into LockVouch values ('V1', 'demo'), ('V2', 'li')"));

    const qint64 login = elapsedOf([&] { logIn(); });
    QStringList shown = Controls::entries(Controls::combo(3));
    QCOMPARE(shown.size(), 1000);
    QCOMPARE(shown.removeDuplicates(), 0);
    QVERIFY(shown.contains(QStringLiteral("[000]账套000")));
    QVERIFY(shown.contains(QStringLiteral("[999]账套999")));
    QCOMPARE(Controls::combo(3)->currentIndex(), -1);

    Controls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    const qint64 pick = elapsedOf([] { QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[998]账套998"))); });
    QCOMPARE(Controls::entries(Controls::combo(4)), QStringList{QStringLiteral("2016")});
    const qint64 scan = elapsedOf([] { Controls::command(5)->click(); });
    Controls::command(6)->click();
    QCOMPARE(boxTexts(m_boxes), (QStringList{QStringLiteral("共有1个单据有锁定记录\r\n请点击【清除】按钮进行清除"),
                                             QStringLiteral("清除完毕")}));
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture())),
             (QStringList{DatabaseSnapshot::removed(business, QStringLiteral("LockVouch"), {"V1", "demo"}),
                          DatabaseSnapshot::removed(business, QStringLiteral("LockVouch"), {"V2", "li"})}));
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        if (!record.sql.startsWith(QLatin1String("select"), Qt::CaseInsensitive))
            QCOMPARE(record.database.toLower(), business.toLower());
    }
    qInfo("1,000 accounts: login and list %lld ms, pick an account %lld ms, scan %lld ms", login, pick, scan);
}

void TstHostileVolumes::fiveHundredCashierDatabases()
{
    // One database made through the engine, the others copies of its file.
    QElapsedTimer setup;
    setup.start();
    sandbox::Fixture& fixture = m_sandbox.fixture();
    const QString first = QStringLiteral("DaZovu_000_2016");
    fixture.createDatabase(first);
    m_sandbox.execute(first, QStringLiteral("create table CN_LockAcctBook (cAcctBook varchar(40), cUser varchar(20)) "
                                            "insert into CN_LockAcctBook values ('现金日记账', 'li'), ('银行日记账', 'zhang')"));
    const QString file = fixture.directory().fileFor(first);
    QStringList names{first};
    for (int i = 1; i < 500; ++i) {
        names.append(QStringLiteral("DaZovu_%1_2016").arg(i, 3, 10, QLatin1Char('0')));
        QVERIFY(QFile::copy(file, QDir(fixture.path()).filePath(names.last() + QStringLiteral(".sqlite"))));
    }
    qInfo("500 cashier databases made in %lld ms", setup.elapsed());
    logIn();
    Controls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    QCOMPARE(before.tableCount(), 500 + 4);

    const QString chosen = names.at(250);
    QStringList shown;
    qint64 listed = -1;
    QElapsedTimer timer;
    CashierWindowDriver windows([&](QDialog& window) {
        listed = timer.elapsed();
        shown = Controls::entries(CashierWindowDriver::list(window));
        QVERIFY(CashierWindowDriver::pick(window, chosen));
        CashierWindowDriver::clearButton(window)->click();
    });
    timer.start();
    pressCtrlH();
    QCOMPARE(windows.opened(), 1);
    shown.sort();
    QCOMPARE(shown, names);
    QCOMPARE(boxTexts(m_boxes), QStringList{QStringLiteral("清除完毕！")});
    QCOMPARE(sent(m_sandbox), (QStringList{at(System, CashierListing), at(chosen, QStringLiteral("Delete From CN_LockAcctBook"))}));
    QStringList expected = {DatabaseSnapshot::removed(chosen, QStringLiteral("CN_LockAcctBook"), {"现金日记账", "li"}),
                            DatabaseSnapshot::removed(chosen, QStringLiteral("CN_LockAcctBook"), {"银行日记账", "zhang"})};
    expected.sort();
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture())), expected);
    qInfo("500 cashier databases: window listed after %lld ms", listed);
}

QTEST_MAIN(TstHostileVolumes)
#include "tst_hostilevolumes.moc"
