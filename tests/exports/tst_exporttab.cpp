// The third tab against the sandbox, through the real login and main window: the listing and
// deleting of ua_outpzlog by the two states of Command9, the texts shown and the messages.
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

const QString ListQuery = QStringLiteral(
    "select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,cUser_Id as 用户编码,"
    "dTime as 操作时间 from ua_outpzlog");
const QString Listed = QStringLiteral("共有%1个异常记录，请点击清除按钮进行清除！");

}  // namespace

class TstExportTab : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void emptyLogStaysInListingState();
    void listingShowsRowsInServerOrder();
    void blankAndNullValues();
    void numbersAndTimesAsPlainText();
    void clearingDeletesEveryRowAndReturnsToListing();
    void failingListingKeepsTheState();

private:
    void logIn(const QStringList& rows, const QString& numberType = QStringLiteral("int"));
    // Statements sent since the login; one not on ExportConnection comes out marked, failing the comparison.
    QStringList sent();
    // The rows listed, sorted (the order is checked apart).
    QStringList sortedRows();
    QString caption() { return Controls::command(9)->text(); }

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
    int m_exportConnection = 0;
};

void TstExportTab::initTestCase()
{
    AppSetup::prepare(*qApp);
    QVERIFY(m_sandbox.start());
    m_boxes = new MessageBoxDriver(this);
}

void TstExportTab::init()
{
    LoginDriver::reset();
    m_sandbox.faults().clear();
    m_boxes->clear();
}

// Logs in over an ua_outpzlog holding the given rows, and shows the tab.
void TstExportTab::logIn(const QStringList& rows, const QString& numberType)
{
    const QString zrsystem = QStringLiteral("zrsystem");
    if (m_sandbox.fixture().tableExists(zrsystem, QStringLiteral("ua_outpzlog")))
        m_sandbox.execute(zrsystem, QStringLiteral("drop table ua_outpzlog"));
    m_sandbox.execute(zrsystem, QStringLiteral("create table ua_outpzlog (cacc_id varchar(3), iyear %1, iPeriod %1, "
                                               "cStation varchar(50), cUser_Id varchar(20), dTime datetime)")
                                    .arg(numberType));
    if (!rows.isEmpty())
        m_sandbox.execute(zrsystem, QStringLiteral("insert into ua_outpzlog values (") + rows.join("), (") + ')');

    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    // The login's existence test of ua_outpzlog runs on ExportConnection.
    m_exportConnection = 0;
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        if (record.sql == QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'"))
            m_exportConnection = record.connection;
    }
    QVERIFY(m_exportConnection != 0);
    m_sandbox.clearStatements();
    Controls::showTab(2);
}

QStringList TstExportTab::sent()
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append((record.connection == m_exportConnection ? QString() : QStringLiteral("[elsewhere] ")) + record.sql);
    return texts;
}

QStringList TstExportTab::sortedRows()
{
    QStringList rows = Controls::rows(Controls::list(3));
    rows.sort();
    return rows;
}

void TstExportTab::emptyLogStaysInListingState()
{
    logIn({});
    // Nothing of this tab is read before the first press.
    QVERIFY(sent().isEmpty());
    Controls::command(9)->click();

    QCOMPARE(sent(), QStringList{ListQuery});
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("没有异常记录！"));
    QCOMPARE(Controls::list(3)->rowCount(), 0);
    QCOMPARE(caption(), QStringLiteral("刷新(&R)"));

    // Still listing: a second press lists again rather than deleting.
    Controls::command(9)->click();
    QCOMPARE(sent(), (QStringList{ListQuery, ListQuery}));
}

void TstExportTab::listingShowsRowsInServerOrder()
{
    logIn({"'003', 2024, 3, 'PC-C', 'demo', '2024-03-15 09:05:07'", "'001', 2023, 12, 'PC-A', '0001', '2023-12-31 23:59:59'",
           "'002', 2024, 1, 'PC-B', 'admin', '2024-01-02 00:00:00'"});
    QStringList captionWhileShown;
    MessageBoxWatcher watcher([&](QMessageBox*) { captionWhileShown.append(caption()); });

    Controls::command(9)->click();

    QCOMPARE(sent(), QStringList{ListQuery});
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), Listed.arg(3));
    // The caption changes before the message.
    QCOMPARE(captionWhileShown, QStringList{"清除(&C)"});
    QCOMPARE(caption(), QStringLiteral("清除(&C)"));

    const QMap<QString, QString> byAccount = {
        {"003", "003 2024 3 PC-C demo 2024-03-15 09:05:07"},
        {"001", "001 2023 12 PC-A 0001 2023-12-31 23:59:59"},
        {"002", "002 2024 1 PC-B admin 2024-01-02 00:00:00"},
    };
    QStringList expected;
    for (const QVariantList& row : m_sandbox.fixture().rows(QStringLiteral("zrsystem"), ListQuery))
        expected.append(byAccount.value(row.value(0).toString()));
    QCOMPARE(Controls::rows(Controls::list(3)), expected);

    // The state survives a change of tab, and the listing changed nothing in the table.
    Controls::showTab(0);
    Controls::showTab(2);
    QCOMPARE(caption(), QStringLiteral("清除(&C)"));
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("zrsystem"), QStringLiteral("ua_outpzlog")), 3);
}

