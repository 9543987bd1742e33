// The document-lock tab driven through the real main window against the sandbox: accounts and
// years, the resolution of the business database, the lock scan and the lock clearing.
#include "support/InformationBox.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;

namespace {

const QString MappingProbe = QStringLiteral("select * from sysobjects where name='UA_AccountDatabase' and xtype='U'");
const QString Unresolved = QStringLiteral("无法获取年度对应的数据库！");
const QString Found = QStringLiteral("共有%1个单据有锁定记录\r\n请点击【清除】按钮进行清除");

const QStringList CatalogueNames = {"LockVouch", "GL_mccontrol", "Gl_mvcontrol", "GL_mvocontrol", "Fa_control",
                                    "FD_LOCKS", "AP_LOCK", "ia_pzmutex", "gl_lockrows", "UA_Control",
                                    "CN_LockAcctBook", "GL_LockRows", "Ca_ResLock", "WF_PILock", "isprocess@@@"};

QString existence(const QString& table)
{
    return QStringLiteral("select  * from dbo.sysobjects where xtype='U' and name ='%1'").arg(table);
}

QString mappingQuery(const QString& year)
{
    return QStringLiteral("select cDatabase from UA_AccountDatabase where cAcc_Id='001' and (iBeginYear<='%1' and "
                          "(iEndYear>='%1' or iEndYear is null)) ")
        .arg(year);
}

// A lock table holding the given number of rows.
QString lockTable(const QString& name, int rows)
{
    QString sql = QStringLiteral("create table [%1] (cLockId varchar(20), cUser varchar(20)) ").arg(name);
    for (int i = 1; i <= rows; ++i)
        sql += QStringLiteral("insert into [%1] values ('%2', 'demo') ").arg(name).arg(i);
    return sql;
}

}  // namespace

class TestLockTab : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void accountsAndYears();
    void scanAndClearListedTables();
    void wholeCatalogueScannedAndCleared();
    void mappingTableChoosesDatabaseOrStopsScanAndClearing();

private:
    void replaceDatabase(const QString& name, const QString& tsql);
    void choose(const QString& account, const QString& year = {})
    {
        QVERIFY2(Controls::pick(Controls::combo(3), account), qPrintable(account));
        QVERIFY2(year.isEmpty() || Controls::pick(Controls::combo(4), year), qPrintable(year));
    }
    void press(int command) { QTest::mouseClick(Controls::command(command), Qt::LeftButton); }
    bool enabled(int command) { return Controls::command(command)->isEnabled(); }
    void expectOneInformation(const QString& text);
    // The list as "number description count", with " red" for a row shown in red as a whole.
    QStringList listRows();
    // The statements sent, or the databases they went to.
    QStringList sql(bool databases = false) const;
    QStringList databases() const { return sql(true); }
    // Rows per catalogue table of a database, by lower-case name.
    QMap<QString, qint64> lockRowCounts(const QString& database);

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
};

void TestLockTab::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([] { QFAIL("the program must not end"); });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
    // A bystander where an empty catalogue would land.
    m_sandbox.execute(QStringLiteral("master"), lockTable("LockVouch", 6) + lockTable("isprocess@@@", 0));
}

void TestLockTab::init()
{
    LoginDriver::reset();
    replaceDatabase(
        QStringLiteral("zrsystem"),
        QStringLiteral(
            "create table ua_task (cTaskId varchar(40), cSub_Id varchar(10)) "
            "create table ua_tasklog (cTaskId varchar(40), cSub_Name varchar(40), cStation varchar(40), "
            "dInTime datetime, TaskState varchar(10)) "
            "create table ua_outpzlog (cacc_id varchar(3), iyear int) "
            "create table ua_account (cAcc_id char(3), cAcc_Name varchar(60)) "
            "insert into ua_account values ('001', '演示账套'), ('002', '无年度账套'), ('003', NULL), ('O''K', '引号账套') "
            "create table UA_Period (cAcc_id char(3), iYear int, iId int, bIsDelete bit) "
            "insert into UA_Period values ('001', 2015, 1, 0), ('001', 2015, 2, 0), ('001', 2016, 1, NULL), "
            "('001', 2014, 1, 1), ('001', 2017, 1, 0), ('002', 2013, 1, 1), ('003', 2020, 1, 0), ('O''K', 2018, 1, 0)"));

    replaceDatabase(QStringLiteral("ZRDATA_001_2015"), lockTable("LockVouch", 3) + lockTable("AP_LOCK", 0));
    replaceDatabase(QStringLiteral("ZRDATA_001_2016"), QStringLiteral("create table GL_accvouch (iPeriod int)"));
    replaceDatabase(QStringLiteral("ZRDATA_001_2017"),
                    lockTable("LockVouch", 2) + lockTable("FD_LOCKS", 0) + lockTable("isprocess@@@", 0));
    // Every catalogue table, every third holding two rows; gl_lockrows and GL_LockRows are one table.
    QString all;
    for (int i = 0; i < CatalogueNames.size(); ++i) {
        if (i != 11)
            all += lockTable(CatalogueNames.at(i), i % 3 == 2 ? 2 : 0);
    }
    replaceDatabase(QStringLiteral("ZRDATA_003_2020"), all);
    replaceDatabase(QStringLiteral("MAPPED_001"), lockTable("LockVouch", 4));
    // A bystander: another account's database.
    replaceDatabase(QStringLiteral("ZRDATA_009_2015"), lockTable("LockVouch", 5) + lockTable("isprocess@@@", 1));

    m_boxes->clear();
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    Controls::showTab(1);
    m_sandbox.clearStatements();
}

