// Start-up and the login window driven for real against the sandbox server: its layout, failed
// and successful logins, what the server receives, and the exits.
#include "support/LoginDriver.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "app/PublicADO.h"
#include "app/Twips.h"
#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startupAndWindowLooks();
    void layout_data();
    void layout();
    void wrongServerOrPasswordThenRightPassword();
    void failureInsideTheLoginThenRetry_data();
    void failureInsideTheLoginThenRetry();
    void statementsOfALogin();
    void exportTabFollowsTable();
    void exits();

private:
    Form1& login() { return Form1::instance(); }
    QLineEdit* text(const char* name) { return login().findChild<QLineEdit*>(QLatin1String(name)); }
    bool logIn() { return LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()); }
    // The one box shown: the login's own failure box, without title, with the server's words.
    void verifyFailureBox(const QString& words);

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
    int m_programEnds = 0;
};

void TestLogin::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([this] { ++m_programEnds; });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
}

void TestLogin::init()
{
    LoginDriver::reset();
    m_programEnds = 0;
    m_boxes->clear();
    m_sandbox.faults().clear();
}

void TestLogin::verifyFailureBox(const QString& words)
{
    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxDriver::Box& box = m_boxes->last();
    QCOMPARE(box.title, QString());
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttonTexts, QStringList{QStringLiteral("确定")});
    QVERIFY2(box.text.contains(words) && !box.text.trimmed().isEmpty(), qPrintable(box.text));
    QVERIFY(login().isVisible());
    QVERIFY(!Form2::isLoaded());
    QCOMPARE(m_programEnds, 0);
}

void TestLogin::layout_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label1") << QStringLiteral("服务器：") << QRect(2760, 1995, 1455, 375);
    QTest::newRow("Text1") << QStringLiteral("(local)") << QRect(3720, 1920, 2655, 300);
    QTest::newRow("Label2") << QStringLiteral("SA密码：") << QRect(2760, 2520, 1455, 375);
    QTest::newRow("Text2") << QString() << QRect(3720, 2475, 2655, 300);
    QTest::newRow("Command1") << QStringLiteral("确定(&O)") << QRect(3000, 3360, 1215, 495);
    QTest::newRow("Command2") << QStringLiteral("退出(&E)") << QRect(4920, 3360, 1215, 495);
}

void TestLogin::layout()
{
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    auto* control = login().findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &login());
    QCOMPARE(control->geometry(), QRect(Twips::toPixels(twips.x()), Twips::toPixels(twips.y()),
                                        Twips::toPixels(twips.width()), Twips::toPixels(twips.height())));
    QCOMPARE(control->property("text").toString(), caption);
}

void TestLogin::startupAndWindowLooks()
{
    // Start-up shows the login window, modeless, the password box focused.
    QVERIFY(!Form1::isLoaded());
    PublicADO::Main();
    Form1& window = login();
    QVERIFY(window.isVisible() && !window.isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(window.focusWidget(), text("Text2"));
    QCOMPARE(window.windowTitle(), QStringLiteral("登陆"));
    QCOMPARE(window.size(), QSize(458, 291));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!window.windowIcon().isNull());

    // The picture is drawn from the top-left corner: the banner's deep blue there, white on the right.
    const QImage shown = window.grab().toImage();
    const QColor banner = shown.pixelColor(4, 4);
    QVERIFY2(banner.blue() > 120 && banner.red() < 90, qPrintable(banner.name()));
    const QColor right = shown.pixelColor(440, 100);
    QVERIFY2(right.red() > 240 && right.green() > 240 && right.blue() > 240, qPrintable(right.name()));

    // The password shows as asterisks only.
    text("Text2")->setText(QStringLiteral("Secret1"));
    QCOMPARE(text("Text2")->displayText(), QStringLiteral("*******"));
    QCOMPARE(text("Text1")->echoMode(), QLineEdit::Normal);
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("Command1"))->isDefault());

    // Tab order: server, password, OK, exit, and round again.
    text("Text1")->setFocus();
    for (const char* next : {"Text2", "Command1", "Command2", "Text1"}) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        QCOMPARE(window.focusWidget()->objectName(), QLatin1String(next));
    }

    // Chinese shows whatever the system locale (the tests run under C.UTF-8): the font has the glyphs.
    QCOMPARE(QApplication::font().pointSize(), 9);
    const QFontMetrics metrics(QApplication::font());
    for (const QChar c : QStringLiteral("锁务通登陆清除异常任务帐套"))
        QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
}

