// The second statement of a two-statement command fails on the server: the first stays done,
// the message carries the server's text, and a refresh shows what the tables really hold.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace {

using Controls = MainWindowControls;

const QString Deadlock = QStringLiteral("Transaction (Process ID 57) was deadlocked on lock resources with another "
                                        "process and has been chosen as the deadlock victim. Rerun the transaction.");

enum class Command { ById, ByStation, Abnormal, All };

}  // namespace

class TstPartialCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        QVERIFY(m_sandbox.start());
    }
    void cleanup()
    {
        LoginDriver::reset();
        m_sandbox.faults().clear();
        m_sandbox.restoreFixture();
    }
    void secondDeletionFails_data();
    void secondDeletionFails();

private:
    QStringList taskIds(const QString& table)
    {
        QStringList ids;
        for (const QVariantList& row :
             m_sandbox.fixture().rows(QStringLiteral("zrsystem"), QStringLiteral("select cTaskId from %1").arg(table)))
            ids.append(row.value(0).toString());
        ids.sort();
        return ids;
    }

    SandboxHarness m_sandbox;
};

void TstPartialCommands::secondDeletionFails_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("taskAfter");
    QTest::addColumn<QString>("doneMessage");

    // The demo's ua_task: 0998, 1001, 1002, 1003, 1004, 1006, 1008; 1003, 1006 and 1005 (log only)
    // are abnormal; CAIWU-PC01 runs 1001 to 1003.
    QTest::newRow("清除 by id") << int(Command::ById) << QStringLiteral("delete from ua_tasklog where cTaskId='1004'")
                              << QStringList{"0998", "1001", "1002", "1003", "1006", "1008"}
                              << QStringLiteral("ID为[1004]的任务清除成功");
    QTest::newRow("清除 by computer") << int(Command::ByStation)
                                    << QStringLiteral("delete from ua_tasklog where cStation='CAIWU-PC01'")
                                    << QStringList{"0998", "1004", "1006", "1008"}
                                    << QStringLiteral("计算机名为[CAIWU-PC01]的任务清除成功");
    QTest::newRow("清除异常任务") << int(Command::Abnormal)
                            << QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or "
                                              "cast(TaskState as int)<'0'")
                            << QStringList{"0998", "1001", "1002", "1004", "1008"} << QStringLiteral("异常任务清除完毕");
    QTest::newRow("清除所有任务") << int(Command::All) << QStringLiteral("delete from ua_tasklog") << QStringList{}
                            << QStringLiteral("清除成功");
}

void TstPartialCommands::secondDeletionFails()
{
    QFETCH(int, command);
    QFETCH(QString, second);
    QFETCH(QStringList, taskAfter);
    QFETCH(QString, doneMessage);
    MessageBoxDriver driver;
    QVERIFY(LoginDriver(driver).logIn(m_sandbox.serverName(), m_sandbox.password()));
    m_sandbox.clearStatements();
    const auto run = [&] {
        if (command == int(Command::ById) || command == int(Command::ByStation)) {
            const bool byId = command == int(Command::ById);
            qobject_cast<QRadioButton*>(Controls::find(byId ? QStringLiteral("Option1") : QStringLiteral("Option2")))
                ->click();
            QVERIFY(Controls::pick(Controls::combo(byId ? 1 : 2), byId ? QStringLiteral("1004") : QStringLiteral("CAIWU-PC01")));
            Controls::command(3)->click();
        } else if (command == int(Command::Abnormal)) {
            Controls::command(1)->click();
        } else {
            driver.answer(QMessageBox::Yes);
            Controls::command(2)->click();
        }
    };
    const QStringList logBefore = taskIds(QStringLiteral("ua_tasklog"));
    QStringList listBefore = Controls::rows(Controls::list(1));
    listBefore.sort();
    m_sandbox.faults().failStatements(
        QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(second) + QStringLiteral("$")), 1205,
        Deadlock);

    run();
    // The server's own words under "错误".
    QCOMPARE(driver.last().title, QStringLiteral("错误"));
    QVERIFY2(driver.last().text.contains(Deadlock), qPrintable(driver.last().text));
    for (const MessageBoxDriver::Box& shown : driver.boxes())
        QVERIFY(shown.text != doneMessage);
    // Two statements, no refresh after the failure; the first took effect and stays: nothing
    // wraps the two in a transaction.
    QCOMPARE(m_sandbox.statements().size(), 2);
    QCOMPARE(m_sandbox.statements().last().sql, second);
    QCOMPARE(taskIds(QStringLiteral("ua_task")), taskAfter);
    QCOMPARE(taskIds(QStringLiteral("ua_tasklog")), logBefore);

    // The refresh shows the truth: every log row is still listed (the list comes from ua_tasklog).
    const int boxes = driver.count();
    Controls::command(4)->click();
    QCOMPARE(driver.count(), boxes);
    QStringList listAfter = Controls::rows(Controls::list(1));
    listAfter.sort();
    QCOMPARE(listAfter, listBefore);

    // And the same command, with the server willing, completes the job.
    m_sandbox.faults().clear();
    run();
    QCOMPARE(driver.last().text, doneMessage);
    QVERIFY(taskIds(QStringLiteral("ua_tasklog")).size() < logBefore.size());
}

QTEST_MAIN(TstPartialCommands)
#include "tst_partialcommands.moc"
