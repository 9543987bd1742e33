// Large installations against the sandbox, through the real windows: 20,000 login tasks, 1,000
// accounts, 500 cashier databases. Lists hold every row, the clearing commands send exactly
// their statements and remove exactly their rows; the time each step takes is printed.
#include "support/CashierWindowDriver.h"
#include "support/DatabaseSnapshot.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {

const QString System = QStringLiteral("zrsystem");
const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
const QString ClearAbnormalTask = QStringLiteral(
    "delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState as int)>='5' or "
    "cast(TaskState as int)<'0')");
const QString ClearAbnormalLog =
    QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'");
const QString CashierListing =
    QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'");

constexpr int TaskCount = 20000;
constexpr int StationCount = 1000;
constexpr int AccountCount = 1000;
constexpr int CashierCount = 500;

QString literal(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("null");
    return QLatin1Char('\'') + value.toString().replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

// Inserts in batches of a thousand rows, as SQL Server allows in one VALUES list.
void insertRows(SandboxHarness& sandbox, const QString& database, const QString& table, const QList<QVariantList>& rows)
{
    for (qsizetype first = 0; first < rows.size(); first += 1000) {
        QStringList tuples;
        for (const QVariantList& row : rows.mid(first, 1000)) {
            QStringList values;
            for (const QVariant& value : row)
                values.append(literal(value));
            tuples.append(QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')'));
        }
        sandbox.execute(database, QStringLiteral("insert into %1 values %2").arg(table, tuples.join(QStringLiteral(", "))));
    }
}

QString station(int task)
{
    return QStringLiteral("终端-%1'").arg(task % StationCount, 3, 10, QLatin1Char('0'));
}

// Task i (five digits abcde): on computer cde, in state e, so that half the tasks are abnormal;
// logged in at 2024-0(a+1)-1b 1c:0d:0e.
QList<QVariantList> taskLogRows()
{
    QList<QVariantList> rows;
    for (int i = 0; i < TaskCount; ++i) {
        const QDateTime login(QDate(2024, i / 10000 + 1, 10 + i / 1000 % 10), QTime(10 + i / 100 % 10, i / 10 % 10, i % 10));
        rows.append({QStringLiteral("T%1").arg(i, 5, 10, QLatin1Char('0')), "GL", "总账", station(i),
                     login.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::number(i % 10)});
    }
    return rows;
}

// The same rows written by the server in one statement, from a table of the ten digits.
const QString TaskLogFill = QStringLiteral(
    "create table digit (n int not null) "
    "insert into digit values (0), (1), (2), (3), (4), (5), (6), (7), (8), (9) "
    "insert into ua_tasklog select 'T' + cast(a.n as varchar(1)) + cast(b.n as varchar(1)) + cast(c.n as varchar(1)) "
    "+ cast(d.n as varchar(1)) + cast(e.n as varchar(1)), 'GL', '总账', '终端-' + cast(c.n as varchar(1)) "
    "+ cast(d.n as varchar(1)) + cast(e.n as varchar(1)) + '''', '2024-0' + cast(a.n + 1 as varchar(1)) + '-1' "
    "+ cast(b.n as varchar(1)) + ' 1' + cast(c.n as varchar(1)) + ':0' + cast(d.n as varchar(1)) + ':0' "
    "+ cast(e.n as varchar(1)), cast(e.n as varchar(1)) from digit a, digit b, digit c, digit d, digit e where a.n < 2 "
    "insert into ua_task select cTaskId, cSub_Id, cStation from ua_tasklog");

QList<QVariantList> taskRows()
{
    QList<QVariantList> rows;
    for (const QVariantList& log : taskLogRows())
        rows.append({log.at(0), log.at(1), log.at(3)});
    return rows;
}

qint64 elapsedOf(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.elapsed();
}

}  // namespace

class TstHostileVolumes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void twentyThousandTasks();
    void thousandAccounts();
    void fiveHundredCashierDatabases();

private:
    void resetDatabases();
    void logIn();
    QStringList sent() const;
    QStringList boxTexts() const;

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
};

void TstHostileVolumes::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([] { QFAIL("the program must not end"); });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
}

void TstHostileVolumes::init()
{
    m_boxes->clear();
    resetDatabases();
}

void TstHostileVolumes::cleanup()
{
    LoginDriver::reset();
}

void TstHostileVolumes::resetDatabases()
{
    sandbox::Fixture& fixture = m_sandbox.fixture();
    for (const QString& name : fixture.directory().databases()) {
        if (name.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0)
            fixture.dropDatabase(name);
    }
    fixture.createDatabase(System);
    fixture.exec(System, QStringLiteral(
        "create table ua_task (cTaskId varchar(40) not null, cSub_Id varchar(10) null, cStation varchar(64) null) "
        "create table ua_tasklog (cTaskId varchar(40) null, cSub_Id varchar(10) null, cSub_Name varchar(60) null, "
        "cStation varchar(64) null, dInTime datetime null, TaskState varchar(10) null) "
        "create table ua_account (cAcc_id char(3) not null, cAcc_Name varchar(60) null) "
        "create table UA_Period (cAcc_id char(3) not null, iYear int not null, bIsDelete int null)"));
}