void TestLockTab::replaceDatabase(const QString& name, const QString& tsql)
{
    sandbox::Fixture& fixture = m_sandbox.fixture();
    if (fixture.directory().hasDatabase(name))
        fixture.dropDatabase(name);
    fixture.createDatabase(name);
    fixture.exec(name, tsql);
}

void TestLockTab::expectOneInformation(const QString& text)
{
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), text);
    QCOMPARE(m_boxes->last().parentWindow, QStringLiteral("form2"));
    m_boxes->clear();
}

QStringList TestLockTab::listRows()
{
    QTableWidget* list = Controls::list(2);
    QStringList rows = Controls::rows(list);
    for (int row = 0; row < list->rowCount(); ++row) {
        int red = 0;
        for (int column = 0; column < 3; ++column)
            red += list->item(row, column)->foreground().color() == QColor(255, 0, 0) ? 1 : 0;
        rows[row] += red == 3 ? QStringLiteral(" red") : red ? QStringLiteral(" part") : QString();
    }
    return rows;
}

QStringList TestLockTab::sql(bool databases) const
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append(databases ? record.database.toLower() : record.sql);
    return texts;
}

QMap<QString, qint64> TestLockTab::lockRowCounts(const QString& database)
{
    QMap<QString, qint64> counts;
    for (const QString& table : CatalogueNames) {
        if (m_sandbox.fixture().tableExists(database, table))
            counts.insert(table.toLower(), m_sandbox.fixture().count(database, QStringLiteral("[%1]").arg(table)));
    }
    return counts;
}

void TestLockTab::accountsAndYears()
{
    QComboBox* years = Controls::combo(4);
    // A NULL name leaves the bracketed code alone; nothing is chosen at load, the list is empty.
    QCOMPARE(Controls::entries(Controls::combo(3)),
             (QStringList{"[001]演示账套", "[002]无年度账套", "[003]", "[O'K]引号账套"}));
    QCOMPARE(Controls::combo(3)->currentIndex(), -1);
    QCOMPARE(years->count(), 0);
    QCOMPARE(Controls::list(2)->rowCount(), 0);
    QVERIFY(!enabled(5) && !enabled(6));

    choose(QStringLiteral("[001]演示账套"));
    QCOMPARE(sql(), QStringList{"select distinct iyear from UA_Period where cacc_id='001' and ISNULL(bIsDelete,0)=0"});
    // Each year once, the deleted one hidden, a NULL flag counting as not deleted; the first chosen.
    QStringList shown = Controls::entries(years);
    shown.sort();
    QCOMPARE(shown, (QStringList{"2015", "2016", "2017"}));
    QCOMPARE(years->currentIndex(), 0);
    QVERIFY(enabled(5) && !enabled(6));

    // A quote in the account code is doubled inside the literal.
    m_sandbox.clearStatements();
    choose(QStringLiteral("[O'K]引号账套"));
    QCOMPARE(sql(), QStringList{"select distinct iyear from UA_Period where cacc_id='O''K' and ISNULL(bIsDelete,0)=0"});
    QCOMPARE(Controls::entries(years), QStringList{"2018"});

    // Only a deleted year: nothing to choose, so nothing to scan.
    choose(QStringLiteral("[002]无年度账套"));
    QCOMPARE(years->count(), 0);
    QVERIFY(!enabled(5) && !enabled(6));
    QCOMPARE(m_boxes->count(), 0);

    // Another year, or another account, keeps the scanned list but disables clearing until a scan.
    choose(QStringLiteral("[001]演示账套"));
    press(5);
    m_boxes->clear();
    const QStringList scanned = listRows();
    m_sandbox.clearStatements();
    QVERIFY(Controls::pick(years, QStringLiteral("2016")));
    QVERIFY(!enabled(6) && enabled(5));
    QCOMPARE(listRows(), scanned);
    QVERIFY(sql().isEmpty());
    QVERIFY(Controls::pick(years, QStringLiteral("2015")));
    press(5);
    QVERIFY(enabled(6));
    choose(QStringLiteral("[003]"));
    QVERIFY(!enabled(6) && enabled(5));
    QCOMPARE(listRows(), scanned);
}