void TestLogin::wrongServerOrPasswordThenRightPassword()
{
    // The server box is used exactly as typed, blanks included.
    text("Text1")->setText(QStringLiteral(" no-such-host.invalid "));
    text("Text2")->setText(m_sandbox.password());
    login().findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(PublicADO::SysConnectionString(),
             QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=zrsystem;Data Source= "
                            "no-such-host.invalid "));
    verifyFailureBox(QString());
    m_boxes->clear();

    text("Text1")->setText(m_sandbox.serverName());
    text("Text2")->setText(m_sandbox.password() + QStringLiteral("x"));
    // Enter in the password box presses the default button.
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    verifyFailureBox(QStringLiteral("Login failed for user 'sa'."));
    QVERIFY(!m_boxes->last().text.contains(m_sandbox.password()));
    QCOMPARE(text("Text1")->text(), m_sandbox.serverName());

    text("Text2")->setText(m_sandbox.password());
    QTest::keyClick(text("Text2"), Qt::Key_Enter);
    QCOMPARE(m_boxes->count(), 1);
    QVERIFY(!login().isVisible());
    QVERIFY(Form2::isLoaded() && Form2::instance().isVisible() && !Form2::instance().isModal());
    QCOMPARE(PublicADO::SysConnection().state(), db::StateOpen);
    QCOMPARE(PublicADO::ExportConnection().state(), db::StateOpen);
    // The hidden login window still holds what was typed, for later connections.
    QCOMPARE(Form1::instance().serverName(), m_sandbox.serverName());
    QCOMPARE(Form1::instance().password(), m_sandbox.password());
    QCOMPARE(m_programEnds, 0);
}

void TestLogin::failureInsideTheLoginThenRetry_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("words");
    // The existence test, after both connections were opened; they stay open for the next attempt.
    QTest::newRow("existence test") << "ua_outpzlog" << 229
                                    << "The SELECT permission was denied on the object 'sysobjects'.";
    // The main window loads inside the login: a failing load step is the login's failure.
    QTest::newRow("load sequence") << "from ua_task a right join" << 208 << "Invalid object name 'ua_tasklog'.";
}

void TestLogin::failureInsideTheLoginThenRetry()
{
    QFETCH(QString, statement);
    QFETCH(int, error);
    QFETCH(QString, words);
    m_sandbox.faults().failStatements(QRegularExpression(statement), error, words);
    QVERIFY(!logIn());
    verifyFailureBox(words);
    QCOMPARE(PublicADO::SysConnection().state(), db::StateOpen);
    QCOMPARE(PublicADO::ExportConnection().state(), db::StateOpen);

    // The next attempt closes and reopens them and loads the main window afresh.
    m_sandbox.faults().clear();
    QVERIFY(logIn());
    QCOMPARE(m_boxes->count(), 1);
}

void TestLogin::statementsOfALogin()
{
    m_sandbox.clearStatements();
    QVERIFY(logIn());

    // The existence test on the second connection, then the main window's load sequence on the
    // first: the task list and the account list. Nothing else.
    const auto statements = m_sandbox.statements();
    QStringList sql;
    for (const auto& statement : statements) {
        sql << statement.sql;
        QCOMPARE(statement.database.toLower(), QStringLiteral("zrsystem"));
    }
    QCOMPARE(sql, (QStringList{
                      QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'"),
                      QStringLiteral("select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) "
                                     "as 登陆时间,b.taskstate from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid"),
                      QStringLiteral("Select cAcc_id,cAcc_Name from ua_account"),
                  }));
    // SysConnection was opened first.
    QVERIFY(statements.at(0).connection > statements.at(1).connection);
    QCOMPARE(statements.at(1).connection, statements.at(2).connection);
}

void TestLogin::exportTabFollowsTable()
{
    QVERIFY(logIn());
    QVERIFY(Form2::instance().findChild<QTabWidget*>(QStringLiteral("SSTab1"))->isTabVisible(2));
    LoginDriver::reset();

    m_sandbox.execute(QStringLiteral("zrsystem"), QStringLiteral("drop table ua_outpzlog"));
    QVERIFY(logIn());
    auto* tabs = Form2::instance().findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    QVERIFY(tabs->isTabVisible(0) && tabs->isTabVisible(1));
    QVERIFY(!tabs->isTabVisible(2));
    // The hidden tab cannot be reached from the keyboard either.
    tabs->setCurrentIndex(1);
    QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QTest::keyClick(tabs, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(m_boxes->count(), 0);
    m_sandbox.restoreFixture();
}

void TestLogin::exits()
{
    login().findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QCOMPARE(m_programEnds, 1);
    // Closing the window by its close box does the same.
    LoginDriver::reset();
    login().close();
    QCOMPARE(m_programEnds, 2);
    QVERIFY(!Form2::isLoaded());

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

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