void TstExportTab::blankAndNullValues()
{
    logIn({"'001', 2024, 1, '', 'u1', '2024-01-01 08:00:01'", "'002', 2024, 2, '   ', 'u2', '2024-01-01 08:00:02'",
           "'003', 2024, 3, ' PC 1 ', null, null", "null, null, null, null, '', '2024-01-01 08:00:04'",
           "'', 2024, 5, '\t', 'u5', '2024-01-01 08:00:05'"});
    Controls::command(9)->click();
    QCOMPARE(m_boxes->last().text, Listed.arg(5));

    // Empty and all-blank texts show one blank; other texts keep their blanks; NULL is empty. Only
    // U+0020 counts as a blank, and the row's own text (the account code) is never replaced.
    QCOMPARE(sortedRows(), (QStringList{"      2024-01-01 08:00:04", " 2024 5 \t u5 2024-01-01 08:00:05",
                                        "001 2024 1   u1 2024-01-01 08:00:01", "002 2024 2   u2 2024-01-01 08:00:02",
                                        "003 2024 3  PC 1   "}));
}

void TstExportTab::numbersAndTimesAsPlainText()
{
    // Floating-point columns, as some editions of the suite have: plain decimals, never an exponent.
    logIn({"'001', 2024, 2.5, 'PC-A', 'u1', '2024-02-29 23:59:59.997'",
           "'002', 1e16, 0.0001, 'PC-B', 'u2', '2024-03-01 00:00:00'"}, QStringLiteral("float"));
    Controls::command(9)->click();
    QCOMPARE(sortedRows(), (QStringList{"001 2024 2.5 PC-A u1 2024-02-29 23:59:59",
                                        "002 10000000000000000 0.0001 PC-B u2 2024-03-01 00:00:00"}));
}

void TstExportTab::clearingDeletesEveryRowAndReturnsToListing()
{
    logIn({"'001', 2024, 1, 'PC-A', 'u1', '2024-01-01 08:00:00'", "'002', 2024, 2, 'PC-B', 'u2', '2024-01-01 08:00:00'"});
    Controls::command(9)->click();
    QCOMPARE(Controls::list(3)->rowCount(), 2);
    // A row written after the listing goes too: the deletion has no condition.
    m_sandbox.execute(QStringLiteral("zrsystem"),
                      QStringLiteral("insert into ua_outpzlog values ('009', 2024, 9, 'PC-Z', 'u9', '2024-09-09 09:09:09')"));
    m_sandbox.clearStatements();
    int rowsWhileShown = -1;
    MessageBoxWatcher watcher([&](QMessageBox*) { rowsWhileShown = Controls::list(3)->rowCount(); });

    Controls::command(9)->click();

    QCOMPARE(sent(), QStringList{"delete from ua_outpzlog"});
    QCOMPARE(m_boxes->count(), 2);
    verifyInformation(m_boxes->last(), QStringLiteral("清除成功！"));
    QCOMPARE(rowsWhileShown, 0);
    QCOMPARE(caption(), QStringLiteral("刷新(&R)"));
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("zrsystem"), QStringLiteral("ua_outpzlog")), 0);

    // Back to listing.
    Controls::command(9)->click();
    QCOMPARE(sent(), (QStringList{"delete from ua_outpzlog", ListQuery}));
    QCOMPARE(m_boxes->last().text, QStringLiteral("没有异常记录！"));
}

void TstExportTab::failingListingKeepsTheState()
{
    logIn({"'001', 2024, 1, 'PC-A', 'u1', '2024-01-01 08:00:00'"});
    m_sandbox.faults().failStatements(QRegularExpression(QStringLiteral("from ua_outpzlog")), 208,
                                      QStringLiteral("Invalid object name 'ua_outpzlog'."));
    Controls::command(9)->click();

    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().title, QStringLiteral("错误"));
    QVERIFY2(m_boxes->last().text.contains(QStringLiteral("Invalid object name 'ua_outpzlog'.")),
             qPrintable(m_boxes->last().text));
    QCOMPARE(caption(), QStringLiteral("刷新(&R)"));
    QCOMPARE(Controls::list(3)->rowCount(), 0);

    // The program goes on: once the server answers again the same button lists.
    m_sandbox.faults().clear();
    Controls::command(9)->click();
    QCOMPARE(m_boxes->last().text, Listed.arg(1));
    QCOMPARE(Controls::list(3)->rowCount(), 1);
}

QTEST_MAIN(TstExportTab)
#include "tst_exporttab.moc"
