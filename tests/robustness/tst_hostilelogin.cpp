// Passwords and server names as administrators type them, through the real login window against
// the sandbox. Every password either signs in, and then reaches the business and cashier
// databases too, or is turned away with a clear message; it shows in no message box, no
// statement, no log line and no file. Every server name connects or fails with a clear message
// in good time.
#include "HostileCommon.h"
#include "support/CashierWindowDriver.h"
#include "support/MessageBoxWatcher.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "app/login/Form1.h"
#include "engine/DemoSeed.h"
#include "engine/Fixture.h"
#include "server/SandboxServer.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

namespace {

const QString ServerPassword = QStringLiteral("Srv;口令=7 x");
const QString Account = QStringLiteral("[001]北京远航科技有限公司");
const QString CashierDatabase = QStringLiteral("DaZovu_001_2016");

// Everything Qt and the program said on the message channels while the test ran.
QStringList loggedLines;
QtMessageHandler previousHandler = nullptr;

// Files under the folder, changed since the given moment, holding the text in UTF-8 or UTF-16.
QStringList filesHolding(const QString& folder, const QString& text, const QDateTime& since)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (files.fileInfo().lastModified() < since || files.fileInfo().size() > 64 * 1024 * 1024 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        if (bytes.contains(text.toUtf8()) || bytes.contains(utf16))
            found.append(file.fileName());
    }
    return found;
}

}  // namespace

class TstHostileLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        m_boxes->clear();
        m_programEnds = 0;
    }
    void cleanup()
    {
        LoginDriver::reset();
        QCOMPARE(m_programEnds, 0);
    }
    void cleanupTestCase()
    {
        m_server.reset();
        // Whatever the program, the driver or the server wrote meanwhile anywhere in the temporary
        // folders (this test's own among them): none of the passwords typed.
        for (const QString& password : m_passwordsUsed)
            QCOMPARE(filesHolding(QDir::tempPath(), password, m_started), QStringList());
        qInstallMessageHandler(previousHandler);
    }

    void passwords_data();
    void passwords();
    void serverNames_data();
    void serverNames();

private:
    std::unique_ptr<sandbox::SandboxServer> startServer(const QString& password, quint16 port)
    {
        auto server = std::make_unique<sandbox::SandboxServer>(sandbox::SandboxServer::Options{
            .dataDir = m_dir.path(), .port = port, .password = password, .logFile = m_logFile});
        QString reason;
        if (server->start(&reason))
            return server;
        qWarning("sandbox on port %d: %s", port, qPrintable(reason));
        return {};
    }
    static QString serverName(const sandbox::SandboxServer& server) { return QStringLiteral("127.0.0.1,%1").arg(server.port()); }
    void verifyNowhere(const QString& password)
    {
        for (const MessageBoxDriver::Box& box : m_boxes->boxes())
            QVERIFY2(!box.text.contains(password) && !box.title.contains(password), qPrintable(box.text));
        for (const QString& line : loggedLines)
            QVERIFY2(!line.contains(password), qPrintable(line));
        QCOMPARE(filesHolding(m_dir.path(), password, m_started), QStringList());
    }

    QTemporaryDir m_dir;
    QString m_logFile;
    std::unique_ptr<sandbox::SandboxServer> m_server;
    MessageBoxDriver* m_boxes = nullptr;
    QDateTime m_started;
    QStringList m_passwordsUsed;
    int m_programEnds = 0;
};

void TstHostileLogin::initTestCase()
{
    // File times have a resolution of a second on some systems.
    m_started = QDateTime::currentDateTime().addSecs(-2);
    previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& line) {
        loggedLines.append(line);
        if (previousHandler)
            previousHandler(type, context, line);
    });
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([this] { ++m_programEnds; });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_dir.isValid());
    m_logFile = m_dir.filePath(QStringLiteral("statements.jsonl"));
    sandbox::Fixture fixture(m_dir.path());
    QString error;
    QVERIFY2(sandbox::DemoSeed::fill(fixture.directory(), &error), qPrintable(error));
    m_server = startServer(ServerPassword, 0);
    QVERIFY(m_server);
}

