// A query fails while a list or a selector is being filled: what is left on screen offers
// nothing that could make a clearing act on the wrong thing, and the next fill works.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using Controls = MainWindowControls;

class TstListConsistency : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        QVERIFY(m_sandbox.start());
    }
    void init() { QVERIFY(LoginDriver(m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password())); }
    void cleanup()
    {
        LoginDriver::reset();
        m_boxes.clear();
        m_sandbox.faults().clear();
        m_sandbox.restoreFixture();
    }

    void failedTaskRefreshEmptiesSelectors();
    void failedYearListLeavesNoYearToScan();
    void failedLockScanLeavesNoHalfList();

private:
    // The statement starting with the text fails; the error is shown, the window stays.
    void fail(const QString& start)
    {
        m_sandbox.faults().failStatements(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(start)),
                                          208, QStringLiteral("Invalid object name 'ua_tasklog'."));
    }
    void verifyError(int boxes)
    {
        QCOMPARE(m_boxes.count(), boxes);
        QCOMPARE(m_boxes.last().title, QStringLiteral("错误"));
        QVERIFY2(m_boxes.last().text.contains(QStringLiteral("Invalid object name")), qPrintable(m_boxes.last().text));
        QVERIFY(LoginDriver::mainWindow().isVisible());
        m_sandbox.faults().clear();
    }

    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
};

void TstListConsistency::failedTaskRefreshEmptiesSelectors()
{
    // A task picked and "清除" ready to go; then the refresh fails.
    qobject_cast<QRadioButton*>(Controls::find(QStringLiteral("Option1")))->click();
    QVERIFY(Controls::pick(Controls::combo(1), QStringLiteral("1003")));
    QVERIFY(Controls::command(3)->isEnabled());
    fail(QStringLiteral("select distinct b.ctaskid"));
    Controls::command(4)->click();
    verifyError(1);
    // Neither the list nor the selectors claim what the failed query could not confirm.
    QCOMPARE(Controls::list(1)->rowCount(), 0);
    QCOMPARE(Controls::combo(1)->count(), 0);
    QCOMPARE(Controls::combo(2)->count(), 0);
    QVERIFY(!Controls::command(3)->isEnabled());

    Controls::command(4)->click();
    QCOMPARE(Controls::list(1)->rowCount(), 10);
    QCOMPARE(Controls::combo(1)->count(), 10);
    QCOMPARE(Controls::combo(1)->currentIndex(), -1);
    QCOMPARE(Controls::combo(2)->count(), 5);
    QVERIFY(!Controls::command(3)->isEnabled());
}

void TstListConsistency::failedYearListLeavesNoYearToScan()
{
    Controls::showTab(1);
    QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[001]北京远航科技有限公司")));
    QVERIFY(Controls::command(5)->isEnabled());
    // The other account's years cannot be read: the first account's must not stay on offer,
    // or a scan would pair account 002 with a year of 001.
    fail(QStringLiteral("select distinct iyear from UA_Period"));
    QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[002]上海明德贸易有限公司")));
    verifyError(1);
    QCOMPARE(Controls::combo(4)->count(), 0);
    QVERIFY(!Controls::command(5)->isEnabled());
    QVERIFY(!Controls::command(6)->isEnabled());

    QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[002]上海明德贸易有限公司")));
    QCOMPARE(Controls::entries(Controls::combo(4)), (QStringList{QStringLiteral("2016"), QStringLiteral("2017")}));
    QVERIFY(Controls::command(5)->isEnabled());
}

void TstListConsistency::failedLockScanLeavesNoHalfList()
{
    Controls::showTab(1);
    QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[001]北京远航科技有限公司")));
    QVERIFY(Controls::pick(Controls::combo(4), QStringLiteral("2016")));
    Controls::command(5)->click();
    const QStringList fullScan = Controls::rows(Controls::list(2));
    QCOMPARE(fullScan.size(), 14);

    // The count of the fifth table fails: the four before it were listed already. No list
    // may call the tables after it free of locks, and nothing may be cleared.
    fail(QStringLiteral("select * from Fa_control"));
    Controls::command(5)->click();
    verifyError(2);
    QCOMPARE(Controls::list(2)->rowCount(), 0);
    QVERIFY(!Controls::command(6)->isEnabled());
    QVERIFY(Controls::command(5)->isEnabled());

    Controls::command(5)->click();
    QCOMPARE(Controls::rows(Controls::list(2)), fullScan);
    QVERIFY(Controls::command(6)->isEnabled());
}

QTEST_MAIN(TstListConsistency)
#include "tst_listconsistency.moc"
