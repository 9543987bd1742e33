// Awkward values against the sandbox, through the real windows: computer names, task ids, account
// codes and cashier database names holding quotes, statement separators, comment dashes, pattern
// and bracket characters, Chinese, blanks at either end or 200 characters; NULL in every column
// the program reads; a task state no number can be made of. Each case checks the statements the
// server received, one by one, and every row of every database before and after.
#include "HostileCommon.h"
#include "support/CashierWindowDriver.h"
#include "support/DatabaseSnapshot.h"
#include "support/InformationBox.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using namespace hostile;

namespace {

using Controls = MainWindowControls;

const QString ExportProbe = QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'");
const QString LocksFound = QStringLiteral("共有%1个单据有锁定记录\r\n请点击【清除】按钮进行清除");
const QString Unresolved = QStringLiteral("无法获取年度对应的数据库！");
const QString MappingTable = QStringLiteral("create table UA_AccountDatabase (cAcc_Id varchar(500) null, iBeginYear int "
                                            "null, iEndYear int null, cDatabase varchar(128) null) ");
// The lock tables every business database of these cases holds, and their rows.
const QStringList PresentLockTables = {QStringLiteral("LockVouch"), QStringLiteral("CN_LockAcctBook"), Marker};
const QList<QVariantList> LockVouchRows = {{"V0001", "demo"}, {"V0002", "李出纳"}};
const QList<QVariantList> CashierLockRows = {{"现金日记账", "li"}};

QString gone(const QString& table, const QVariantList& row)
{
    return DatabaseSnapshot::removed(System, table, row);
}

QString existence(const QString& table)
{
    return QStringLiteral("select  * from dbo.sysobjects where xtype='U' and name ='%1'").arg(table);
}

QString yearQuery(const QString& quotedCode)
{
    return QStringLiteral("select distinct iyear from UA_Period where cacc_id='%1' and ISNULL(bIsDelete,0)=0")
        .arg(quotedCode);
}

QStringList resolution(const QString& quotedCode, bool mapping)
{
    QStringList sent{at(System, QStringLiteral("select * from sysobjects where name='UA_AccountDatabase' and xtype='U'"))};
    if (mapping) {
        sent.append(at(System, QStringLiteral("select cDatabase from UA_AccountDatabase where cAcc_Id='%1' and "
                                              "(iBeginYear<='2016' and (iEndYear>='2016' or iEndYear is null)) ")
                                   .arg(quotedCode)));
    }
    return sent;
}

// The scan (or the clearing) of a database holding the given catalogue tables.
QStringList lockStatements(const QString& database, const QStringList& present, bool clearing)
{
    QStringList sent;
    for (const QString& table : Catalogue) {
        sent.append(at(database, existence(table)));
        if (clearing && table == Marker)
            sent.append(at(database, QStringLiteral("if exists(") + existence(table) + QStringLiteral(") drop table ") + table));
        else if (present.contains(table) && table != Marker)
            sent.append(at(database, (clearing ? QStringLiteral("delete from ") : QStringLiteral("select * from ")) + table));
    }
    return sent;
}

// An account with its periods ("year, deleted") and, when given one, its mapping row
// ("begin, end, database").
QString accountSetup(const QString& code, const QString& name, const QStringList& periods, const QString& mapping = {})
{
    QString setup = mapping.isEmpty() ? QString()
                                      : MappingTable + QStringLiteral("insert into UA_AccountDatabase values ('%1', %2) ").arg(code, mapping);
    QStringList tuples;
    for (const QString& period : periods)
        tuples.append(QStringLiteral("('%1', %2)").arg(code, period));
    return setup + QStringLiteral("insert into ua_account values ('%1', %2) insert into UA_Period values %3")
                       .arg(code, name, tuples.join(QStringLiteral(", ")));
}

// Names each standing for one kind of trouble; the last, plain, beside them: what a pattern
// match or a broken quote would hit too.
const QString LongName = QString(99, QLatin1Char('W')) + QLatin1Char('\'') + QString(100, QChar(0x4E2D));
const QStringList AwkwardNames = {"PC'1", "''", "PC;1", "PC--1", "x';delete from ua_tasklog;--", "PC]1", "PC%1",
                                  "PC_1", "财务室-张会计", " PC1", "PC1 ", LongName, "PC1"};
// Account codes: three characters, the last two plain.
const QStringList AllCodes = {"0'1", "''1", "0;1", "--1", "0]1", "0%1", "0_1", "演示1", " 01", "01 ", "0a1", "001"};
const QStringList AwkwardCodes = AllCodes.mid(0, 10);
// An account code of 200 characters, of which the program takes the first three.
const QString LongCode = QStringLiteral("9'9") + QString(197, QChar(0x7801));
const QString UnsendableCashier = QStringLiteral("DaZovu_};1_2016");

// What stands between the quotes of a statement for the text.
QString doubled(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

// ua_tasklog: each name is one task's id and the computer of the next task, so that a clearing
// by computer and one by id hit different rows; plus a system-management row without a task id.
QList<QVariantList> taskLogRows()
{
    const QStringList names = QStringList{"PCa1", "PCX1"} + AwkwardNames;
    QList<QVariantList> rows;
    for (int i = 0; i < names.size(); ++i) {
        rows.append({names.at(i), "GL", "总账", names.at((i + 1) % names.size()),
                     QStringLiteral("2024-03-01 08:%1:00").arg(i, 2, 10, QLatin1Char('0')), "1"});
    }
    rows.append({QVariant(), "AA", "系统管理", "SRV", "2024-03-01 07:00:00", "0"});
    return rows;
}

// ua_task: a row per task of the log, and one without a log row.
QList<QVariantList> taskRows()
{
    QList<QVariantList> rows{{"T-orphan", "GL", "SRV"}};
    for (const QVariantList& log : taskLogRows()) {
        if (!log.at(0).isNull())
            rows.append({log.at(0), log.at(1), log.at(3)});
    }
    return rows;
}

}  // namespace

class TstHostileValues : public QObject {
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
        resetDatabases(m_sandbox, 500);
    }
    void cleanup() { LoginDriver::reset(); }