void TstHostileLogin::passwords_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("semicolon") << QStringLiteral("Pw;9a") << true;
    QTest::newRow("closing brace") << QStringLiteral("Pw}9a") << true;
    QTest::newRow("two closing braces") << QStringLiteral("Pw}}9a") << true;
    QTest::newRow("opening brace first") << QStringLiteral("{Pw9a") << true;
    QTest::newRow("braced whole") << QStringLiteral("{Pw9a}") << true;
    QTest::newRow("semicolon then brace") << QStringLiteral("Pw;}9a") << true;
    QTest::newRow("equals") << QStringLiteral("Pw=9a") << true;
    QTest::newRow("key and value") << QStringLiteral("PWD=x;UID=y") << true;
    QTest::newRow("single quote") << QStringLiteral("Pw'9a") << true;
    QTest::newRow("double quote") << QStringLiteral("Pw\"9a") << true;
    QTest::newRow("blanks") << QStringLiteral(" Pw 9a ") << true;
    QTest::newRow("chinese") << QStringLiteral("甲乙密码丙丁") << true;
    QTest::newRow("all at once") << QStringLiteral(" {P;w}=\"'密 码 ") << true;
    // The FreeTDS driver of this system ends a braced value at the first "};" and cannot be
    // given one: the program says so instead of sending a different password.
    QTest::newRow("brace and semicolon") << QStringLiteral("Pw};9a") << false;
}

