// Lock tables of a million rows, against the sandbox through the real second tab: the scan
// counts them exactly, the clearing empties every lock table of the chosen database and no
// other, and the time of each step is printed.
#include "HostileCommon.h"
#include "support/DatabaseSnapshot.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace hostile;

namespace {

const QString Business = QStringLiteral("ZRDATA_001_2016");
const QString Account = QStringLiteral("[001]北京远航科技有限公司");
constexpr qint64 Million = 1000000;

// A million rows each for two lock tables, from a table of the ten digits.
const QString MillionRows = QStringLiteral(
    "create table digit (n int not null) "
    "insert into digit values (0), (1), (2), (3), (4), (5), (6), (7), (8), (9) "
    "insert into LockVouch (cVouchType, cVouchID, cUser_Id) select '销售订单', cast(a.n as varchar(1)) "
    "+ cast(b.n as varchar(1)) + cast(c.n as varchar(1)) + cast(d.n as varchar(1)) + cast(e.n as varchar(1)) "
    "+ cast(f.n as varchar(1)), 'demo' from digit a, digit b, digit c, digit d, digit e, digit f "
    "insert into Fa_control (sCardID, sUser) select cast(a.n as varchar(1)) + cast(b.n as varchar(1)) "
    "+ cast(c.n as varchar(1)) + cast(d.n as varchar(1)) + cast(e.n as varchar(1)) + cast(f.n as varchar(1)), "
    "'zhang' from digit a, digit b, digit c, digit d, digit e, digit f");

}  // namespace

class TstMillionLocks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void scanAndClearMillionRowTables();

private:
    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
};

void TstMillionLocks::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([] { QFAIL("the program must not end"); });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
    QElapsedTimer timer;
    timer.start();
    m_sandbox.execute(Business, MillionRows);
    qInfo("two million lock rows written in %lld ms", timer.elapsed());
}

void TstMillionLocks::scanAndClearMillionRowTables()
{
    const QStringList big = {Business + QStringLiteral(".LockVouch"), Business + QStringLiteral(".Fa_control")};
    const DatabaseSnapshot before = DatabaseSnapshot::take(m_sandbox.fixture(), big);
    QCOMPARE(before.rowCount(Business, QStringLiteral("LockVouch")), Million);
    QCOMPARE(before.rowCount(Business, QStringLiteral("Fa_control")), Million + 2);

    logIn(m_sandbox, *m_boxes);
    MainWindowControls::showTab(1);
    QVERIFY(MainWindowControls::pick(MainWindowControls::combo(3), Account));
    QVERIFY(MainWindowControls::pick(MainWindowControls::combo(4), QStringLiteral("2016")));
    m_sandbox.clearStatements();

    QElapsedTimer timer;
    timer.start();
    MainWindowControls::command(5)->click();
    const qint64 scan = timer.elapsed();
    QTableWidget* list = MainWindowControls::list(2);
    QVERIFY(MainWindowControls::rows(list).contains(QStringLiteral("1 单据锁定表 1000000")));
    QVERIFY(MainWindowControls::rows(list).contains(QStringLiteral("5 固定资产并发控制表 1000002")));
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().text, QStringLiteral("共有5个单据有锁定记录\r\n请点击【清除】按钮进行清除"));

    m_sandbox.clearStatements();
    timer.restart();
    MainWindowControls::command(6)->click();
    const qint64 clear = timer.elapsed();
    QCOMPARE(m_boxes->count(), 2);
    QCOMPARE(m_boxes->last().text, QStringLiteral("清除完毕"));
    for (int row = 0; row < list->rowCount(); ++row)
        QCOMPARE(list->item(row, 2)->text(), QStringLiteral("0"));
    QCOMPARE(list->rowCount(), 14);

    // Only deletions of the catalogue's tables, in its order, in the chosen database.
    QStringList changes = sent(m_sandbox).filter(QRegularExpression(QStringLiteral("^[^:]*: (?!select)"), QRegularExpression::CaseInsensitiveOption));
    QStringList expectedChanges;
    for (const QString& table : Catalogue)
        expectedChanges.append(at(Business, table == Marker ? QStringLiteral("if exists(select  * from dbo.sysobjects where xtype='U' "
                                                                             "and name ='isprocess@@@') drop table isprocess@@@")
                                                            : QStringLiteral("delete from ") + table));
    QCOMPARE(changes, expectedChanges);

    // Every lock row of that database is gone; nothing else moved.
    QStringList expected = {QStringLiteral("count zrdata_001_2016.fa_control: 1000002 -> 0"),
                            QStringLiteral("count zrdata_001_2016.lockvouch: 1000000 -> 0")};
    QStringList seen;
    for (const QString& table : Catalogue) {
        if (seen.contains(table.toLower()) || big.contains(Business + QLatin1Char('.') + table))
            continue;
        seen.append(table.toLower());
        for (const QString& row : before.rowTexts(Business, table))
            expected.append(DatabaseSnapshot::removedRow(Business, table, row));
    }
    QCOMPARE(expected.size(), 5);
    expected.sort();
    QCOMPARE(before.differences(DatabaseSnapshot::take(m_sandbox.fixture(), big)), expected);
    qInfo("two tables of a million rows: scan %lld ms, clear and rescan %lld ms", scan, clear);
}

QTEST_MAIN(TstMillionLocks)
#include "tst_millionlocks.moc"