    void clearTasks_data();
    void clearTasks();
    void accountCodes_data();
    void accountCodes();
    void cashierDatabaseNames_data();
    void cashierDatabaseNames();
    void nullTaskColumns_data();
    void nullTaskColumns();
    void nullAccountColumns_data();
    void nullAccountColumns();
    void nullExportColumns();
    void unconvertibleTaskState();

private:
    void seedTasks(const QList<QVariantList>& log, const QList<QVariantList>& tasks)
    {
        m_sandbox.execute(System, insert(QStringLiteral("ua_tasklog"), log) + insert(QStringLiteral("ua_task"), tasks));
    }
    void seedAccounts(bool mapping);
    void createLockDatabase(const QString& name);
    void logIn();
    QStringList sent() const { return hostile::sent(m_sandbox); }
    QStringList boxTexts() const { return hostile::boxTexts(m_boxes); }
    QStringList changes(const DatabaseSnapshot& before) { return before.differences(DatabaseSnapshot::take(m_sandbox.fixture())); }

    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
    int m_sysConnection = 0;
    int m_exportConnection = 0;
};

void TstHostileValues::createLockDatabase(const QString& name)
{
    m_sandbox.fixture().createDatabase(name);
    m_sandbox.execute(name, QStringLiteral("create table LockVouch (cVouchID varchar(20) not null, cUser varchar(20) null) ")
                                + insert(QStringLiteral("LockVouch"), LockVouchRows)
                                + QStringLiteral("create table CN_LockAcctBook (cAcctBook varchar(40) null, cUser varchar(20) null) ")
                                + insert(QStringLiteral("CN_LockAcctBook"), CashierLockRows)
                                + QStringLiteral("create table [isprocess@@@] (id int null)"));
}

// Every account has its business database under the standard name and under a mapped one, so
// that the wrong one of the two would show in the tables.
void TstHostileValues::seedAccounts(bool mapping)
{
    QList<QVariantList> accounts, periods, maps;
    for (int i = 0; i < AllCodes.size(); ++i) {
        accounts.append({AllCodes.at(i), QStringLiteral("账套%1").arg(i)});
        periods += {{AllCodes.at(i), 2016, 0}, {AllCodes.at(i), 2015, 1}};
        maps.append({AllCodes.at(i), 2016, QVariant(), QStringLiteral("MAP_%1").arg(i)});
        createLockDatabase(QStringLiteral("ZRDATA_%1_2016").arg(AllCodes.at(i)));
        createLockDatabase(QStringLiteral("MAP_%1").arg(i));
    }
    accounts.append({LongCode, QStringLiteral("账套%1").arg(AllCodes.size())});
    periods.append({LongCode, 2016, 0});
    // Where "Initial Catalog=ZRDATA_0;1_2016" lands when the string is cut at its ';'.
    createLockDatabase(QStringLiteral("ZRDATA_0"));
    m_sandbox.execute(System, insert(QStringLiteral("ua_account"), accounts) + insert(QStringLiteral("UA_Period"), periods));
    if (mapping)
        m_sandbox.execute(System, MappingTable + insert(QStringLiteral("UA_AccountDatabase"), maps));
}