void TstHostileLogin::passwords()
{
    QFETCH(QString, password);
    QFETCH(bool, sendable);
    m_passwordsUsed.append(password);
    // A server of that password over the same data, for this case only.
    const std::unique_ptr<sandbox::SandboxServer> server = startServer(password, 0);
    QVERIFY(server);
    LoginDriver login(*m_boxes);

    // A wrong password first: the server's refusal, in the login's own box.
    QVERIFY(!login.logIn(serverName(*server), password + QStringLiteral("x")));
    QCOMPARE(m_boxes->count(), 1);
    QCOMPARE(m_boxes->last().title, QString());
    QCOMPARE(m_boxes->last().icon, QMessageBox::Information);
    const QString refusal = sendable ? QStringLiteral("Login failed for user 'sa'.")
                                     : QStringLiteral("无法传送含有“};”的密码");
    QVERIFY2(m_boxes->last().text.contains(refusal), qPrintable(m_boxes->last().text));
    QVERIFY(Form1::instance().isVisible());

    const bool loggedIn = login.logIn(serverName(*server), password);
    if (!sendable) {
        QVERIFY(!loggedIn);
        QCOMPARE(m_boxes->count(), 2);
        QVERIFY2(m_boxes->last().text.contains(refusal), qPrintable(m_boxes->last().text));
        QVERIFY(server->statements().isEmpty());
        verifyNowhere(password);
        return;
    }
    QVERIFY(loggedIn);

    // The scan and the cashier clearing connect to their databases with the password read from
    // the login window.
    server->clearStatements();
    MainWindowControls::showTab(1);
    QVERIFY(MainWindowControls::pick(MainWindowControls::combo(3), Account));
    MainWindowControls::command(5)->click();
    QVERIFY2(m_boxes->last().text.startsWith(QStringLiteral("共有")), qPrintable(m_boxes->last().text));
    const QString business = QStringLiteral("ZRDATA_001_") + MainWindowControls::combo(4)->currentText();
    bool scanned = false;
    for (const sandbox::StatementRecord& record : server->statements())
        scanned = scanned || record.database.compare(business, Qt::CaseInsensitive) == 0;
    QVERIFY(scanned);
    CashierWindowDriver windows([&](QDialog& window) {
        QVERIFY(CashierWindowDriver::pick(window, CashierDatabase));
        CashierWindowDriver::clearButton(window)->click();
    });
    hostile::pressCtrlH();
    QCOMPARE(windows.opened(), 1);
    QCOMPARE(m_boxes->count(), 3);
    QCOMPARE(m_boxes->last().text, QStringLiteral("清除完毕！"));
    const sandbox::StatementRecord cleared = server->statements().last();
    QCOMPARE(hostile::at(cleared.database, cleared.sql), hostile::at(CashierDatabase, QStringLiteral("Delete From CN_LockAcctBook")));

    verifyNowhere(password);
    for (const sandbox::StatementRecord& record : server->statements())
        QVERIFY2(!record.sql.contains(password) && !record.database.contains(password), qPrintable(record.sql));
    QFile log(m_logFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    QVERIFY(logged.contains("Delete From CN_LockAcctBook"));
    QVERIFY(!logged.contains(password.toUtf8()));
}

void TstHostileLogin::serverNames_data()
{
    QTest::addColumn<QString>("typed");       // "PORT" stands for the sandbox's port
    QTest::addColumn<bool>("sandboxOn1433");  // a second sandbox serves the default port
    QTest::addColumn<bool>("connects");
    QTest::addColumn<int>("withinMs");

    QTest::newRow("address and port") << QStringLiteral("127.0.0.1,PORT") << false << true << 5000;
    // Nothing is trimmed: a host whose name begins with a blank does not exist.
    QTest::newRow("leading blank") << QStringLiteral(" 127.0.0.1,PORT") << false << false << 16000;
    QTest::newRow("no such host") << QStringLiteral("no-such-host") << false << false << 16000;
    QTest::newRow("closed port") << QStringLiteral("127.0.0.1,1") << false << false << 3000;
    // The local names reach 127.0.0.1:1433, with or without a server there.
    QTest::newRow("(local), nothing on 1433") << QStringLiteral("(local)") << false << false << 3000;
    QTest::newRow("., sandbox on 1433") << QStringLiteral(".") << true << true << 5000;
    QTest::newRow("empty, sandbox on 1433") << QString() << true << true << 5000;
    QTest::newRow("localhost, nothing on 1433") << QStringLiteral("localhost") << false << false << 3000;
}

void TstHostileLogin::serverNames()
{
    QFETCH(QString, typed);
    QFETCH(bool, sandboxOn1433);
    QFETCH(bool, connects);
    QFETCH(int, withinMs);
    typed.replace(QLatin1String("PORT"), QString::number(m_server->port()));
    std::unique_ptr<sandbox::SandboxServer> defaultPort;
    if (typed.isEmpty() || typed == QLatin1String("(local)") || typed == QLatin1String(".") || typed == QLatin1String("localhost")) {
        if (!QTcpServer().listen(QHostAddress::LocalHost, 1433))
            QSKIP("another program listens on 127.0.0.1:1433, where this machine's default server would be");
        if (sandboxOn1433) {
            defaultPort = startServer(ServerPassword, 1433);
            if (!defaultPort)
                QSKIP("127.0.0.1:1433 was taken in the meantime");
        }
    }

    qint64 boxAfter = -1;
    QElapsedTimer timer;
    MessageBoxWatcher watcher([&](QMessageBox*) {
        if (boxAfter < 0)
            boxAfter = timer.elapsed();
    });
    timer.start();
    const bool loggedIn = LoginDriver(*m_boxes).logIn(typed, ServerPassword);
    const qint64 elapsed = boxAfter >= 0 ? boxAfter : timer.elapsed();
    qInfo("%s: %s after %lld ms", QTest::currentDataTag(), loggedIn ? "signed in" : "failure box", elapsed);

    QCOMPARE(loggedIn, connects);
    QVERIFY2(elapsed < withinMs, qPrintable(QString::number(elapsed)));
    if (connects) {
        QCOMPARE(m_boxes->count(), 0);
        QVERIFY(!Form1::instance().isVisible());
        return;
    }
    QCOMPARE(m_boxes->count(), 1);
    const MessageBoxDriver::Box& box = m_boxes->last();
    qInfo("%s: %s", QTest::currentDataTag(), qPrintable(box.text));
    QCOMPARE(box.title, QString());
    QCOMPARE(box.icon, QMessageBox::Information);
    QVERIFY2(box.text.contains(QStringLiteral("Unable to connect")), qPrintable(box.text));
    QVERIFY(!box.text.contains(ServerPassword));
    QVERIFY(Form1::instance().isVisible());
    QVERIFY(!Form2::isLoaded());
}

QTEST_MAIN(TstHostileLogin)
#include "tst_hostilelogin.moc"