void TstHostileVolumes::logIn()
{
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    QCOMPARE(m_boxes->count(), 0);
    m_sandbox.clearStatements();
}

QStringList TstHostileVolumes::sent() const
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append(record.database.toLower() + QStringLiteral(": ") + record.sql);
    return texts;
}

QStringList TstHostileVolumes::boxTexts() const
{
    QStringList texts;
    for (const MessageBoxDriver::Box& box : m_boxes->boxes())
        texts.append(box.text);
    return texts;
}

void TstHostileVolumes::twentyThousandTasks()
{
    const QList<QVariantList> log = taskLogRows();
    const QList<QVariantList> tasks = taskRows();
    m_sandbox.execute(System, TaskLogFill);
    QCOMPARE(m_sandbox.fixture().count(System, QStringLiteral("ua_tasklog")), TaskCount);

    const qint64 login = elapsedOf([&] { logIn(); });
    QTableWidget* list = MainWindowControls::list(1);
    QCOMPARE(list->rowCount(), TaskCount);
    QCOMPARE(MainWindowControls::combo(1)->count(), TaskCount);
    QCOMPARE(MainWindowControls::combo(2)->count(), StationCount);
    DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    // One computer's twenty tasks.
    const QString chosen = station(7);
    qobject_cast<QRadioButton*>(MainWindowControls::find(QStringLiteral("Option2")))->click();
    QVERIFY(MainWindowControls::pick(MainWindowControls::combo(2), chosen));
    const qint64 byStation = elapsedOf([] { MainWindowControls::command(3)->click(); });
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("计算机名为[") + chosen + QStringLiteral("]的任务清除成功")});
    const QString quoted = QString(chosen).replace(QLatin1String("'"), QLatin1String("''"));
    QCOMPARE(sent(), (QStringList{QStringLiteral("zrsystem: delete from ua_task where cStation='") + quoted + "'",
                                  QStringLiteral("zrsystem: delete from ua_tasklog where cStation='") + quoted + "'",
                                  QStringLiteral("zrsystem: ") + TaskQuery}));
    QStringList expected;
    for (int i = 0; i < TaskCount; ++i) {
        if (log.at(i).at(3) == chosen) {
            expected.append(DatabaseSnapshot::removed(System, QStringLiteral("ua_tasklog"), log.at(i)));
            expected.append(DatabaseSnapshot::removed(System, QStringLiteral("ua_task"), tasks.at(i)));
        }
    }
    QCOMPARE(expected.size(), 2 * TaskCount / StationCount);
    expected.sort();
    DatabaseSnapshot after = DatabaseSnapshot::take(m_sandbox.fixture());
    QCOMPARE(before.differences(after), expected);
    QCOMPARE(list->rowCount(), TaskCount - TaskCount / StationCount);

    // Every abnormal task: states 5 to 9.
    before = after;
    m_sandbox.clearStatements();
    m_boxes->clear();
    const qint64 abnormal = elapsedOf([] { MainWindowControls::command(1)->click(); });
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("异常任务清除完毕")});
    QCOMPARE(sent(), (QStringList{QStringLiteral("zrsystem: ") + ClearAbnormalTask, QStringLiteral("zrsystem: ") + ClearAbnormalLog,
                                  QStringLiteral("zrsystem: ") + TaskQuery}));
    expected.clear();
    for (int i = 0; i < TaskCount; ++i) {
        if (i % 10 >= 5 && log.at(i).at(3) != chosen) {
            expected.append(DatabaseSnapshot::removed(System, QStringLiteral("ua_tasklog"), log.at(i)));
            expected.append(DatabaseSnapshot::removed(System, QStringLiteral("ua_task"), tasks.at(i)));
        }
    }
    expected.sort();
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture())), expected);
    // The chosen computer's tasks were all in state 7: what is left is the normal half.
    QCOMPARE(list->rowCount(), TaskCount / 2);

    qInfo("20,000 tasks: login and list %lld ms, clear one computer and reload %lld ms, clear abnormal and reload "
          "%lld ms", login, byStation, abnormal);
}