void TstHostileValues::logIn()
{
    hostile::logIn(m_sandbox, m_boxes);
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        if (record.sql == TaskQuery)
            m_sysConnection = record.connection;
        else if (record.sql == ExportProbe)
            m_exportConnection = record.connection;
    }
    m_sandbox.clearStatements();
}

void TstHostileValues::clearTasks_data()
{
    QTest::addColumn<bool>("byId");
    QTest::addColumn<QString>("text");
    for (bool byId : {false, true}) {
        for (const QString& name : AwkwardNames)
            QTest::addRow("%s, \"%s\"", byId ? "task id" : "computer", qPrintable(name.left(28))) << byId << name;
    }
}

void TstHostileValues::clearTasks()
{
    QFETCH(bool, byId);
    QFETCH(QString, text);
    const QString quoted = doubled(text);
    seedTasks(taskLogRows(), taskRows());
    logIn();
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    QCOMPARE(Controls::list(1)->rowCount(), taskLogRows().size());

    qobject_cast<QRadioButton*>(Controls::find(byId ? QStringLiteral("Option1") : QStringLiteral("Option2")))->click();
    QVERIFY(Controls::pick(Controls::combo(byId ? 1 : 2), text));
    if (byId) {
        // The picked id's row is the one highlighted.
        const QList<QTableWidgetItem*> selected = Controls::list(1)->selectedItems();
        QVERIFY(!selected.isEmpty());
        QCOMPARE(Controls::list(1)->item(selected.first()->row(), 0)->text(), text);
    }
    Controls::command(3)->click();

    QCOMPARE(m_boxes.count(), 1);
    verifyInformation(m_boxes.last(), (byId ? QStringLiteral("ID为[") : QStringLiteral("计算机名为[")) + text
                                          + QStringLiteral("]的任务清除成功"));
    const QString where = byId ? QStringLiteral(" where cTaskId='") : QStringLiteral(" where cStation='");
    QCOMPARE(sent(), (QStringList{at(System, QStringLiteral("delete from ua_task") + where + quoted + "'"),
                                  at(System, QStringLiteral("delete from ua_tasklog") + where + quoted + "'"),
                                  at(System, TaskQuery)}));
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        QCOMPARE(record.connection, m_sysConnection);

    // The server compares texts without regard to trailing blanks: "PC1 " and "PC1" are one
    // to it, whichever of the two the user picks.
    const QStringList equal = text.trimmed() == QLatin1String("PC1") && !text.startsWith(QLatin1Char(' '))
        ? QStringList{QStringLiteral("PC1"), QStringLiteral("PC1 ")}
        : QStringList{text};
    QStringList expected;
    int logRowsLeft = 0;
    for (const QVariantList& row : taskLogRows()) {
        if (equal.contains(row.at(byId ? 0 : 3).toString()))
            expected.append(gone(QStringLiteral("ua_tasklog"), row));
        else
            ++logRowsLeft;
    }
    for (const QVariantList& row : taskRows()) {
        if (equal.contains(row.at(byId ? 0 : 2).toString()))
            expected.append(gone(QStringLiteral("ua_task"), row));
    }
    expected.sort();
    QCOMPARE(changes(before), expected);
    // The list was reloaded after the message, without the cleared rows.
    QCOMPARE(Controls::list(1)->rowCount(), logRowsLeft);
    QVERIFY(!Controls::entries(Controls::combo(byId ? 1 : 2)).contains(text));
}

void TstHostileValues::accountCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("mapping");
    QTest::addColumn<int>("index");
    for (bool mapping : {false, true}) {
        for (int i = 0; i < AwkwardCodes.size(); ++i) {
            QTest::addRow("\"%s\", %s", qPrintable(AwkwardCodes.at(i)), mapping ? "mapped database" : "standard database name")
                << AwkwardCodes.at(i) << mapping << i;
        }
    }
    // The account code is the three characters after "[": the years of "9'9", of which there are none.
    QTest::newRow("200 characters") << LongCode << false << int(AllCodes.size());
}