void TestLockTab::scanAndClearListedTables()
{
    choose(QStringLiteral("[001]演示账套"), QStringLiteral("2015"));
    m_sandbox.clearStatements();
    press(5);
    expectOneInformation(Found.arg(1));
    QCOMPARE(listRows(), (QStringList{"1 单据锁定表 3 red", "2 操作互斥表 0"}));
    QVERIFY(enabled(6));
    // The lookup on the system database, then on the business database per catalogue entry the
    // existence test and, for a table that exists, its statement.
    const auto perTable = [](const QString& statement) {
        QStringList texts{MappingProbe};
        for (const QString& table : CatalogueNames) {
            texts.append(existence(table));
            if (table == QLatin1String("LockVouch") || table == QLatin1String("AP_LOCK"))
                texts.append(statement + table);
        }
        return texts;
    };
    QCOMPARE(sql(), perTable(QStringLiteral("select * from ")));
    QCOMPARE(databases().first(), QStringLiteral("zrsystem"));
    QCOMPARE(databases().mid(1), QStringList(CatalogueNames.size() + 2, QStringLiteral("zrdata_001_2015")));

    // Clearing: the empty AP_LOCK still gets its delete, the absent marker its guarded drop, and
    // nothing else; then the rescan, whose message is not shown.
    m_sandbox.clearStatements();
    press(6);
    QStringList expected = perTable(QStringLiteral("delete from "));
    expected.append("if exists(select  * from dbo.sysobjects where xtype='U' and name ='isprocess@@@') drop table isprocess@@@");
    expected.append(MappingProbe);
    QCOMPARE(sql().mid(0, expected.size()), expected);
    expectOneInformation(QStringLiteral("清除完毕"));
    QCOMPARE(listRows(), (QStringList{"1 单据锁定表 0", "2 操作互斥表 0"}));
    QVERIFY(!enabled(6));

    // A database without lock tables: every existence test, nothing listed.
    choose(QStringLiteral("[001]演示账套"), QStringLiteral("2016"));
    m_sandbox.clearStatements();
    press(5);
    expectOneInformation(QStringLiteral("没有锁定的记录"));
    QVERIFY(listRows().isEmpty());
    QVERIFY(!enabled(6));
    QCOMPARE(sql().size(), 1 + CatalogueNames.size());

    // Row numbers skip missing tables; the empty marker table shows one lock and is never read.
    QVERIFY(Controls::pick(Controls::combo(4), QStringLiteral("2017")));
    for (int scan = 0; scan < 2; ++scan) {  // a rescan does not double the list
        m_sandbox.clearStatements();
        press(5);
        expectOneInformation(Found.arg(2));
        QCOMPARE(listRows(), (QStringList{"1 单据锁定表 2 red", "2 结算中心并发控制表 0", "3 查询分析互斥 1 red"}));
        QVERIFY(!sql().contains(QStringLiteral("select * from isprocess@@@")));
    }
}

