// The link drops mid-command, then the server stops and comes back: the failing action says so,
// nothing is sent twice, and the next action after the server is back needs no new login.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

using Controls = MainWindowControls;

const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
const QString LinkLost = QStringLiteral("与数据库服务器的连接已断开");

}  // namespace

class TstReconnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        QVERIFY(m_sandbox.start());
    }
    void droppedMidCommandThenServerBack();

private:
    void verifyError(int boxes, const QString& part1, const QString& part2 = {})
    {
        QCOMPARE(m_boxes.count(), boxes);
        QCOMPARE(m_boxes.last().title, QStringLiteral("错误"));
        QCOMPARE(m_boxes.last().icon, QMessageBox::Critical);
        QVERIFY2(m_boxes.last().text.contains(part1) && m_boxes.last().text.contains(part2),
                 qPrintable(m_boxes.last().text));
        // The program goes on, with the main window as it was and no login asked for.
        QVERIFY(LoginDriver::mainWindow().isVisible());
        QVERIFY(!Form1::instance().isVisible());
    }
    void verifyListIsTrue();
    static QList<QPair<int, QString>> sent(const QList<sandbox::StatementRecord>& records)
    {
        QList<QPair<int, QString>> texts;
        for (const sandbox::StatementRecord& record : records)
            texts.append({record.connection, record.sql});
        return texts;
    }

    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
};

// The task list shows exactly the ids the server holds now.
void TstReconnect::verifyListIsTrue()
{
    QStringList truth;
    for (const QVariantList& row : m_sandbox.fixture().rows(QStringLiteral("zrsystem"), TaskQuery))
        truth.append(row.value(0).isNull() ? QStringLiteral("系统管理") : row.value(0).toString());
    QStringList listed;
    const QTableWidget* list = Controls::list(1);
    for (int row = 0; row < list->rowCount(); ++row)
        listed.append(list->item(row, 0)->text());
    truth.sort();
    listed.sort();
    QCOMPARE(listed, truth);
}

void TstReconnect::droppedMidCommandThenServerBack()
{
    QVERIFY(LoginDriver(m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    int sysConnection = 0;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        sysConnection = record.sql == TaskQuery ? record.connection : sysConnection;
    m_sandbox.clearStatements();

    // The link goes right as the second deletion of "清除所有任务" arrives.
    m_sandbox.faults().dropConnectionOn(QRegularExpression(QStringLiteral("^delete from ua_tasklog$")));
    m_boxes.answer(QMessageBox::Yes);
    Controls::command(2)->click();
    QCOMPARE(m_boxes.boxes().first().text, QStringLiteral("确认要清退所有站点吗？"));
    verifyError(2, LinkLost, QStringLiteral("[FreeTDS]"));
    // Sent once each, in order, and then nothing: no resend, no refresh, no success message.
    QCOMPARE(sent(m_sandbox.statements()),
             (QList<QPair<int, QString>>{{sysConnection, QStringLiteral("delete from ua_task")},
                                         {sysConnection, QStringLiteral("delete from ua_tasklog")}}));
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("zrsystem"), QStringLiteral("ua_task")), 0);
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("zrsystem"), QStringLiteral("ua_tasklog")), 10);

    // The server is down a while: the reconnection is tried, fails at once and says why.
    const quint16 port = m_sandbox.server().port();
    m_sandbox.server().stop();
    Controls::command(4)->click();
    verifyError(3, QStringLiteral("重新连接失败"), QStringLiteral("Unable to connect"));
    QCOMPARE(Controls::list(1)->rowCount(), 0);

    // Back on the same address, over the same data.
    sandbox::SandboxServer::Options options;
    options.dataDir = m_sandbox.dataDir();
    options.port = port;
    options.password = m_sandbox.password();
    sandbox::SandboxServer back(options);
    QString reason;
    QVERIFY2(back.start(&reason), qPrintable(reason));

    // The export connection, never used since, is reopened before the third tab finds its
    // link dead the hard way.
    Controls::showTab(2);
    Controls::command(9)->click();
    QCOMPARE(m_boxes.count(), 4);
    QCOMPARE(m_boxes.last().text, QStringLiteral("共有3个异常记录，请点击清除按钮进行清除！"));

    // The task list logs in again (same database) and shows the truth; the reopened connection
    // stays in use for the action after.
    back.clearStatements();
    Controls::command(4)->click();
    Controls::command(4)->click();
    QCOMPARE(m_boxes.count(), 4);
    verifyListIsTrue();
    const auto statements = back.statements();
    QCOMPARE(statements.size(), 2);
    QCOMPARE(statements.first().database, QStringLiteral("zrsystem"));
    QCOMPARE(sent(statements), (QList<QPair<int, QString>>{{statements.first().connection, TaskQuery},
                                                           {statements.first().connection, TaskQuery}}));

    // Pressed again, the command finishes the job.
    m_boxes.answer(QMessageBox::Yes);
    Controls::command(2)->click();
    QCOMPARE(m_boxes.last().text, QStringLiteral("清除成功"));
    QCOMPARE(m_sandbox.fixture().count(QStringLiteral("zrsystem"), QStringLiteral("ua_tasklog")), 0);
    QCOMPARE(Controls::list(1)->rowCount(), 0);
    LoginDriver::reset();
}

QTEST_MAIN(TstReconnect)
#include "tst_reconnect.moc"