void TstHostileValues::accountCodes()
{
    QFETCH(QString, code);
    const QString quoted = doubled(code.left(3));
    QFETCH(bool, mapping);
    QFETCH(int, index);
    seedAccounts(mapping);
    logIn();
    Controls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());
    const QString database = mapping ? QStringLiteral("MAP_%1").arg(index) : QStringLiteral("ZRDATA_%1_2016").arg(code);

    QVERIFY(Controls::pick(Controls::combo(3), QLatin1Char('[') + code + QStringLiteral("]账套") + QString::number(index)));
    if (code == LongCode) {
        QCOMPARE(sent(), QStringList{at(System, yearQuery(quoted))});
        QCOMPARE(Controls::combo(4)->count(), 0);
        QVERIFY(!Controls::command(5)->isEnabled());
        QVERIFY(!Controls::command(6)->isEnabled());
        QCOMPARE(m_boxes.count(), 0);
        QCOMPARE(changes(before), QStringList());
        return;
    }
    QCOMPARE(Controls::entries(Controls::combo(4)), QStringList{QStringLiteral("2016")});
    QCOMPARE(Controls::combo(4)->currentText(), QStringLiteral("2016"));
    Controls::command(5)->click();
    QCOMPARE(boxTexts(), QStringList{LocksFound.arg(3)});
    QCOMPARE(Controls::rows(Controls::list(2)), (QStringList{QStringLiteral("1 单据锁定表 2"), QStringLiteral("2 出纳模块制单锁定表 1"),
                                                             QStringLiteral("3 查询分析互斥 1")}));
    Controls::command(6)->click();
    QCOMPARE(boxTexts(), (QStringList{LocksFound.arg(3), QStringLiteral("清除完毕")}));
    QCOMPARE(Controls::rows(Controls::list(2)), (QStringList{QStringLiteral("1 单据锁定表 0"), QStringLiteral("2 出纳模块制单锁定表 0")}));

    const QStringList cleared = {QStringLiteral("LockVouch"), QStringLiteral("CN_LockAcctBook")};
    QCOMPARE(sent(), QStringList{at(System, yearQuery(quoted))} + resolution(quoted, mapping)
                         + lockStatements(database, PresentLockTables, false) + resolution(quoted, mapping)
                         + lockStatements(database, PresentLockTables, true) + resolution(quoted, mapping)
                         + lockStatements(database, cleared, false));

    QStringList expected{DatabaseSnapshot::dropped(database, Marker)};
    for (const QVariantList& row : LockVouchRows)
        expected.append(DatabaseSnapshot::removed(database, QStringLiteral("LockVouch"), row));
    for (const QVariantList& row : CashierLockRows)
        expected.append(DatabaseSnapshot::removed(database, QStringLiteral("CN_LockAcctBook"), row));
    expected.sort();
    QCOMPARE(changes(before), expected);
}

void TstHostileValues::cashierDatabaseNames_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& code : AwkwardCodes)
        QTest::newRow(qPrintable(code)) << QStringLiteral("DaZovu_%1_2016").arg(code);
    // The FreeTDS driver of this system cannot be given a database name holding "};".
    QTest::newRow("brace and semicolon") << UnsendableCashier;
}

