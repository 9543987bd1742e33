// Start-up, the login window and the main window, driven for real against the sandbox. Faults caught:
// - a failed login showing anything but the layer's own description in the login's untitled
//   information box, or leaving the window hidden, disabled, busy or with its texts changed, the
//   main window loaded, the program ended or the wrong connections open; a retry that fails;
// - a port that is no port, or a text too long for the driver, reaching some server anyway; a
//   failure without its Chinese sentence in front of the driver's text;
// - other statements than a login's three, or on the wrong connection; the third tab shown without
//   its table; the main window opening on another tab than the first;
// - a list with wrong or misplaced columns or widths, or open to editing or many selections;
// - status-bar panels showing other than the window's own texts; a clock that stops, or a date that
//   follows it past midnight;
// - an exit that asks, sends or leaves anything, or fires from the hidden tab's accelerator;
// - a box with the wrong title, icon, buttons, default or owner, or taking server texts for markup;
//   a failure, whatever was thrown, not shown with its own text in its handler's box, or not ending it.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "app/ProgramEnd.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "db/DbError.h"
#include "ui/ErrorGuard.h"
#include "ui/Twips.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>
#include <stdexcept>

using Show = std::function<void(QWidget*)>;
Q_DECLARE_METATYPE(Show)

class TestLogin : public QObject {
    Q_OBJECT

private:
    Form1& login() { return Form1::instance(); }
    Form2& main() { return Form2::instance(); }
    QLineEdit* text(const char* name) { return login().findChild<QLineEdit*>(QLatin1String(name)); }
    QTabWidget* tabs() { return qobject_cast<QTabWidget*>(MainWindowControls::find(QStringLiteral("SSTab1"))); }

    SessionFixture m_session;
    SandboxHarness& m_sandbox = m_session.sandbox();
    MessageBoxDriver* m_boxes = &m_session.boxes();
    int m_programEnds = 0;
    QDateTime m_now;

private slots:
    void initTestCase()
    {
        QVERIFY(m_session.start());
        ProgramEnd::setAction([this] { ++m_programEnds; });
    }

    void init()
    {
        m_session.reset();
        m_programEnds = 0;
        m_now = QDateTime(QDate(2024, 2, 9), QTime(23, 59, 58));
        Form2::setClock([this] { return m_now; });
    }

