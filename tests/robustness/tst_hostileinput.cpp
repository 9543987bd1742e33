// Hostile passwords and server names in the login window and awkward cashier database names, through
// the real windows against the sandbox. Faults caught: a password that a connection string cuts, merges
// or unbraces (a wrong one gets in, a right one fails, a later scan or cashier connection fails); a
// password shown in a box, log line, statement or file; a server name trimmed, misread or waited on too
// long; a cashier database name cut at a ';' or unquoted, so the clearing lands in another database.
#include "support/DatabaseSnapshot.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>
#include <QTcpServer>
#include <memory>

using Controls = MainWindowControls;

namespace {

const QString CashierDatabase = QStringLiteral("DaZovu_001_2016");
const QString Unsendable = QStringLiteral("DaZovu_};1_2016");
const QStringList Codes = {"0'1", "''1", "0;1", "--1", "0]1", "0%1", "0_1", "演示1", " 01", "01 ", "0a1", "001"};

// Everything Qt and the program said on the message channels while the test ran.
QStringList loggedLines;
QtMessageHandler previousHandler = nullptr;

// Files under the folder holding the text in UTF-8 or UTF-16.
QStringList filesHolding(const QString& folder, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        if (bytes.contains(text.toUtf8()) || bytes.contains(utf16))
            found.append(file.fileName());
    }
    return found;
}

}  // namespace

class TstHostileInput : public QObject {
    Q_OBJECT
public:
    explicit TstHostileInput(const QString& privateFolder) : m_folder(privateFolder) {}

private:
    // A server over the session's data with its own password, port and statement log.
    std::unique_ptr<sandbox::SandboxServer> startServer(const QString& password, quint16 port)
    {
        sandbox::SandboxServer::Options options;
        options.dataDir = m_session.sandbox().dataDir();
        options.port = port;
        options.password = password;
        options.logFile = m_folder + "/statements.jsonl";
        auto server = std::make_unique<sandbox::SandboxServer>(options);
        return server->start() ? std::move(server) : nullptr;
    }
    void verifyNowhere(const QString& password)
    {
        for (const MessageBoxDriver::Box& box : boxes().boxes())
            QVERIFY2(!box.text.contains(password) && !box.title.contains(password), qPrintable(box.text));
        for (const QString& line : loggedLines)
            QVERIFY2(!line.contains(password), qPrintable(line));
        QCOMPARE(filesHolding(m_folder, password), QStringList());
    }
    void pressCtrlH()
    {
        Form2& main = Form2::instance();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        Controls::find("Combo3")->setFocus();
        QTest::keyClick(Controls::find("Combo3"), Qt::Key_H, Qt::ControlModifier);
    }
    MessageBoxDriver& boxes() { return m_session.boxes(); }