void TstHostileVolumes::thousandAccounts()
{
    QList<QVariantList> accounts;
    QList<QVariantList> periods;
    for (int i = 0; i < AccountCount; ++i) {
        const QString code = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        accounts.append({code, QStringLiteral("账套%1").arg(code)});
        periods.append({code, 2015, 1});
        periods.append({code, 2016, 0});
    }
    insertRows(m_sandbox, System, QStringLiteral("ua_account"), accounts);
    insertRows(m_sandbox, System, QStringLiteral("UA_Period"), periods);
    const QString business = QStringLiteral("ZRDATA_998_2016");
    m_sandbox.fixture().createDatabase(business);
    m_sandbox.execute(business, QStringLiteral("create table LockVouch (cVouchID varchar(20), cUser varchar(20)) "
                                               "insert into LockVouch values ('V1', 'demo'), ('V2', 'li')"));

    const qint64 login = elapsedOf([&] { logIn(); });
    QStringList items;
    for (const QVariantList& account : accounts)
        items.append(QStringLiteral("[%1]%2").arg(account.at(0).toString(), account.at(1).toString()));
    QStringList shown = MainWindowControls::entries(MainWindowControls::combo(3));
    shown.sort();
    QCOMPARE(shown, items);
    QCOMPARE(MainWindowControls::combo(3)->currentIndex(), -1);

    MainWindowControls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    const qint64 pick = elapsedOf([] { QVERIFY(MainWindowControls::pick(MainWindowControls::combo(3), QStringLiteral("[998]账套998"))); });
    QCOMPARE(MainWindowControls::entries(MainWindowControls::combo(4)), QStringList{QStringLiteral("2016")});
    const qint64 scan = elapsedOf([] { MainWindowControls::command(5)->click(); });
    MainWindowControls::command(6)->click();
    QCOMPARE(boxTexts(), (QStringList{QStringLiteral("共有1个单据有锁定记录\r\n请点击【清除】按钮进行清除"),
                                      QStringLiteral("清除完毕")}));
    QStringList expected = {DatabaseSnapshot::removed(business, QStringLiteral("LockVouch"), {"V1", "demo"}),
                            DatabaseSnapshot::removed(business, QStringLiteral("LockVouch"), {"V2", "li"})};
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture())), expected);
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        const bool modifies = !record.sql.startsWith(QLatin1String("select"), Qt::CaseInsensitive);
        QVERIFY2(!modifies || record.sql == QLatin1String("delete from LockVouch")
                     || record.sql.startsWith(QLatin1String("if exists(")),
                 qPrintable(record.sql));
        QVERIFY2(!modifies || record.database.compare(business, Qt::CaseInsensitive) == 0, qPrintable(record.database));
    }
    qInfo("1,000 accounts: login and list %lld ms, pick an account %lld ms, scan %lld ms", login, pick, scan);
}

void TstHostileVolumes::fiveHundredCashierDatabases()
{
    // One database made through the engine, the others copies of its file: the same tables,
    // each under its own name.
    QStringList names;
    QElapsedTimer setup;
    setup.start();
    sandbox::Fixture& fixture = m_sandbox.fixture();
    const QString first = QStringLiteral("DaZovu_000_2016");
    fixture.createDatabase(first);
    m_sandbox.execute(first, QStringLiteral("create table CN_LockAcctBook (cAcctBook varchar(40), cUser varchar(20)) "
                                            "insert into CN_LockAcctBook values ('现金日记账', 'li'), ('银行日记账', 'zhang')"));
    const QString file = fixture.directory().fileFor(first);
    QVERIFY(!file.isEmpty());
    names.append(first);
    for (int i = 1; i < CashierCount; ++i) {
        const QString name = QStringLiteral("DaZovu_%1_2016").arg(i, 3, 10, QLatin1Char('0'));
        names.append(name);
        QVERIFY(QFile::copy(file, QDir(fixture.path()).filePath(name + QStringLiteral(".sqlite"))));
    }
    QCOMPARE(fixture.directory().databases().size(), CashierCount + 2);
    qInfo("500 cashier databases made in %lld ms", setup.elapsed());
    logIn();
    MainWindowControls::showTab(1);
    QElapsedTimer snapshot;
    snapshot.start();
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    QCOMPARE(before.tableCount(), CashierCount + 4);
    qInfo("snapshot of 500 databases in %lld ms", snapshot.elapsed());

    const QString chosen = names.at(250);
    QStringList shown;
    qint64 listed = -1;
    QElapsedTimer timer;
    CashierWindowDriver windows([&](QDialog& window) {
        listed = timer.elapsed();
        shown = MainWindowControls::entries(CashierWindowDriver::list(window));
        QVERIFY(CashierWindowDriver::pick(window, chosen));
        CashierWindowDriver::clearButton(window)->click();
    });
    Form2& main = LoginDriver::mainWindow();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QWidget* focus = MainWindowControls::find(QStringLiteral("Combo3"));
    focus->setFocus();
    timer.start();
    QTest::keyClick(focus, Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(windows.opened(), 1);

    shown.sort();
    QCOMPARE(shown, names);
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("清除完毕！")});
    QCOMPARE(sent(), (QStringList{QStringLiteral("zrsystem: ") + CashierListing,
                                  chosen.toLower() + QStringLiteral(": Delete From CN_LockAcctBook")}));
    QStringList expected = {DatabaseSnapshot::removed(chosen, QStringLiteral("CN_LockAcctBook"), {"现金日记账", "li"}),
                            DatabaseSnapshot::removed(chosen, QStringLiteral("CN_LockAcctBook"), {"银行日记账", "zhang"})};
    expected.sort();
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture())), expected);
    qInfo("500 cashier databases: window listed after %lld ms", listed);
}

QTEST_MAIN(TstHostileVolumes)
#include "tst_hostilevolumes.moc"