    void startupAndWindow()
    {
        // Start-up shows the login window, modeless, the password box focused.
        QVERIFY(!Form1::isLoaded());
        PublicADO::Main();
        QVERIFY(login().isVisible() && !login().isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(login().focusWidget(), text("Text2"));
    }

    void failedLoginThenRetry_data()
    {
        QTest::addColumn<QString>("server");    // "sandbox": where the sandbox listens; "unused": where nothing does
        QTest::addColumn<QString>("password");  // "sandbox": the right one
        QTest::addColumn<QString>("fault");     // a statement the sandbox fails
        QTest::addColumn<QString>("words");     // in the box
        QTest::addColumn<bool>("connected");    // both connections stay open for the next attempt
        // What went wrong first, then the driver's own text.
        QTest::newRow("wrong password") << "sandbox" << "x" << ""
                                        << "数据库服务器拒绝了 sa 的登录：密码不正确，或 sa 登录已被禁用；请检查“SA密码”后重试。\n"
                                           "[FreeTDS][SQL Server]Login failed for user 'sa'.\n"
                                           "[FreeTDS][SQL Server]Unable to connect to data source" << false;
        QTest::newRow("refused") << "unused" << "sandbox" << "" << "拒绝了连接，该端口上没有 SQL Server 在监听" << false;
        QTest::newRow("port too big") << "127.0.0.1,99999" << "sandbox" << "" << "端口“99999”无效" << false;
        // As long as the box takes: the driver's limit is shorter.
        QTest::newRow("text too long") << QString(32700, QLatin1Char('s')) << "sandbox" << "" << "合起来太长" << false;
        QTest::newRow("existence test") << "sandbox" << "sandbox" << "ua_outpzlog"
                                        << "The SELECT permission was denied on the object 'sysobjects'." << true;
        // The main window loads inside the login: a failing load step is the login's failure.
        QTest::newRow("load sequence") << "sandbox" << "sandbox" << "from ua_task a right join"
                                       << "Invalid object name 'ua_tasklog'." << true;
    }

    void failedLoginThenRetry()
    {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, fault);
        QFETCH(QString, words);
        QFETCH(bool, connected);
        server = server == QLatin1String("sandbox") ? m_sandbox.serverName()
            : server == QLatin1String("unused")     ? m_sandbox.unusedServerName()
                                                    : server;
        password = password == QLatin1String("sandbox") ? m_sandbox.password() : password;
        if (!fault.isEmpty())
            m_sandbox.faults().failStatements(QRegularExpression(fault), 229, words);
        QVERIFY(!LoginDriver(*m_boxes).logIn(server, password));

        // The one box: the description exactly as the database layer gives it (the driver's own text,
        // or the layer's Chinese one), untitled, with an information icon and OK alone.
        QCOMPARE(m_boxes->count(), 1);
        const MessageBoxDriver::Box& box = m_boxes->last();
        if (fault.isEmpty()) {
            QString expected;
            try {
                db::Connection direct;
                direct.open(PublicADO::ConnectionString(QStringLiteral("zrsystem"), server), PublicADO::UserId(), password);
            } catch (const db::DbError& error) {
                expected = error.description();
            }
            QCOMPARE(box.text, expected);
        }
        QVERIFY2(box.text.contains(words) && !box.text.trimmed().isEmpty(), qPrintable(box.text.left(300)));
        QVERIFY(!box.text.contains(m_sandbox.password()));
        QVERIFY(box.title.isEmpty() && box.icon == QMessageBox::Information && box.textFormat == Qt::PlainText && box.modal);
        QCOMPARE(box.buttonTexts, QStringList{QStringLiteral("确定")});
        QCOMPARE(box.parentWindow, QStringLiteral("Form1"));

        // The login window stays as it was, ready for another try; nothing else happened.
        QVERIFY(login().isVisible() && login().isEnabled() && login().findChild<QPushButton*>("Command1")->isEnabled());
        QVERIFY(text("Text1")->text() == server && text("Text2")->text() == password);
        QVERIFY(!QApplication::overrideCursor() && !Form2::isLoaded() && m_programEnds == 0);
        QCOMPARE(PublicADO::SysConnectionString(),
                 QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=zrsystem;Data Source=") + server);
        QCOMPARE(PublicADO::SysConnection().state() == db::StateOpen, connected);
        QCOMPARE(PublicADO::ExportConnection().state() == db::StateOpen, connected);

        // Corrected and sent again with Enter in the password box, it succeeds.
        m_sandbox.faults().clear();
        text("Text1")->setText(m_sandbox.serverName());
        text("Text2")->setText(m_sandbox.password());
        QTest::keyClick(text("Text2"), Qt::Key_Return);
        QCOMPARE(m_boxes->count(), 1);
        QVERIFY(!login().isVisible() && Form2::isLoaded() && main().isVisible() && !main().isModal());
        QVERIFY(PublicADO::SysConnection().state() == db::StateOpen && PublicADO::ExportConnection().state() == db::StateOpen);
        // The hidden login window still holds what was typed, for later connections.
        QVERIFY(text("Text1")->text() == m_sandbox.serverName() && text("Text2")->text() == m_sandbox.password());
    }

    void statementsOfALogin()
    {
        m_sandbox.clearStatements();
        QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
        // The existence test on the second connection, then the main window's load sequence on the
        // first (opened first): the task list and the account list. Nothing else.
        const auto sent = m_sandbox.statements();
        QStringList sql;
        for (const auto& statement : sent) {
            sql << statement.sql;
            QCOMPARE(statement.database.toLower(), QStringLiteral("zrsystem"));
        }
        QCOMPARE(sql, (QStringList{statements::ExportProbe, statements::TaskQuery, QStringLiteral("Select cAcc_id,cAcc_Name from ua_account")}));
        QVERIFY(sent.at(0).connection > sent.at(1).connection);
        QCOMPARE(sent.at(1).connection, sent.at(2).connection);
    }

    void mainWindowOnLoad()
    {
        // The export tab follows its table; every login opens on the first tab.
        QVERIFY(m_session.logIn());
        QVERIFY(tabs()->isTabVisible(2));
        tabs()->setCurrentIndex(2);
        LoginDriver::reset();
        m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("drop table ua_outpzlog"));
        QVERIFY(m_session.logIn());
        m_sandbox.restoreFixture();
        QVERIFY(tabs()->currentIndex() == 0 && tabs()->isTabVisible(1) && !tabs()->isTabVisible(2));
        // The hidden tab cannot be reached from the keyboard either.
        tabs()->setCurrentIndex(1);
        QTest::keyClick(tabs(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs()->currentIndex(), 0);
        QTest::keyClick(tabs(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(m_boxes->count(), 0);

        const QList<std::tuple<QStringList, QList<int>>> expected = {
            {{"任务ID", "登陆模块", "计算机名", "登陆时间", "任务状态"}, {850, 1000, 1000, 1900, 900}},
            {{"序号", "数据表", "锁定记录数"}, {800, 1900, 1300}},
            {{"帐套号", "年度", "月份", "计算机名", "用户编码", "操作时间"}, {730, 750, 550, 1000, 1000, 1800}},
        };
        for (int number = 1; number <= 3; ++number) {
            QTableWidget* list = MainWindowControls::list(number);
            QVERIFY(list->selectionMode() == QAbstractItemView::SingleSelection && list->editTriggers() == QAbstractItemView::NoEditTriggers);
            const auto& [captions, twips] = expected.at(number - 1);
            QCOMPARE(list->columnCount(), captions.size());
            for (int i = 0; i < captions.size(); ++i)
                QVERIFY(list->horizontalHeaderItem(i)->text() == captions.at(i) && list->columnWidth(i) == Twips::toPixels(twips.at(i)));
        }
    }

    void statusBarAndClock()
    {
        QVERIFY(m_session.logIn());
        auto* bar = qobject_cast<QStatusBar*>(MainWindowControls::find(QStringLiteral("StatusBar1")));
        QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.size(), 3);
        std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
        for (int i = 0; i < 3; ++i)
            QCOMPARE(panels.at(i)->text(), main().panelText(i + 1));
        QVERIFY(main().panelText(1) == QStringLiteral("当前日期: 2024-02-09") && !main().panelText(3).isEmpty());
        QCOMPARE(main().panelText(2), QStringLiteral("当前时间: 23:59:58"));

        // The clock ticks every second; the date stays as it was at load, past midnight too.
        m_now = QDateTime(QDate(2024, 2, 10), QTime(7, 3, 9));
        QTRY_COMPARE_WITH_TIMEOUT(main().panelText(2), QStringLiteral("当前时间: 07:03:09"), 3000);
        QCOMPARE(main().panelText(1), QStringLiteral("当前日期: 2024-02-09"));
    }

    void exits()
    {
        // The login's exit button and close box; then after a login both main-window exit buttons,
        // its close box, the shown tab's "退出(&E)" accelerator (only that one), the hidden login's close.
        login().findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QCOMPARE(m_programEnds, 1);
        LoginDriver::reset();
        login().close();
        QCOMPARE(m_programEnds, 2);
        LoginDriver::reset();
        QVERIFY(m_session.logIn());
        MainWindowControls::command(7)->click();
        MainWindowControls::command(8)->click();
        main().close();
        QCOMPARE(m_programEnds, 5);
        main().show();
        tabs()->setCurrentIndex(1);
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keyClick(&main(), Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(m_programEnds, 6);  // an accelerator presses its button visibly, a moment later
        QTest::qWait(200);
        QCOMPARE(m_programEnds, 6);
        login().close();
        QCOMPARE(m_programEnds, 7);
        QVERIFY(!Form2::isLoaded());
        QCOMPARE(m_boxes->count(), 0);
        QCOMPARE(m_session.sentTo(), QStringList{});
    }

    void boxes_data()
    {
        // The login's box, the error box and the guard's database errors are the login and tab tests'.
        QTest::addColumn<Show>("show");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        const QString markup = QStringLiteral("共有3个单据有锁定记录\r\n<b>请点击【清除】按钮进行清除</b>");
        const QStringList ok = {QStringLiteral("确定")};
        QTest::newRow("information") << Show([=](QWidget* w) { MessageBoxes::information(w, markup); }) << markup << "提示"
                                     << int(QMessageBox::Information) << ok;
        QTest::newRow("question") << Show([](QWidget* w) { QVERIFY(MessageBoxes::question(w, "确认要清退所有站点吗？")); })
                                  << "确认要清退所有站点吗？" << "警告" << int(QMessageBox::Question) << QStringList{"是(Y)", "否(N)"};
        // The guard: the failure's own text, the rest of the handler skipped, false for the caller.
        const auto guarded = [](auto thrown) {
            return Show([=](QWidget* w) {
                bool rest = false;
                QVERIFY(!ErrorGuard::run(w, [&] { thrown(); rest = true; }));
                QVERIFY(!rest);
            });
        };
        QTest::newRow("guard, other") << guarded([] { throw std::runtime_error("disk full"); }) << "disk full" << "错误"
                                      << int(QMessageBox::Critical) << ok;
        QTest::newRow("guard, anything") << guarded([] { throw 42; }) << "未知错误" << "错误" << int(QMessageBox::Critical) << ok;
    }

    void boxes()
    {
        QFETCH(Show, show);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        QVERIFY(m_session.logIn());
        m_boxes->answer(QMessageBox::Yes);
        show(&main());
        QCOMPARE(m_boxes->count(), 1);
        const MessageBoxDriver::Box& box = m_boxes->last();
        QVERIFY(box.text == text && box.title == title && int(box.icon) == icon && box.buttonTexts == buttons);
        QVERIFY(box.textFormat == Qt::PlainText && box.modal && box.parentWindow == QStringLiteral("form2"));
        QCOMPARE(box.defaultButton, buttons.size() == 1 ? QMessageBox::Ok : QMessageBox::Yes);
        // The program goes on.
        QVERIFY(main().isVisible() && m_programEnds == 0);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
