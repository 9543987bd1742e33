// Start-up and the login window, driven for real against the sandbox. Faults caught: a failed login
// showing anything but the layer's own description in the login's untitled information box, or
// leaving the window hidden, disabled, busy or with its texts changed, the main window loaded, the
// program ended or the wrong connections open; a port that is no port, or a text too long for the
// driver, reaching some server anyway; a failure without its Chinese sentence in front of the driver's
// text; a retry that fails; other statements than a login's three, or on the wrong connection; the
// third tab shown without its table; exits that send or leave anything.
#include "support/LoginDriver.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "app/ProgramEnd.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "db/DbError.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

class TestLogin : public QObject {
    Q_OBJECT

private:
    Form1& login() { return Form1::instance(); }
    QLineEdit* text(const char* name) { return login().findChild<QLineEdit*>(QLatin1String(name)); }
    bool logIn() { return LoginDriver(m_session.boxes()).logIn(m_sandbox.serverName(), m_sandbox.password()); }

    SessionFixture m_session;
    SandboxHarness& m_sandbox = m_session.sandbox();
    MessageBoxDriver* m_boxes = &m_session.boxes();
    int m_programEnds = 0;

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
    }

    void startupAndWindow()
    {
        // Start-up shows the login window, modeless, the password box focused.
        QVERIFY(!Form1::isLoaded());
        PublicADO::Main();
        Form1& window = login();
        QVERIFY(window.isVisible() && !window.isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(window.focusWidget(), text("Text2"));
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
        QVERIFY(!login().isVisible() && Form2::isLoaded() && Form2::instance().isVisible() && !Form2::instance().isModal());
        QVERIFY(PublicADO::SysConnection().state() == db::StateOpen && PublicADO::ExportConnection().state() == db::StateOpen);
        // The hidden login window still holds what was typed, for later connections.
        QVERIFY(text("Text1")->text() == m_sandbox.serverName() && text("Text2")->text() == m_sandbox.password());
    }

    void statementsOfALogin()
    {
        m_sandbox.clearStatements();
        QVERIFY(logIn());
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

    void exportTabFollowsTable()
    {
        QVERIFY(logIn());
        QVERIFY(Form2::instance().findChild<QTabWidget*>(QStringLiteral("SSTab1"))->isTabVisible(2));
        LoginDriver::reset();

        m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("drop table ua_outpzlog"));
        QVERIFY(logIn());
        auto* tabs = Form2::instance().findChild<QTabWidget*>(QStringLiteral("SSTab1"));
        QVERIFY(tabs->isTabVisible(0) && tabs->isTabVisible(1) && !tabs->isTabVisible(2));
        // The hidden tab cannot be reached from the keyboard either.
        tabs->setCurrentIndex(1);
        QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::keyClick(tabs, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(m_boxes->count(), 0);
        m_sandbox.restoreFixture();
    }

    void exits()
    {
        login().findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QCOMPARE(m_programEnds, 1);
        // Closing the window by its close box does the same.
        LoginDriver::reset();
        login().close();
        QCOMPARE(m_programEnds, 2);

        // After a login, closing the hidden login window ends both, without a statement.
        LoginDriver::reset();
        QVERIFY(logIn());
        m_sandbox.clearStatements();
        login().close();
        QCOMPARE(m_programEnds, 3);
        QVERIFY(!Form2::isLoaded());
        QCOMPARE(m_sandbox.statements().size(), 0);
        QCOMPARE(m_boxes->count(), 0);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