void TstHostileValues::cashierDatabaseNames()
{
    QFETCH(QString, name);
    QStringList listed{UnsendableCashier};
    for (const QString& code : AllCodes)
        listed.append(QStringLiteral("DaZovu_%1_2016").arg(code));
    // DaZovu_0 is where "Initial Catalog=DaZovu_0;1_2016" would land, cut at its ';'.
    for (const QString& database : listed + QStringList{QStringLiteral("DaZovu_0")}) {
        m_sandbox.fixture().createDatabase(database);
        m_sandbox.execute(database, QStringLiteral("create table CN_LockAcctBook (cAcctBook varchar(40) null, cUser "
                                                   "varchar(20) null) ")
                                        + insert(QStringLiteral("CN_LockAcctBook"), {{"现金日记账", "li"}, {"银行日记账", database}}));
    }
    logIn();
    Controls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    QStringList shown;
    CashierWindowDriver windows([&](QDialog& window) {
        shown = Controls::entries(CashierWindowDriver::list(window));
        QVERIFY(CashierWindowDriver::pick(window, name));
        CashierWindowDriver::clearButton(window)->click();
        QVERIFY(window.isVisible());
    });
    pressCtrlH();
    QCOMPARE(windows.opened(), 1);
    shown.sort();
    listed.sort();
    QCOMPARE(shown, listed);

    if (name == UnsendableCashier) {
        // Said so under "错误", and nothing sent anywhere else instead.
        QCOMPARE(m_boxes.count(), 1);
        QCOMPARE(m_boxes.last().title, QStringLiteral("错误"));
        QVERIFY2(m_boxes.last().text.contains(QStringLiteral("无法传送含有“};”的数据库名")), qPrintable(m_boxes.last().text));
        QCOMPARE(sent(), QStringList{at(System, CashierListing)});
        QCOMPARE(changes(before), QStringList());
        return;
    }
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("清除完毕！")});
    QCOMPARE(sent(), (QStringList{at(System, CashierListing), at(name, QStringLiteral("Delete From CN_LockAcctBook"))}));
    QStringList expected{DatabaseSnapshot::removed(name, QStringLiteral("CN_LockAcctBook"), {"现金日记账", "li"}),
                         DatabaseSnapshot::removed(name, QStringLiteral("CN_LockAcctBook"), {"银行日记账", name})};
    expected.sort();
    QCOMPARE(changes(before), expected);
}

void TstHostileValues::nullTaskColumns_data()
{
    QTest::addColumn<QList<int>>("nullColumns");  // positions in ua_tasklog's row of the third task
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("logRowCleared");
    QTest::addColumn<bool>("taskRowCleared");
    QTest::newRow("ctaskid") << QList<int>{0} << QStringLiteral("系统管理 总账 PC3 2024-03-02 09:00:00 异常") << true << false;
    QTest::newRow("csub_name") << QList<int>{2} << QStringLiteral("T3  PC3 2024-03-02 09:00:00 异常") << true << true;
    QTest::newRow("cstation") << QList<int>{3} << QStringLiteral("T3 总账  2024-03-02 09:00:00 异常") << true << true;
    QTest::newRow("dintime") << QList<int>{4} << QStringLiteral("T3 总账 PC3  异常") << true << true;
    QTest::newRow("taskstate") << QList<int>{5} << QStringLiteral("T3 总账 PC3 2024-03-02 09:00:00 正常()") << false << false;
    QTest::newRow("all five") << QList<int>{0, 2, 3, 4, 5} << QStringLiteral("系统管理    正常()") << false << false;
}

void TstHostileValues::nullTaskColumns()
{
    QFETCH(QList<int>, nullColumns);
    QFETCH(QString, shown);
    QFETCH(bool, logRowCleared);
    QFETCH(bool, taskRowCleared);
    QVariantList third = {"T3", "GL", "总账", "PC3", "2024-03-02 09:00:00", "6"};
    for (int column : nullColumns)
        third[column] = QVariant();
    const QList<QVariantList> log = {{"T1", "GL", "总账", "PC1", "2024-03-01 08:30:00", "1"},
                                     {"T2", "GL", "总账", "PC2", "2024-03-01 08:40:00", "7"}, third};
    const QList<QVariantList> tasks = {{"T1", "GL", "PC1"}, {"T2", "GL", "PC2"}, {"T3", "GL", "PC3"}};
    seedTasks(log, tasks);
    logIn();
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    QVERIFY2(Controls::rows(Controls::list(1)).contains(shown), qPrintable(Controls::rows(Controls::list(1)).join('|')));
    // A computer that is not known offers no entry to clear by.
    QStringList stations = Controls::entries(Controls::combo(2));
    stations.sort();
    QCOMPARE(stations, (nullColumns.contains(3) ? QStringList{"PC1", "PC2"} : QStringList{"PC1", "PC2", "PC3"}));

    Controls::command(1)->click();
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("异常任务清除完毕")});
    QCOMPARE(sent(), (QStringList{at(System, ClearAbnormalTask), at(System, ClearAbnormalLog), at(System, TaskQuery)}));
    QStringList expected = {gone(QStringLiteral("ua_tasklog"), log.at(1)), gone(QStringLiteral("ua_task"), tasks.at(1))};
    if (logRowCleared)
        expected.append(gone(QStringLiteral("ua_tasklog"), third));
    if (taskRowCleared)
        expected.append(gone(QStringLiteral("ua_task"), tasks.at(2)));
    expected.sort();
    QCOMPARE(changes(before), expected);
}