    const QString m_folder;
    SessionFixture m_session;
    QStringList m_passwords;

private slots:
    void initTestCase()
    {
        QVERIFY(m_session.start());
        previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& line) {
            loggedLines.append(line);
            if (previousHandler)
                previousHandler(type, context, line);
        });
    }
    void init() { m_session.reset(); }
    void cleanup() { m_session.reset(); }
    void cleanupTestCase()
    {
        // Whatever the program, the driver or the servers wrote in the program's temporary, home
        // and settings folders: none of the passwords typed.
        for (const QString& password : m_passwords)
            QCOMPARE(filesHolding(m_folder, password), QStringList());
        qInstallMessageHandler(previousHandler);
    }

    void passwords_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sendable");
        for (const char* password : {"Pw;9a", "Pw}9a", "Pw}}9a", "{Pw9a", "{Pw9a}", "Pw;}9a", "Pw=9a", "PWD=x;UID=y", "Pw'9a",
                                     "Pw\"9a", " Pw 9a ", "甲乙密码丙丁", " {P;w}=\"'密 码 "})
            QTest::newRow(password) << QString::fromUtf8(password) << true;
        // The FreeTDS driver of this system ends a braced value at the first "};" and cannot be
        // given one: the program says so instead of sending a different password.
        QTest::newRow("brace and semicolon") << QStringLiteral("Pw};9a") << false;
    }

    void passwords()
    {
        QFETCH(QString, password);
        QFETCH(bool, sendable);
        m_passwords.append(password);
        QMutex mutex;  // the server's statement hook runs on its own thread
        QList<sandbox::StatementRecord> received;
        const auto statements = [&] { QMutexLocker lock(&mutex); return received; };
        const std::unique_ptr<sandbox::SandboxServer> server = startServer(password, 0);
        QVERIFY(server);
        server->addStatementHook([&](const sandbox::StatementRecord& record) { QMutexLocker lock(&mutex); received.append(record); });
        const QString name = QStringLiteral("127.0.0.1,%1").arg(server->port());
        LoginDriver login(boxes());

        // A wrong password first: the server's refusal, in the login's own box.
        const QString refusal = sendable ? "Login failed for user 'sa'." : "无法传送含有“};”的密码";
        QVERIFY(!login.logIn(name, password + "x"));
        QVERIFY(boxes().count() == 1 && boxes().last().title.isEmpty() && boxes().last().icon == QMessageBox::Information);
        QVERIFY2(boxes().last().text.contains(refusal) && Form1::instance().isVisible(), qPrintable(boxes().last().text));
        if (!sendable) {
            QVERIFY(!login.logIn(name, password));
            QCOMPARE(boxes().texts().last(), boxes().texts().first());
            QVERIFY(statements().isEmpty());
            verifyNowhere(password);
            return;
        }
        QVERIFY(login.logIn(name, password));

        // The scan and the cashier clearing connect to their databases with the password read from
        // the login window.
        {
            QMutexLocker lock(&mutex);
            received.clear();
        }
        Controls::showTab(1);
        QVERIFY(Controls::pick(Controls::combo(3), "[001]北京远航科技有限公司"));
        Controls::command(5)->click();
        QVERIFY2(boxes().last().text.startsWith("共有"), qPrintable(boxes().last().text));
        QVERIFY(statements().last().database.compare("ZRDATA_001_" + Controls::combo(4)->currentText(), Qt::CaseInsensitive) == 0);
        boxes().onDialog([&](QDialog& window) {
            QVERIFY(Controls::pick(window.findChild<QComboBox*>("Combo1"), CashierDatabase));
            window.findChild<QPushButton*>("cmdClear")->click();
        });
        pressCtrlH();
        QCOMPARE(boxes().dialogsHandled(), 1);
        QCOMPARE(boxes().texts().mid(2), QStringList{"清除完毕！"});
        const sandbox::StatementRecord cleared = statements().last();
        QCOMPARE(SessionFixture::at(cleared.database, cleared.sql), SessionFixture::at(CashierDatabase, "Delete From CN_LockAcctBook"));

        verifyNowhere(password);
        for (const sandbox::StatementRecord& record : statements())
            QVERIFY2(!record.sql.contains(password) && !record.database.contains(password), qPrintable(record.sql));
        QFile log(m_folder + "/statements.jsonl");
        QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().contains("Delete From CN_LockAcctBook"));
    }

    void serverNames_data()
    {
        QTest::addColumn<QString>("typed");       // "PORT" stands for the sandbox's port
        QTest::addColumn<bool>("sandboxOn1433");  // a second sandbox serves the default port
        QTest::addColumn<bool>("connects");
        QTest::addColumn<int>("withinMs");
        QTest::newRow("address and port") << "127.0.0.1,PORT" << false << true << 5000;
        // Nothing is trimmed: a host whose name begins with a blank does not exist.
        QTest::newRow("leading blank") << " 127.0.0.1,PORT" << false << false << 16000;
        QTest::newRow("no such host") << "no-such-host" << false << false << 16000;
        QTest::newRow("closed port") << "127.0.0.1,1" << false << false << 3000;
        // The local names reach 127.0.0.1:1433, with or without a server there.
        QTest::newRow("(local), nothing on 1433") << "(local)" << false << false << 3000;
        QTest::newRow("., sandbox on 1433") << "." << true << true << 5000;
        QTest::newRow("empty, sandbox on 1433") << "" << true << true << 5000;
        QTest::newRow("localhost, nothing on 1433") << "localhost" << false << false << 3000;
    }

    void serverNames()
    {
        QFETCH(QString, typed);
        QFETCH(bool, sandboxOn1433);
        QFETCH(bool, connects);
        QFETCH(int, withinMs);
        typed.replace("PORT", QString::number(m_session.sandbox().server().port()));
        std::unique_ptr<sandbox::SandboxServer> defaultPort;
        if (QStringList{"", "(local)", ".", "localhost"}.contains(typed)) {
            if (!QTcpServer().listen(QHostAddress::LocalHost, 1433))
                QSKIP("another program listens on 127.0.0.1:1433, where this machine's default server would be");
            defaultPort = sandboxOn1433 ? startServer(m_session.sandbox().password(), 1433) : nullptr;
            if (sandboxOn1433 && !defaultPort)
                QSKIP("127.0.0.1:1433 was taken in the meantime");
        }
        qint64 boxAfter = -1;
        QElapsedTimer timer;
        boxes().onShown([&](const QMessageBox&) { boxAfter = boxAfter < 0 ? timer.elapsed() : boxAfter; });
        timer.start();
        const bool loggedIn = LoginDriver(boxes()).logIn(typed, m_session.sandbox().password());
        const qint64 elapsed = boxAfter >= 0 ? boxAfter : timer.elapsed();
        QVERIFY2(loggedIn == connects && elapsed < withinMs, qPrintable(QStringLiteral("%1 ms, signed in: %2").arg(elapsed).arg(loggedIn)));
        QVERIFY(boxes().count() == (connects ? 0 : 1) && Form1::instance().isVisible() == !connects && Form2::isLoaded() == connects);
        if (!connects)
            QVERIFY2(boxes().last().title.isEmpty() && boxes().last().text.contains("Unable to connect"), qPrintable(boxes().last().text));
    }

    void cashierDatabaseNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& code : Codes.mid(0, 10))
            QTest::newRow(qPrintable(code)) << "DaZovu_" + code + "_2016";
        // The FreeTDS driver of this system cannot be given a database name holding "};".
        QTest::newRow("brace and semicolon") << Unsendable;
    }

    void cashierDatabaseNames()
    {
        QFETCH(QString, name);
        m_session.startOver();
        QStringList listed{Unsendable};
        for (const QString& code : Codes)
            listed.append("DaZovu_" + code + "_2016");
        // DaZovu_0 is where "Initial Catalog=DaZovu_0;1_2016" would land, cut at its ';'.
        for (const QString& database : listed + QStringList{"DaZovu_0"}) {
            m_session.data().createDatabase(database);
            m_session.data().exec(database, "create table CN_LockAcctBook (cAcctBook varchar(40), cUser varchar(20)) "
                                            "insert into CN_LockAcctBook values ('现金日记账', 'li'), ('银行日记账', '" + statements::quoted(database) + "')");
        }
        QVERIFY(m_session.logIn());
        Controls::showTab(1);
        const DatabaseSnapshot before = DatabaseSnapshot::take(m_session.data());
        QStringList shown;
        boxes().onDialog([&](QDialog& window) {
            shown = Controls::entries(window.findChild<QComboBox*>("Combo1"));
            QVERIFY(Controls::pick(window.findChild<QComboBox*>("Combo1"), name));
            window.findChild<QPushButton*>("cmdClear")->click();
        });
        pressCtrlH();
        QCOMPARE(boxes().dialogsHandled(), 1);
        shown.sort();
        listed.sort();
        QCOMPARE(shown, listed);

        if (name == Unsendable) {
            // Said so under "错误", and nothing sent anywhere else instead.
            QVERIFY(boxes().count() == 1 && boxes().last().title == "错误");
            QVERIFY2(boxes().last().text.contains("无法传送含有“};”的数据库名"), qPrintable(boxes().last().text));
            QCOMPARE(m_session.sentTo(), QStringList{SessionFixture::at("zrsystem", statements::CashierListing)});
            QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())), QStringList());
            return;
        }
        QCOMPARE(boxes().texts(), QStringList{"清除完毕！"});
        QCOMPARE(m_session.sentTo(), (QStringList{SessionFixture::at("zrsystem", statements::CashierListing),
                                                  SessionFixture::at(name, "Delete From CN_LockAcctBook")}));
        QStringList expected{DatabaseSnapshot::removed(name, "CN_LockAcctBook", {"现金日记账", "li"}),
                             DatabaseSnapshot::removed(name, "CN_LockAcctBook", {"银行日记账", name})};
        expected.sort();
        QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())), expected);
    }
};

// The program's temporary, home and settings folders lie in a folder of this test's own, and
// only that folder is searched for the passwords: the test reads nothing it did not create.
int main(int argc, char** argv)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder: %s", qPrintable(folder.errorString()));
    for (const char* name : {"TMPDIR", "HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString path = folder.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, QFile::encodeName(path));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TstHostileInput test(folder.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostileinput.moc"