void TestLockTab::wholeCatalogueScannedAndCleared()
{
    const QMap<QString, qint64> bystander = lockRowCounts(QStringLiteral("ZRDATA_009_2015"));
    const QMap<QString, qint64> master = lockRowCounts(QStringLiteral("master"));
    choose(QStringLiteral("[003]"));
    press(5);
    const QStringList descriptions = {
        "单据锁定表",     "科目并发控制表", "凭证并发控制表",         "外部凭证并发控制表", "固定资产并发控制表",
        "结算中心并发控制表", "操作互斥表",   "核算控制表",             "项目维护控制表",     "功能互斥预置表",
        "出纳模块制单锁定表", "项目目录锁定表", "资源锁定表（成本管理）", "流程实例锁定表",     "查询分析互斥",
    };
    QStringList expected;
    int red = 0;
    for (int i = 0; i < descriptions.size(); ++i) {
        // Entry 11 finds the table of entry 8 (names are compared without case); entry 14 is the marker.
        const int held = i == 14 ? 1 : (i % 3 == 2 || i == 11 ? 2 : 0);
        expected.append(QStringLiteral("%1 %2 %3%4").arg(i + 1).arg(descriptions.at(i)).arg(held).arg(
            held ? QStringLiteral(" red") : QString()));
        red += held ? 1 : 0;
    }
    QCOMPARE(listRows(), expected);
    expectOneInformation(Found.arg(red));

    m_sandbox.clearStatements();
    press(6);

    // Only the completion message, not the rescan's own.
    expectOneInformation(QStringLiteral("清除完毕"));
    QCOMPARE(lockRowCounts(QStringLiteral("ZRDATA_003_2020")).values(), QList<qint64>(13, 0));
    QVERIFY(!m_sandbox.fixture().tableExists(QStringLiteral("ZRDATA_003_2020"), QStringLiteral("isprocess@@@")));
    // The table behind both names got a delete under each.
    QCOMPARE(sql().count(QStringLiteral("delete from gl_lockrows")), 1);
    QCOMPARE(sql().count(QStringLiteral("delete from GL_LockRows")), 1);
    const QStringList rescanned = listRows();
    QCOMPARE(rescanned.size(), 14);
    QCOMPARE(rescanned.filter(QRegularExpression(QStringLiteral(" 0$"))), rescanned);
    // Nothing outside the chosen database was touched.
    QCOMPARE(lockRowCounts(QStringLiteral("ZRDATA_009_2015")), bystander);
    QCOMPARE(lockRowCounts(QStringLiteral("master")), master);
}

void TestLockTab::mappingTableChoosesDatabaseOrStopsScanAndClearing()
{
    m_sandbox.execute(QStringLiteral("zrsystem"),
                      QStringLiteral("create table UA_AccountDatabase (cAcc_Id char(3), iBeginYear int, iEndYear int, "
                                     "cDatabase varchar(50)) insert into UA_AccountDatabase values "
                                     "('001', 2016, NULL, 'MAPPED_001'), ('002', 2000, 2030, 'ZRDATA_001_2015')"));
    const QMap<QString, qint64> master = lockRowCounts(QStringLiteral("master"));
    // A row with an open end year covers the year.
    choose(QStringLiteral("[001]演示账套"), QStringLiteral("2016"));
    m_sandbox.clearStatements();
    press(5);
    QCOMPARE(sql().mid(0, 3), (QStringList{MappingProbe, mappingQuery("2016"), existence("LockVouch")}));
    QCOMPARE(databases().at(2), QStringLiteral("mapped_001"));
    QCOMPARE(listRows(), QStringList{"1 单据锁定表 4 red"});
    expectOneInformation(Found.arg(1));
    QVERIFY(enabled(6));

    // Two rows covering the year: no single answer. Clearing stops after the message, touching nothing.
    m_sandbox.execute(QStringLiteral("zrsystem"), "insert into UA_AccountDatabase values ('001', 2010, 2016, 'ZRDATA_001_2015')");
    m_sandbox.clearStatements();
    press(6);
    expectOneInformation(Unresolved);
    QCOMPARE(sql(), (QStringList{MappingProbe, mappingQuery("2016")}));
    QVERIFY(!enabled(6));
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("MAPPED_001"), QStringLiteral("LockVouch")), 4);
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("ZRDATA_001_2015"), QStringLiteral("LockVouch")), 3);
    QCOMPARE(lockRowCounts(QStringLiteral("master")), master);

    // The scan likewise, and no row at all for the year behaves the same.
    m_sandbox.clearStatements();
    press(5);
    expectOneInformation(Unresolved);
    QCOMPARE(sql(), (QStringList{MappingProbe, mappingQuery("2016")}));
    QVERIFY(listRows().isEmpty());
    QVERIFY(!enabled(6));
    m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("delete from UA_AccountDatabase where iBeginYear=2010"));
    QVERIFY(Controls::pick(Controls::combo(4), QStringLiteral("2015")));
    press(5);
    expectOneInformation(Unresolved);
}

QTEST_MAIN(TestLockTab)
#include "tst_locktab.moc"