void TstHostileValues::nullAccountColumns_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("quotedCode");
    QTest::addColumn<QStringList>("years");
    QTest::addColumn<QString>("scanMessage");  // empty: nothing to scan
    QTest::addColumn<QString>("database");     // scanned; empty when none is opened

    const QStringList y2016{"2016"};
    QTest::newRow("cAcc_id") << QStringLiteral("insert into ua_account values (null, '无编码')")
                             << QStringLiteral("[]无编码") << QStringLiteral("]无编") << QStringList() << QString() << QString();
    QTest::newRow("cAcc_Name") << accountSetup("004", "null", {"2016, 0"}) << QStringLiteral("[004]") << QStringLiteral("004")
                               << y2016 << LocksFound.arg(3) << QStringLiteral("ZRDATA_004_2016");
    QTest::newRow("iyear") << accountSetup("005", "'年度空'", {"null, 0", "2016, 0"}) << QStringLiteral("[005]年度空")
                           << QStringLiteral("005") << QStringList{"", "2016"}
                           << QStringLiteral("Cannot open database \"ZRDATA_005_\"") << QString();
    QTest::newRow("bIsDelete") << accountSetup("006", "'删除标志空'", {"2016, null", "2015, 1"}) << QStringLiteral("[006]删除标志空")
                               << QStringLiteral("006") << y2016 << LocksFound.arg(3) << QStringLiteral("ZRDATA_006_2016");
    QTest::newRow("cDatabase") << accountSetup("007", "'库名空'", {"2016, 0"}, "2016, null, null") << QStringLiteral("[007]库名空")
                               << QStringLiteral("007") << y2016 << Unresolved << QString();
    QTest::newRow("iEndYear") << accountSetup("008", "'终止年空'", {"2016, 0"}, "2010, null, 'ZRDATA_008_2016'")
                              << QStringLiteral("[008]终止年空") << QStringLiteral("008") << y2016 << LocksFound.arg(3)
                              << QStringLiteral("ZRDATA_008_2016");
    QTest::newRow("iBeginYear") << accountSetup("009", "'起始年空'", {"2016, 0"}, "null, 2030, 'ZRDATA_009_2016'")
                                << QStringLiteral("[009]起始年空") << QStringLiteral("009") << y2016 << Unresolved << QString();
}

void TstHostileValues::nullAccountColumns()
{
    QFETCH(QString, setup);
    QFETCH(QString, item);
    QFETCH(QString, quotedCode);
    QFETCH(QStringList, years);
    QFETCH(QString, scanMessage);
    QFETCH(QString, database);
    m_sandbox.execute(System, setup);
    for (const char* code : {"004", "005", "006", "008", "009"})
        createLockDatabase(QStringLiteral("ZRDATA_%1_2016").arg(QLatin1String(code)));
    logIn();
    Controls::showTab(1);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    QVERIFY(Controls::pick(Controls::combo(3), item));
    QCOMPARE(Controls::entries(Controls::combo(4)), years);
    QCOMPARE(Controls::command(5)->isEnabled(), !years.isEmpty());
    if (!years.isEmpty()) {
        Controls::command(5)->click();
        QCOMPARE(m_boxes.count(), 1);
        QVERIFY2(m_boxes.last().text.contains(scanMessage), qPrintable(m_boxes.last().text));
        QCOMPARE(Controls::command(6)->isEnabled(), !database.isEmpty());
    }

    // Only reading: the year query, the resolution and the scan of the resolved database.
    const QStringList statements = sent();
    QCOMPARE(statements.value(0), at(System, yearQuery(quotedCode)));
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        const bool inScanned = !database.isEmpty() && record.database.compare(database, Qt::CaseInsensitive) == 0;
        QVERIFY2(record.database == System || inScanned, qPrintable(record.database + ": " + record.sql));
        QVERIFY2(record.sql.startsWith(QLatin1String("select"), Qt::CaseInsensitive), qPrintable(record.sql));
    }
    if (!database.isEmpty())
        QCOMPARE(statements.mid(statements.size() - 17), lockStatements(database, PresentLockTables, false));
    QCOMPARE(changes(before), QStringList());
}

