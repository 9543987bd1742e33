// A slow, failing, vanished or silent server, through the real windows over the demo data. Faults:
// - busy cursor missing while a statement runs, or left behind (after a failure, under a box);
// - a failed fill leaving a list, selector or year on offer; a login without timeout or past it;
// - a failed statement reported as success, followed by the next one, a reload or resend, or undone;
// - a dropped link not reopened, a statement sent twice, a login asked again;
// - a wait that freezes the windows, lets a click start another handler, shows "请稍候" too early or
//   never, cannot be cancelled (even when ignored), outlasts the statement timeout, spoils the link.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "db/Connection.h"
#include "ui/main/Form2.h"
#include "ui/WaitingWindow.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;
using statements::TaskQuery;

namespace {

enum class Action { TaskRefresh, ClearAbnormal, YearList, ExportListing };
enum class Failure { None, ServerError, LinkDropped, ServerGone };
enum Command { ById, ByStation, Abnormal, All };
enum class Silence { Delay, Unresponsive };

const QString Deadlock = QStringLiteral("Transaction (Process ID 57) was deadlocked on lock resources with another "
                                        "process and has been chosen as the deadlock victim. Rerun the transaction.");

// The override cursor's shape, or -1 for none.
int cursorShape()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

QRegularExpression exactly(const QString& statement)
{
    return QRegularExpression("^" + QRegularExpression::escape(statement) + "$");
}

}  // namespace

class TstFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_session.start());
        // Runs on the server's thread while the program waits for this very answer: the cursor the user sees.
        m_session.sandbox().server().addStatementHook([this](const sandbox::StatementRecord&) {
            QMutexLocker lock(&m_mutex);
            m_cursors.append(cursorShape());
        });
    }
    void cleanup()
    {
        m_session.reset();
        if (m_session.sandbox().server().port() == 0)
            QVERIFY(m_session.sandbox().server().start());
        m_session.sandbox().restoreFixture();
        PublicADO::SysConnection().setLoginTimeout(15);
        db::Connection::setStatementTimeout(30);
        // A leaked cursor would outlive the case that leaked it.
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    void busyCursor_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<int>("statements");
        QTest::addColumn<int>("boxes");
        QTest::newRow("task refresh") << Action::TaskRefresh << Failure::None << 1 << 0;
        QTest::newRow("two deletions, refresh, message") << Action::ClearAbnormal << Failure::None << 3 << 1;
        QTest::newRow("year list, read row by row") << Action::YearList << Failure::None << 1 << 0;
        QTest::newRow("export listing") << Action::ExportListing << Failure::None << 1 << 1;
        QTest::newRow("server error") << Action::TaskRefresh << Failure::ServerError << 1 << 1;
        QTest::newRow("link dropped during the statement") << Action::TaskRefresh << Failure::LinkDropped << 1 << 1;
        QTest::newRow("server gone, reconnection refused") << Action::TaskRefresh << Failure::ServerGone << 0 << 1;
    }

    void busyCursor()
    {
        QFETCH(Action, action);
        QFETCH(Failure, failure);
        QFETCH(int, statements);
        QFETCH(int, boxes);
        QVERIFY(m_session.logIn());
        QList<int> atBoxes;
        this->boxes().onShown([&](const QMessageBox&) { atBoxes.append(cursorShape()); });
        m_cursors.clear();
        m_session.sandbox().faults().setDelay(std::chrono::milliseconds(120));
        if (failure == Failure::ServerError)
            m_session.sandbox().faults().failStatements(exactly(TaskQuery), 1205, Deadlock);
        else if (failure == Failure::LinkDropped)
            m_session.sandbox().faults().dropConnectionOn(exactly(TaskQuery));
        else if (failure == Failure::ServerGone)
            m_session.sandbox().server().stop();

        if (action == Action::YearList)
            QVERIFY(Controls::pick(Controls::combo(3), "[002]上海明德贸易有限公司") && Controls::combo(4)->count() == 2);
        else
            Controls::command(action == Action::TaskRefresh ? 4 : action == Action::ClearAbnormal ? 1 : 9)->click();
        QMutexLocker lock(&m_mutex);
        QCOMPARE(m_cursors, QList<int>(statements, int(Qt::WaitCursor)));
        QCOMPARE(this->boxes().count(), boxes);
        if (failure != Failure::None)
            QCOMPARE(this->boxes().last().title, "错误");
        // Every box, and what follows, with the normal cursor.
        QCOMPARE(atBoxes, QList<int>(boxes, -1));
        QCOMPARE(cursorShape(), -1);
    }

    void failedFillsOfferNothing()
    {
        QVERIFY(m_session.logIn());
        // A task picked, "清除" ready; the refresh fails: list and selectors empty, the next refresh works.
        Controls::option(1)->click();
        QVERIFY(Controls::pick(Controls::combo(1), "1003"));
        QVERIFY(Controls::command(3)->isEnabled());
        fail("select distinct b.ctaskid");
        Controls::command(4)->click();
        verifyError(1, "Invalid object name");
        QVERIFY(Controls::list(1)->rowCount() == 0 && Controls::combo(1)->count() == 0 && Controls::combo(2)->count() == 0);
        QVERIFY(!Controls::command(3)->isEnabled());
        m_session.sandbox().faults().clear();
        Controls::command(4)->click();
        QVERIFY(Controls::list(1)->rowCount() == 10 && Controls::combo(1)->count() == 10 && Controls::combo(2)->count() == 5);
        QVERIFY(Controls::combo(1)->currentIndex() == -1 && !Controls::command(3)->isEnabled());

        // Account 002's years cannot be read: 001's must not stay on offer for a scan of 002.
        Controls::showTab(1);
        QVERIFY(Controls::pick(Controls::combo(3), "[001]北京远航科技有限公司"));
        QVERIFY(Controls::command(5)->isEnabled());
        fail("select distinct iyear from UA_Period");
        QVERIFY(Controls::pick(Controls::combo(3), "[002]上海明德贸易有限公司"));
        verifyError(2, "Invalid object name");
        QVERIFY(Controls::combo(4)->count() == 0 && !Controls::command(5)->isEnabled() && !Controls::command(6)->isEnabled());
        m_session.sandbox().faults().clear();
        QVERIFY(Controls::pick(Controls::combo(3), "[002]上海明德贸易有限公司"));
        QCOMPARE(Controls::entries(Controls::combo(4)), (QStringList{"2016", "2017"}));
        QVERIFY(Controls::command(5)->isEnabled());

        // The fifth table's count fails: no list may call the tables after it free, nothing may be cleared.
        QVERIFY(Controls::pick(Controls::combo(3), "[001]北京远航科技有限公司"));
        QVERIFY(Controls::pick(Controls::combo(4), "2016"));
        Controls::command(5)->click();
        const QStringList fullScan = Controls::rows(Controls::list(2));
        QCOMPARE(fullScan.size(), 14);
        fail("select * from Fa_control");
        Controls::command(5)->click();
        verifyError(4, "Invalid object name");
        QVERIFY(Controls::list(2)->rowCount() == 0 && !Controls::command(6)->isEnabled() && Controls::command(5)->isEnabled());
        m_session.sandbox().faults().clear();
        Controls::command(5)->click();
        QCOMPARE(Controls::rows(Controls::list(2)), fullScan);
        QVERIFY(Controls::command(6)->isEnabled());
    }

    void loginTimeout_data()
    {
        QTest::addColumn<bool>("listening");  // else refused at once: the program does not sit out its timeout
        QTest::addColumn<int>("timeout");     // seconds set before the login; 0 keeps the program's own
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("program's own timeout, server never answers") << true << 0 << 14000 << 20000 << "Timeout expired";
        QTest::newRow("server never answers") << true << 2 << 1500 << 6000 << "";
        QTest::newRow("nothing listens") << false << 0 << 0 << 3000 << "Unable to connect";
    }

    void loginTimeout()
    {
        QFETCH(bool, listening);
        QFETCH(int, timeout);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QFETCH(QString, text);
        for (const db::Connection* connection : {&PublicADO::SysConnection(), &PublicADO::ExportConnection(), &PublicADO::AccountConnection()})
            QCOMPARE(connection->loginTimeout(), 15);  // every connection the program opens waits as long
        if (timeout)
            PublicADO::SysConnection().setLoginTimeout(timeout);
        const QString name = listening ? m_session.sandbox().serverName() : m_session.sandbox().unusedServerName();
        m_session.sandbox().faults().setUnresponsive(listening);

        qint64 shownAfter = -1;
        QElapsedTimer timer;
        boxes().onShown([&](const QMessageBox&) { shownAfter = shownAfter < 0 ? timer.elapsed() : shownAfter; });
        LoginDriver login(boxes());
        timer.start();
        QVERIFY(!login.logIn(name, m_session.sandbox().password()));
        QVERIFY2(shownAfter >= minMs && shownAfter < maxMs, qPrintable(QString::number(shownAfter)));
        QCOMPARE(boxes().count(), 1);
        QVERIFY(boxes().last().title.isEmpty() && boxes().last().icon == QMessageBox::Information);
        QVERIFY2(boxes().last().text.contains(text), qPrintable(boxes().last().text));
        QVERIFY(Form1::instance().isVisible() && !Form2::isLoaded());

        // Once the server answers the same window logs in.
        m_session.sandbox().faults().setUnresponsive(false);
        QVERIFY(login.logIn(m_session.sandbox().serverName(), m_session.sandbox().password()));
    }

    void commandFails_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("failing");  // the statement the server refuses, the last one sent
        QTest::addColumn<int>("sent");
        QTest::addColumn<QStringList>("tasksLeft");
        QTest::addColumn<QString>("done");
        // The demo's ua_task: 0998, 1001 to 1004, 1006, 1008; 1003, 1006 and 1005 (log only) are
        // abnormal; CAIWU-PC01 runs 1001 to 1003.
        const QStringList all = {"0998", "1001", "1002", "1003", "1004", "1006", "1008"};
        QTest::newRow("清除 by id") << int(ById) << "delete from ua_tasklog where cTaskId='1004'" << 2 << QStringList{"0998", "1001", "1002", "1003", "1006", "1008"} << "ID为[1004]的任务清除成功";
        QTest::newRow("清除 by computer") << int(ByStation) << "delete from ua_tasklog where cStation='CAIWU-PC01'" << 2 << QStringList{"0998", "1004", "1006", "1008"} << "计算机名为[CAIWU-PC01]的任务清除成功";
        QTest::newRow("清除异常任务, first refused") << int(Abnormal) << statements::ClearAbnormal.first() << 1 << all << "异常任务清除完毕";
        QTest::newRow("清除异常任务, second refused") << int(Abnormal) << statements::ClearAbnormal.last() << 2 << QStringList{"0998", "1001", "1002", "1004", "1008"} << "异常任务清除完毕";
        QTest::newRow("清除所有任务, second refused") << int(All) << "delete from ua_tasklog" << 2 << QStringList{} << "清除成功";
    }

    void commandFails()
    {
        QFETCH(int, command);
        QFETCH(QString, failing);
        QFETCH(int, sent);
        QFETCH(QStringList, tasksLeft);
        QFETCH(QString, done);
        QVERIFY(m_session.logIn());
        const auto run = [&] {
            if (command == ById || command == ByStation) {
                Controls::option(command == ById ? 1 : 2)->click();
                QVERIFY(Controls::pick(Controls::combo(command == ById ? 1 : 2), command == ById ? "1004" : "CAIWU-PC01"));
                Controls::command(3)->click();
            } else {
                if (command == All)
                    boxes().answer(QMessageBox::Yes);
                Controls::command(command == Abnormal ? 1 : 2)->click();
            }
        };
        const QStringList logBefore = ids("ua_tasklog");
        const auto listed = [] { QStringList rows = Controls::rows(Controls::list(1)); rows.sort(); return rows; };
        const QStringList listBefore = listed();
        m_session.sandbox().faults().failStatements(exactly(failing), 1205, Deadlock);
        run();
        // The server's own words under "错误", never the completion message.
        QVERIFY2(boxes().last().title == "错误" && boxes().last().text.contains(Deadlock), qPrintable(boxes().last().text));
        QVERIFY(!boxes().texts().contains(done));
        // Nothing after the failing statement, no reload; what went before stays (no transaction).
        QCOMPARE(m_session.sent(SessionFixture::On::Sys).size(), sent);
        QCOMPARE(m_session.sent(SessionFixture::On::Sys).last(), failing);
        QVERIFY(ids("ua_task") == tasksLeft && ids("ua_tasklog") == logBefore);

        // The refresh shows the truth: every log row is still listed (the list comes from ua_tasklog).
        const int shown = boxes().count();
        Controls::command(4)->click();
        QCOMPARE(boxes().count(), shown);
        QCOMPARE(listed(), listBefore);

        // And the same command, with the server willing, completes the job.
        m_session.sandbox().faults().clear();
        run();
        QCOMPARE(boxes().last().text, done);
        QVERIFY(ids("ua_tasklog").size() < logBefore.size());
    }

    void linkDropsThenServerComesBack()
    {
        QVERIFY(m_session.logIn());
        // The link goes right as the second deletion of "清除所有任务" arrives.
        m_session.sandbox().faults().dropConnectionOn(exactly("delete from ua_tasklog"));
        boxes().answer(QMessageBox::Yes);
        Controls::command(2)->click();
        verifyError(2, "与数据库服务器的连接已断开");
        QVERIFY(boxes().last().text.contains("[FreeTDS]"));
        // Sent once each, in order, and then nothing: no resend, no refresh, no success message.
        QCOMPARE(m_session.sent(SessionFixture::On::Sys), (QStringList{"delete from ua_task", "delete from ua_tasklog"}));
        QVERIFY(m_session.data().count("zrsystem", "ua_task") == 0 && m_session.data().count("zrsystem", "ua_tasklog") == 10);

        // The server is down a while: the reconnection is tried, fails at once and says why.
        const quint16 port = m_session.sandbox().server().port();
        m_session.sandbox().server().stop();
        Controls::command(4)->click();
        verifyError(3, "重新连接失败");
        QVERIFY(boxes().last().text.contains("Unable to connect"));
        QCOMPARE(Controls::list(1)->rowCount(), 0);

        // Back on the same address, over the same data.
        QMutex mutex;  // the server's statement hook runs on its own thread
        QList<sandbox::StatementRecord> received;
        sandbox::SandboxServer::Options options;
        options.dataDir = m_session.sandbox().dataDir();
        options.port = port;
        options.password = m_session.sandbox().password();
        sandbox::SandboxServer back(options);
        back.addStatementHook([&](const sandbox::StatementRecord& record) { QMutexLocker lock(&mutex); received.append(record); });
        QString reason;
        QVERIFY2(back.start(&reason), qPrintable(reason));
        // The export connection, unused since, is reopened before the third tab finds it dead.
        Controls::showTab(2);
        Controls::command(9)->click();
        QCOMPARE(boxes().count(), 4);
        QCOMPARE(boxes().last().text, "共有3个异常记录，请点击清除按钮进行清除！");
        // The task list logs in again (same database); the reopened connection serves the next action too.
        const auto take = [&] { QMutexLocker lock(&mutex); return std::exchange(received, {}); };
        take();
        Controls::command(4)->click();
        Controls::command(4)->click();
        QVERIFY(boxes().count() == 4 && Controls::list(1)->rowCount() == 10);
        const QList<sandbox::StatementRecord> again = take();
        QVERIFY(again.size() == 2 && again[0].database == "zrsystem" && again[0].connection == again[1].connection);
        QVERIFY(again[0].sql == TaskQuery && again[1].sql == TaskQuery);
        // Pressed again, the command finishes the job.
        boxes().answer(QMessageBox::Yes);
        Controls::command(2)->click();
        QCOMPARE(boxes().last().text, "清除成功");
        QVERIFY(m_session.data().count("zrsystem", "ua_tasklog") == 0 && Controls::list(1)->rowCount() == 0);
        m_session.reset();
    }

    void waitOnServer_data()
    {
        QTest::addColumn<bool>("login");      // else the task list's refresh
        QTest::addColumn<Silence>("silence");
        QTest::addColumn<bool>("cancel");     // pressed 0.2 s after the window shows
        QTest::addColumn<int>("timeout");     // statement timeout in seconds; 0 keeps the program's own
        QTest::addColumn<QString>("box");     // what the box says first; empty for none
        QTest::addColumn<int>("maxMs");       // from the click (or the cancel) to the box, or the end
        QTest::newRow("slow answer, waited out") << false << Silence::Delay << false << 0 << "" << 2500;
        QTest::newRow("slow answer, cancelled") << false << Silence::Delay << true << 0 << "操作已取消" << 1000;
        QTest::newRow("silent server, cancel ignored") << false << Silence::Unresponsive << true << 0 << "操作已取消" << 2000;
        const QString timedOut = QStringLiteral("服务器在 2 秒内没有应答，语句的执行结果未知。\n");
        QTest::newRow("slow answer, statement timeout") << false << Silence::Delay << false << 2 << timedOut << 2800;
        QTest::newRow("silent server, statement timeout") << false << Silence::Unresponsive << false << 2 << timedOut << 3800;
        QTest::newRow("silent login, cancelled") << true << Silence::Unresponsive << true << 0 << "操作已取消" << 2000;
    }

    void waitOnServer()
    {
        QFETCH(bool, login);
        QFETCH(Silence, silence);
        QFETCH(bool, cancel);
        QFETCH(int, timeout);
        QFETCH(QString, box);
        QFETCH(int, maxMs);
        if (!login)
            QVERIFY(m_session.logIn());
        if (timeout)
            db::Connection::setStatementTimeout(timeout);
        if (silence == Silence::Delay)
            m_session.sandbox().faults().setDelay(std::chrono::milliseconds(box.isEmpty() ? 1500 : 8000));
        else
            m_session.sandbox().faults().setUnresponsive(true);

        // Sampled every 20 ms while the handler waits: the timer firing at all shows the loop alive.
        QElapsedTimer clock;
        qint64 shownAt = -1, cancelledAt = -1, boxAt = -1;
        QSet<QString> times;
        int samples = 0;
        QWidget* start = login ? static_cast<QWidget*>(&Form1::instance()) : &Form2::instance();
        // A click that got through would start a second handler: an exit, or more statements.
        QPushButton* other = start->findChild<QPushButton*>(login ? "Command2" : "Command1");
        QTimer sampler;
        sampler.setInterval(20);
        connect(&sampler, &QTimer::timeout, this, [&] {
            ++samples;
            if (!login)
                times.insert(Controls::find("Panel2")->property("text").toString());
            auto* waiting = QApplication::activeModalWidget();
            const bool up = waiting && waiting->windowTitle() == "请稍候";
            if (up && shownAt < 0) {
                shownAt = clock.elapsed();
                QCOMPARE(waiting->parentWidget(), start);
                // What is running, in the words of the handler that started it.
                QCOMPARE(waiting->findChild<QLabel*>()->text(), login ? "正在连接服务器 …" : "正在读取任务列表 …");
                QTest::mouseClick(other, Qt::LeftButton);
            }
            if (samples == 10)
                QTest::mouseClick(other, Qt::LeftButton);
            if (up && cancel && cancelledAt < 0 && clock.elapsed() > shownAt + 200) {
                cancelledAt = clock.elapsed();
                QTest::mouseClick(waiting->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        boxes().onShown([&](const QMessageBox&) { boxAt = boxAt < 0 ? clock.elapsed() : boxAt; });
        sampler.start();
        clock.start();
        if (login)
            LoginDriver(boxes()).logIn(m_session.sandbox().serverName(), m_session.sandbox().password());
        else
            Controls::command(4)->click();
        const qint64 endedAt = clock.elapsed();
        sampler.stop();

        QVERIFY2(shownAt >= WaitingWindow::ShowAfterMs && shownAt < WaitingWindow::ShowAfterMs + 400, qPrintable(QString::number(shownAt)));
        QVERIFY2(samples >= endedAt / 40, qPrintable(QString::number(samples)));
        if (!login && endedAt > 1100)
            QVERIFY2(times.size() >= 2, "the clock stood still");
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        const qint64 from = cancel ? cancelledAt : 0;
        QVERIFY2((box.isEmpty() ? endedAt : boxAt) - from < maxMs, qPrintable(QString::number(boxAt - from)));
        QCOMPARE(boxes().count(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty()) {
            QVERIFY2(boxes().last().text.startsWith(box), qPrintable(boxes().last().text));
            // The driver's own words follow when it had any.
            QVERIFY(boxes().last().text.contains("Timeout expired") == (silence == Silence::Delay && timeout));
            QVERIFY(boxes().last().title == (cancel ? "提示" : "错误") && boxes().last().icon == (cancel ? QMessageBox::Information : QMessageBox::Critical));
        }
        // The refresh alone ran, and only when it was not given up.
        if (login)
            QVERIFY(Form1::instance().isVisible() && !Form2::isLoaded());
        else
            QCOMPARE(m_session.sent(SessionFixture::On::Sys), box.isEmpty() ? QStringList{TaskQuery} : QStringList{});
        if (!login)
            QVERIFY(Controls::list(1)->rowCount() == (box.isEmpty() ? 10 : 0) && !Controls::command(3)->isEnabled());

        // Once the server answers, the same window goes on, on a connection opened afresh if need be.
        m_session.sandbox().faults().clear();
        if (login)
            QVERIFY(LoginDriver(boxes()).logIn(m_session.sandbox().serverName(), m_session.sandbox().password()));
        else
            Controls::command(4)->click();
        QCOMPARE(Controls::list(1)->rowCount(), 10);
        QCOMPARE(boxes().count(), box.isEmpty() ? 0 : 1);
    }

private:
    MessageBoxDriver& boxes() { return m_session.boxes(); }
    void verifyError(int count, const QString& part)
    {
        QCOMPARE(boxes().count(), count);
        QVERIFY(boxes().last().title == "错误" && boxes().last().icon == QMessageBox::Critical);
        QVERIFY2(boxes().last().text.contains(part), qPrintable(boxes().last().text));
        // The program goes on, with the main window as it was and no login asked for.
        QVERIFY(Form2::instance().isVisible() && !Form1::instance().isVisible());
    }
    void fail(const QString& start)
    {
        m_session.sandbox().faults().failStatements(QRegularExpression("^" + QRegularExpression::escape(start)), 208, "Invalid object name 'ua_tasklog'.");
    }
    QStringList ids(const char* table)
    {
        QStringList ids;
        for (const QVariantList& row : m_session.data().rows("zrsystem", QStringLiteral("select cTaskId from ") + table))
            ids.append(row[0].toString());
        ids.sort();
        return ids;
    }

    SessionFixture m_session;
    QMutex m_mutex;
    QList<int> m_cursors;
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