// One row with NULL in each column in turn, beside a full one.
void TstHostileValues::nullExportColumns()
{
    const QVariantList full = {"001", 2016, 3, "PC2", "zhang", "2016-03-08 10:40:05"};
    QList<QVariantList> rows{full};
    for (int column = 0; column < full.size(); ++column) {
        rows.append(full);
        rows.last()[column] = QVariant();
    }
    m_sandbox.execute(System, QStringLiteral("create table ua_outpzlog (cacc_id varchar(3) null, iyear int null, "
                                             "iPeriod int null, cStation varchar(64) null, cUser_Id varchar(20) null, "
                                             "dTime datetime null) ")
                                  + insert(QStringLiteral("ua_outpzlog"), rows));
    logIn();
    Controls::showTab(2);
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    Controls::command(9)->click();
    QStringList shown = Controls::rows(Controls::list(3));
    shown.sort();
    QCOMPARE(shown, (QStringList{" 2016 3 PC2 zhang 2016-03-08 10:40:05", "001  3 PC2 zhang 2016-03-08 10:40:05",
                                 "001 2016  PC2 zhang 2016-03-08 10:40:05", "001 2016 3  zhang 2016-03-08 10:40:05",
                                 "001 2016 3 PC2  2016-03-08 10:40:05", "001 2016 3 PC2 zhang ",
                                 "001 2016 3 PC2 zhang 2016-03-08 10:40:05"}));
    Controls::command(9)->click();
    QCOMPARE(boxTexts(), (QStringList{QStringLiteral("共有7个异常记录，请点击清除按钮进行清除！"), QStringLiteral("清除成功！")}));
    QCOMPARE(Controls::list(3)->rowCount(), 0);

    QCOMPARE(sent(), (QStringList{at(System, QStringLiteral("select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,"
                                                            "cStation as 计算机名,cUser_Id as 用户编码,dTime as 操作时间 from ua_outpzlog")),
                                  at(System, QStringLiteral("delete from ua_outpzlog"))}));
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        QCOMPARE(record.connection, m_exportConnection);
    QStringList expected;
    for (const QVariantList& row : rows)
        expected.append(gone(QStringLiteral("ua_outpzlog"), row));
    expected.sort();
    QCOMPARE(changes(before), expected);
}

void TstHostileValues::unconvertibleTaskState()
{
    const QList<QVariantList> log = {{"T1", "GL", "总账", "PC1", "2024-03-01 08:30:00", "1"},
                                     {"T2", "GL", "总账", "PC2", "2024-03-01 08:40:00", "abc"},
                                     {"T3", "GL", "总账", "PC3", "2024-03-01 08:50:00", "7"}};
    const QList<QVariantList> tasks = {{"T1", "GL", "PC1"}, {"T2", "GL", "PC2"}, {"T3", "GL", "PC3"}};
    seedTasks(log, tasks);
    logIn();
    QVERIFY(Controls::rows(Controls::list(1)).contains(QStringLiteral("T2 总账 PC2 2024-03-01 08:40:00 正常(abc)")));
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture());

    // The server cannot compare "abc" with a number: the first statement fails whole, the second
    // is not sent, the error is shown and the list stays as it was.
    Controls::command(1)->click();
    QCOMPARE(m_boxes.count(), 1);
    QCOMPARE(m_boxes.last().title, QStringLiteral("错误"));
    QCOMPARE(m_boxes.last().icon, QMessageBox::Critical);
    QVERIFY2(m_boxes.last().text.contains(
                 QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int.")),
             qPrintable(m_boxes.last().text));
    QCOMPARE(sent(), QStringList{at(System, ClearAbnormalTask)});
    QCOMPARE(changes(before), QStringList());
    QCOMPARE(Controls::list(1)->rowCount(), 3);

    // The task can still be cleared by its id, and then the abnormal clearing works again.
    qobject_cast<QRadioButton*>(Controls::find(QStringLiteral("Option1")))->click();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("T2")));
    Controls::command(3)->click();
    Controls::command(1)->click();
    QCOMPARE(boxTexts().mid(1), (QStringList{QStringLiteral("ID为[T2]的任务清除成功"), QStringLiteral("异常任务清除完毕")}));
    QStringList expected = {gone(QStringLiteral("ua_tasklog"), log.at(1)), gone(QStringLiteral("ua_task"), tasks.at(1)),
                            gone(QStringLiteral("ua_tasklog"), log.at(2)), gone(QStringLiteral("ua_task"), tasks.at(2))};
    expected.sort();
    QCOMPARE(changes(before), expected);
    QCOMPARE(Controls::list(1)->rowCount(), 1);
}

QTEST_MAIN(TstHostileValues)
#include "tst_hostilevalues.moc"
