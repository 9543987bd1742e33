// The database layer, from the program's connection string to the driver's and through the real
// driver against the sandbox. Faults caught: server names misread (local names, instances, blanks);
// an invalid port taken for the default one; the wrong driver picked, or none named when missing; a
// value the driver would read back otherwise; a too-long text cut instead of refused; statements
// changed on their way; values, NULLs or Chinese mangled; errors swallowed, cut or leaking the
// password; a failed open left half-open; rows lost, doubled or reordered when a recordset is reopened
// or shares its connection. Failed logins: a wrong or missing first sentence, the driver's text changed
// or dropped, a server generation misnamed or unreached; on Windows a driver order other than newest
// to oldest, a fallback after a wrong password, the driver that got in forgotten for the next login.
#include "db/AdoConnectionString.h"
#include "db/ConnectAttempts.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DriverCatalog.h"
#include "db/OdbcConnectionString.h"
#include "db/Recordset.h"
#include "support/SandboxHarness.h"

#include <QTcpServer>
#include <QtTest>

using namespace db;

namespace {

const QString TestDb = QStringLiteral("dbtest");
const DriverChoice FreeTds{QStringLiteral("FreeTDS"), DriverFamily::FreeTds, true};
const DriverChoice Driver18{QStringLiteral("ODBC Driver 18 for SQL Server"), DriverFamily::Microsoft, true};
const DriverChoice Legacy{QStringLiteral("SQL Server"), DriverFamily::LegacySqlServer, true};

QString adoText(const QString& database, const QString& server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=") + database + ";Data Source=" + server;
}

// The error a call raises; one with an empty description when it raises none.
template <typename Call>
DbError errorOf(Call call)
{
    try {
        call();
    } catch (const DbError& error) {
        return error;
    }
    return DbError(QString());
}

// A Windows machine: its installed drivers, each failing with the record given or getting in.
class FakeWindows : public DriverConnector {
public:
    QStringList installed;
    QHash<QString, DiagnosticRecord> failures;
    QStringList tried;

    DriverCatalog::Platform platform() const override { return DriverCatalog::Platform::Windows; }
    QStringList installedDrivers() override { return installed; }
    void connect(const DriverChoice& driver, const QString&, int) override
    {
        tried.append(driver.name);
        if (failures.contains(driver.name)) {
            const DiagnosticRecord record = failures.value(driver.name);
            throw DbError(record.message, record.sqlState, record.nativeError, {record});
        }
    }
    std::optional<ServerProbe::Identity> identify(const QString&, quint16, int) override { return ServerProbe::Identity{9, 0, 1399, 0}; }
};

const QString PolicyServer = QStringLiteral("SUOWUTONG_POLICY_SERVER");

}  // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private:
    void open(Connection& connection, const QString& database = TestDb, const QString& password = {})
    {
        connection.open(adoText(database, m_sandbox.serverName()), QStringLiteral("sa"),
                        password.isNull() ? m_sandbox.password() : password);
    }
    QStringList received() const
    {
        QStringList texts;
        for (const auto& record : m_sandbox.statements())
            texts.append(record.database + QStringLiteral(": ") + record.sql);
        return texts;
    }

    SandboxHarness m_sandbox;

private slots:
    void initTestCase()
    {
        QVERIFY(m_sandbox.start());
        m_sandbox.fixture().createDatabase(TestDb);
        QStringList numbers;
        for (int i = 1; i <= 3000; ++i)
            numbers.append(QStringLiteral("(%1)").arg(i));
        m_sandbox.fixture().exec(TestDb, QStringLiteral(
            "create table people (id int, name varchar(20), nick nvarchar(10), born datetime, score float, active bit, big bigint) "
            "insert into people values (1, '张三', N'小张', '2016-02-29 08:30:15', 98.5, 1, 9000000000), "
            "(2, 'Li Si', N'', NULL, 0, 0, -1), (3, NULL, NULL, NULL, NULL, NULL, NULL) "
            "create table numbers (n int) insert into numbers values ") + numbers.join(','));
    }

    void serverForms_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("freeTdsPart");  // what FreeTDS is given, or "!" and the port refused
        for (const char* local : {"(local)", "(LOCAL)", ".", "LocalHost", ""})
            QTest::newRow(*local ? local : "empty") << QString::fromLatin1(local) << "SERVER={127.0.0.1};PORT=1433;";
        QTest::newRow("host") << "db01" << "SERVER={db01};PORT=1433;";
        QTest::newRow("host,port") << "10.0.0.5,1533" << "SERVER={10.0.0.5};PORT=1533;";
        QTest::newRow("local,port") << "(local),65535" << "SERVER={127.0.0.1};PORT=65535;";
        QTest::newRow("instance") << "db01\\SQL2008" << "SERVER={db01\\SQL2008};";
        QTest::newRow("local instance") << ".\\SQLEXPRESS" << "SERVER={127.0.0.1\\SQLEXPRESS};";
        // With both, the port decides, as with Microsoft's drivers.
        QTest::newRow("instance,port") << "db01\\A,2000" << "SERVER={db01};PORT=2000;";
        QTest::newRow("leading blank") << " db01" << "SERVER={ db01};PORT=1433;";
        QTest::newRow("blank local") << " (local)" << "SERVER={ (local)};PORT=1433;";
        QTest::newRow("chinese") << "财务服务器" << "SERVER={财务服务器};PORT=1433;";
        for (const char* port : {"99999", "65536", "0", "14x3", "", " 1433", "-1", "1433 ", "１４３３", "99999999999"})
            QTest::newRow(*port ? port : "no port") << QStringLiteral("127.0.0.1,") + QString::fromUtf8(port) << QStringLiteral("!") + port;
    }

    void serverForms()
    {
        QFETCH(QString, typed);
        QFETCH(QString, freeTdsPart);
        const AdoConnectionString ado(adoText(QStringLiteral("zrsystem"), typed));
        if (freeTdsPart.startsWith(QLatin1Char('!'))) {
            for (const DriverChoice& driver : {FreeTds, Driver18}) {
                const QString error = errorOf([&] { OdbcConnectionString::build(driver, ado, "sa", "x"); }).description();
                QVERIFY2(error.contains(QStringLiteral("端口“%1”无效").arg(freeTdsPart.mid(1))), qPrintable(error));
            }
            return;
        }
        const QString odbc = OdbcConnectionString::build(FreeTds, ado, "sa", "x");
        QVERIFY2(odbc.contains(QStringLiteral(";") + freeTdsPart + QStringLiteral("DATABASE=")), qPrintable(odbc));

        // Microsoft's drivers get the text as typed; only an empty box is spelled out.
        const QString microsoft = OdbcConnectionString::build(Driver18, ado, "sa", "x");
        const QString server = typed.isEmpty() ? QStringLiteral("(local)") : typed;
        QVERIFY2(microsoft.contains(QStringLiteral(";SERVER={") + server + QStringLiteral("};")), qPrintable(microsoft));
    }

    void driversAndWholeStrings()
    {
        using Platform = DriverCatalog::Platform;
        const auto pick = [](const QStringList& installed, Platform platform = Platform::Windows) {
            const auto choice = DriverCatalog::choose(installed, platform);
            return choice ? QStringLiteral("%1/%2/%3").arg(choice->name).arg(int(choice->family)).arg(choice->registered) : QString();
        };
        const QString microsoft = QStringLiteral("/%1/1").arg(int(DriverFamily::Microsoft));
        // Microsoft's newest by number, not by text order (9 < 11 < 13.1 < 17), then Native Client, then "SQL Server".
        QCOMPARE(pick({"SQL Server", "SQL Server Native Client 11.0", "ODBC Driver 18 for SQL Server", "Microsoft Access Driver (*.mdb)"}),
                 "ODBC Driver 18 for SQL Server" + microsoft);
        QCOMPARE(pick({"ODBC Driver 9 for SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 13.1 for SQL Server",
                       "ODBC Driver 11 for SQL Server"}),
                 "ODBC Driver 17 for SQL Server" + microsoft);
        QCOMPARE(pick({"SQL Server Native Client 11.0", "SQL Server"}), "SQL Server Native Client 11.0" + microsoft);
        QCOMPARE(pick({"SQL Server", "FreeTDS"}), QStringLiteral("SQL Server/%1/1").arg(int(DriverFamily::LegacySqlServer)));
        QCOMPARE(pick({"Microsoft Access Driver (*.mdb)"}), QString());
        // Elsewhere FreeTDS: by its registered name, or by its library when it is not registered.
        QCOMPARE(pick({"PostgreSQL", "freetds"}, Platform::Unix), QStringLiteral("freetds/%1/1").arg(int(DriverFamily::FreeTds)));
        QCOMPARE(pick({"ODBC Driver 18 for SQL Server"}, Platform::Unix), QStringLiteral("libtdsodbc.so/%1/0").arg(int(DriverFamily::FreeTds)));
        const QString none = errorOf([] { DriverCatalog::chooseOrThrow({}, Platform::Windows); }).description();
        QVERIFY2(none.startsWith(QStringLiteral("未找到 SQL Server 的 ODBC 驱动程序。")) && none.contains("ODBC Driver 18 for SQL Server"),
                 qPrintable(none));

        const auto build = [](const DriverChoice& driver, const QString& ado, const QString& user, const QString& password) {
            return OdbcConnectionString::build(driver, AdoConnectionString(ado), user, password);
        };
        QCOMPARE(build(FreeTds, adoText("zrsystem", "127.0.0.1,1433"), "sa", "pw"),
                 QStringLiteral("DRIVER={FreeTDS};SERVER={127.0.0.1};PORT=1433;DATABASE={zrsystem};UID={sa};PWD={pw};"
                                "TDS_Version=7.4;ClientCharset=UTF-8;"));
        const QString named = adoText(QStringLiteral("ZRDATA_001_2016"), QStringLiteral("db01\\SQL2008"));
        QCOMPARE(build(Driver18, named, "sa", "a}b"),
                 QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER={db01\\SQL2008};DATABASE={ZRDATA_001_2016};"
                                "UID={sa};PWD={a}}b};TrustServerCertificate=yes;"));
        // Microsoft's drivers read a braced value up to a single '}' and "}}" as one '}', "};" included.
        QCOMPARE(build(Legacy, named, "sa", "}{x;}=y}}"),
                 QStringLiteral("DRIVER={SQL Server};SERVER={db01\\SQL2008};DATABASE={ZRDATA_001_2016};UID={sa};"
                                "PWD={}}{x;}}=y}}}}};"));
        // No catalogue named: no DATABASE key, so the login's default applies. Keys in any case; a ';'
        // before anything but a key belongs to the value.
        QVERIFY(!build(FreeTds, "Provider=SQLOLEDB.1;Data Source=db01", "sa", "pw").contains(QStringLiteral("DATABASE")));
        QVERIFY(build(FreeTds, "data source=db01;initial catalog=0;1;Server=x;Password=y", "sa", "p=q")
                    .contains(QStringLiteral("SERVER={db01};PORT=1433;DATABASE={0;1;Server=x;Password=y};UID={sa};PWD={p=q};")));
    }

    void refusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");  // how the description starts
        // FreeTDS 1.3 cannot carry "};": refused with a message that names the value, not its text.
        QTest::newRow("password };") << "127.0.0.1" << "Top};Secret" << "当前的 ODBC 驱动程序（FreeTDS）无法传送含有“};”的密码";
        QTest::newRow("NUL") << "127.0.0.1" << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd") << "密码中含有空字符";
        // The driver takes a 16-bit length: past it, the text would arrive cut, and a cut password
        // or server name could still reach a server.
        QTest::newRow("long server") << QString(40000, QLatin1Char('s')) << "pw" << "服务器名、数据库名和密码合起来太长";
        QTest::newRow("long password") << "127.0.0.1" << QString(70000, QLatin1Char('p')) << "服务器名、数据库名和密码合起来太长";
    }

    void refusedBeforeConnecting()
    {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, error);
        Connection connection;
        const QString description = errorOf([&] { connection.open(adoText(QStringLiteral("zrsystem"), server), "sa", password); }).description();
        QVERIFY2(description.startsWith(error), qPrintable(description.left(300)));
        QVERIFY(!description.contains(QStringLiteral("Secret")) && !description.contains(QStringLiteral("ppppp")));
        QCOMPARE(connection.state(), StateClosed);
    }

    void connectionsAndErrors()
    {
        Connection connection;
        QVERIFY(errorOf([&] { connection.execute("select 1"); }).description().contains(QStringLiteral("对象关闭时，不允许操作。")));

        // Opening again while open starts over on the new database.
        open(connection, QStringLiteral("zrsystem"));
        open(connection);
        m_sandbox.clearStatements();
        // A statement's error, also from later in its batch, whose earlier part stays done.
        const DbError missing = errorOf([&] { connection.execute(QStringLiteral("delete from nosuchtable")); });
        QVERIFY(missing.description().contains(QStringLiteral("Invalid object name 'nosuchtable'.")) && missing.nativeError() == 208);
        connection.execute(QStringLiteral("create table journal (n int)"));
        QCOMPARE(errorOf([&] { connection.execute(QStringLiteral("insert into journal values (1) select cast('abc' as int)")); })
                     .nativeError(), 245);
        QCOMPARE(m_sandbox.fixture().count(TestDb, QStringLiteral("journal")), 1);
        QCOMPARE(received().first(), TestDb + QStringLiteral(": delete from nosuchtable"));
        connection.close();
        QCOMPARE(connection.state(), StateClosed);

        // Closing the connection under a streaming recordset, or losing it altogether, closes the recordset.
        auto shortLived = std::make_unique<Connection>();
        Recordset stream;
        stream.setCursorLocation(CursorLocation::Server);
        for (bool destroy : {false, true}) {
            open(*shortLived);
            stream.open(QStringLiteral("select n from numbers"), *shortLived);
            destroy ? shortLived.reset() : shortLived->close();
            QCOMPARE(stream.state(), StateClosed);
        }
    }

    void logins_data()
    {
        QTest::addColumn<QString>("profile");   // the generation served; empty: the shared sandbox
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("server");    // empty: where the sandbox listens
        QTest::addColumn<QString>("password");  // empty: the right one
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("policy");       // this machine refuses TLS 1.0
        QTest::addColumn<QString>("sentence");  // how the description starts; empty: the login succeeds
        QTest::addColumn<QString>("driver");    // the driver's text, present unchanged
        for (const QString& profile : sandbox::ServerProfile::names()) {
            for (const bool force : {false, true}) {
                if (!force || sandbox::ServerProfile::named(profile)->offersTls())
                    QTest::addRow("%s%s", qPrintable(profile), force ? " forced" : "")
                        << profile << force << "" << "" << "zrsystem" << false << "" << "";
            }
        }
        QTest::newRow("wrong password") << "" << false << "" << "Wrong口令" << "zrsystem" << false
                                        << "数据库服务器拒绝了 sa 的登录：密码不正确" << "Login failed for user 'sa'.";
        QTest::newRow("unknown database") << "" << false << "" << "" << "没有" << false << "数据库服务器“127.0.0.1,"
                                          << "Cannot open database \"没有\" requested by the login. The login failed.";
        QTest::newRow("refused") << "" << false << "unused" << "" << "zrsystem" << false << "服务器“127.0.0.1,"
                                 << "Adaptive Server is unavailable or does not exist";
        QTest::newRow("unknown host") << "" << false << "nosuchhost.invalid" << "" << "zrsystem" << false
                                      << "找不到服务器“nosuchhost.invalid”" << "Unknown host machine name.";
        QTest::newRow("silent") << "" << false << "silent" << "" << "zrsystem" << false << "服务器“127.0.0.1,"
                                << "Timeout expired";
        for (const bool force : {false, true})
            QTest::addRow("2005 TLS 1.0 refused here%s", force ? ", forced" : "")
                << "2005" << force << "" << "" << "zrsystem" << true
                << (force ? "数据库服务器 SQL Server 2005 要求整个连接加密且只支持 TLS 1.0 加密，而本机的系统加密策略不允许 TLS 1.0"
                          : "数据库服务器 SQL Server 2005 只支持 TLS 1.0 加密，而本机的系统加密策略不允许 TLS 1.0")
                << "Adaptive Server connection failed";
    }

    void logins()
    {
        QFETCH(QString, profile);
        QFETCH(bool, force);
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(bool, policy);
        QFETCH(QString, sentence);
        QFETCH(QString, driver);
        if (policy && !qEnvironmentVariableIsSet(PolicyServer.toUtf8())) {
            // The policy holds for a whole process: the server runs in one without it, this row again in one with it.
            QTemporaryDir dir;
            QFile rules(dir.filePath(QStringLiteral("gnutls.config")));
            QVERIFY(rules.open(QIODevice::WriteOnly) && rules.write("[overrides]\ndisabled-version = tls1.0\n") > 0);
            rules.close();
            QProcess sandbox;
            sandbox.start(QStringLiteral(SUOWUTONG_SANDBOX_EXE),
                          QStringList{"--data", dir.filePath("data"), "--seed", "demo", "--port", "0", "--password",
                                      m_sandbox.password(), "--profile", profile} + (force ? QStringList{"--force-encryption"} : QStringList{}));
            QVERIFY(sandbox.waitForReadyRead(15000));
            const QString port = QString::fromUtf8(sandbox.readLine()).section(QLatin1Char(':'), 1).trimmed();
            QProcess row;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("GNUTLS_SYSTEM_PRIORITY_FILE"), rules.fileName());
            environment.insert(PolicyServer, QStringLiteral("127.0.0.1,") + port);
            row.setProcessEnvironment(environment);
            row.setProcessChannelMode(QProcess::MergedChannels);
            row.start(QCoreApplication::applicationFilePath(), {QStringLiteral("logins:") + QTest::currentDataTag()});
            QVERIFY(row.waitForFinished(60000));
            sandbox.kill();
            sandbox.waitForFinished();
            QVERIFY2(row.exitCode() == 0, row.readAll().constData());
            return;
        }

        SandboxHarness own;
        if (!profile.isEmpty() && !policy) {
            own.setProfile(*sandbox::ServerProfile::named(profile), force);
            QVERIFY(own.start());
        }
        SandboxHarness& harness = profile.isEmpty() ? m_sandbox : own;
        QTcpServer silent;  // listens, never answers: the kernel accepts for it
        if (server == QLatin1String("silent"))
            QVERIFY(silent.listen(QHostAddress::LocalHost));
        server = policy ? qEnvironmentVariable(PolicyServer.toUtf8())
            : server.isEmpty() ? harness.serverName()
            : server == QLatin1String("unused") ? harness.unusedServerName()
            : server == QLatin1String("silent") ? QStringLiteral("127.0.0.1,%1").arg(silent.serverPort())
                                                 : server;
        Connection connection;
        connection.setLoginTimeout(2);
        const DbError error = errorOf([&] {
            connection.open(adoText(database, server), "sa", password.isEmpty() ? harness.password() : password);
        });
        if (sentence.isEmpty()) {
            QVERIFY2(error.description().isEmpty(), qPrintable(error.description()));
            Recordset recordset;
            recordset.open(QStringLiteral("select N'锁务通' as x"), connection);
            QCOMPARE(recordset.value(0).toString(), QStringLiteral("锁务通"));
            const QString encryption = harness.server().handshakes().constLast().encryption;
            QCOMPARE(encryption, force ? "whole" : profile == QLatin1String("2000") ? "none" : "login");
            return;
        }
        // One sentence first, then the driver's text as it came.
        const QStringList lines = error.description().split(QLatin1Char('\n'));
        QVERIFY2(lines.first().startsWith(sentence) && lines.first().count(QStringLiteral("；")) == 1
                     && lines.mid(1).join(QLatin1Char('\n')).contains(driver) && (password.isEmpty() || !lines.join("").contains(password)),
                 qPrintable(error.description()));
        QCOMPARE(connection.state(), StateClosed);
    }

    void windowsDriverChain()
    {
        ConnectAttempts::forgetKeptDriver();
        const QString d18 = QStringLiteral("ODBC Driver 18 for SQL Server"), d17 = QStringLiteral("ODBC Driver 17 for SQL Server"),
                      native = QStringLiteral("SQL Server Native Client 11.0"), legacy = QStringLiteral("SQL Server");
        const DiagnosticRecord ssl{"08001", -2146893007, "[Microsoft][" + d18 + "]SSL Provider: The client and server cannot "
                                                         "communicate, because they do not possess a common algorithm."};
        const DiagnosticRecord handshake{"08001", 0, "[Microsoft][" + d17 + "]Client unable to establish connection because an "
                                                    "error was encountered during handshakes before login."};
        const DiagnosticRecord tooOld{"08001", 0, "[Microsoft][" + native + "]" + native
                                                  + " does not support connections to SQL Server 2000 or earlier versions."};
        const DiagnosticRecord password{"28000", 18456, "[Microsoft][" + d18 + "][SQL Server]Login failed for user 'sa'."};
        FakeWindows machine;
        machine.installed = {legacy, native, "Microsoft Access Driver (*.mdb)", d17, d18};
        const auto login = [&] {
            machine.tried.clear();
            return errorOf([&] { ConnectAttempts::open(machine, adoText("zrsystem", "db01"), "sa", "pw", 15); }).description();
        };

        // Newest to oldest until one gets in; that one goes first from then on.
        machine.failures = {{d18, ssl}, {d17, handshake}, {native, tooOld}};
        QCOMPARE(login(), QString());
        QCOMPARE(machine.tried, (QStringList{d18, d17, native, legacy}));
        QCOMPARE(login(), QString());
        QCOMPARE(machine.tried, QStringList{legacy});

        // A wrong password is sent once, through the kept driver, and said so.
        machine.failures.insert(legacy, password);
        QVERIFY(login().startsWith(QStringLiteral("数据库服务器拒绝了 sa 的登录")));
        QCOMPARE(machine.tried, QStringList{legacy});

        // None gets in: the last driver's text, led by what the server is and offers.
        ConnectAttempts::forgetKeptDriver();
        machine.failures = {{d18, ssl}, {d17, ssl}, {native, ssl}, {legacy, ssl}};
        const QString refused = login();
        QCOMPARE(machine.tried.size(), 4);
        QVERIFY2(refused.startsWith(QStringLiteral("数据库服务器 SQL Server 2005 只支持 TLS 1.0")) && refused.endsWith(ssl.message),
                 qPrintable(refused));
        QVERIFY(ConnectAttempts::keptDriver().isEmpty());
    }

    void textsAndValuesArriveUnchanged()
    {
        Connection connection;
        open(connection);
        // Question marks, ODBC escape braces, quotes, blanks and line breaks are the driver's to leave alone.
        const QStringList texts = {QStringLiteral("select N'中文 ? 问号' as q, '{fn now()}' as f, '{d ''2016-01-01''}' as d"),
                                   QStringLiteral("  select 'a''b' as x  \r\n"),
                                   QStringLiteral("delete from people where 1=0\ndelete from people where 2=0")};
        m_sandbox.clearStatements();
        for (const QString& text : texts)
            connection.execute(text);
        QCOMPARE(received(), QStringList(texts).replaceInStrings(QRegularExpression("^"), TestDb + QStringLiteral(": ")));
        Recordset recordset;
        recordset.open(texts[0], connection);
        QCOMPARE((QVariantList{recordset.value(0), recordset.value(QStringLiteral("F")), recordset.value(QStringLiteral("d"))}),
                 (QVariantList{QStringLiteral("中文 ? 问号"), QStringLiteral("{fn now()}"), QStringLiteral("{d '2016-01-01'}")}));

        // Values of each kind, NULLs as null, empty texts and zeros as values.
        recordset.open(QStringLiteral("select * from people order by id"), connection);
        const QVariantList first = {qint64(1), QStringLiteral("张三"), QStringLiteral("小张"),
                                    QDateTime(QDate(2016, 2, 29), QTime(8, 30, 15)), 98.5, qint64(1), qint64(9000000000)};
        QCOMPARE(recordset.fieldCount(), first.size());
        for (int i = 0; i < first.size(); ++i)
            QCOMPARE(recordset.value(i), first.at(i));
        recordset.moveNext();
        QCOMPARE(recordset.value(QStringLiteral("NICK")), QVariant(QString()));
        QVERIFY(!recordset.isNull(QStringLiteral("active")) && recordset.isNull(QStringLiteral("Born")));
        recordset.moveNext();
        for (int i = 1; i < first.size(); ++i)
            QVERIFY2(recordset.isNull(i) && !recordset.value(i).isValid(), qPrintable(recordset.fieldName(i)));
        // Unknown fields and reading past the end are errors, not empty values.
        QVERIFY(errorOf([&] { recordset.value("nosuch"); }).description().contains(QStringLiteral("未找到项目")));
        recordset.moveNext();
        QVERIFY(recordset.eof() && errorOf([&] { recordset.value(0); }).description().contains(QStringLiteral("EOF")));

        // Chinese that fills its width arrives and comes back whole, through both cursor kinds.
        const QVariantList full = {QStringLiteral("锁务通用"), QStringLiteral("账").repeated(3999) + QStringLiteral("末"),
                                   QStringLiteral("凭证").repeated(1999) + QStringLiteral("结束")};
        connection.execute(QStringLiteral("create table texts (narrow varchar(8), wide nvarchar(4000), long varchar(8000)) "
                                          "insert into texts values ('%1', N'%2', '%3')")
                               .arg(full[0].toString(), full[1].toString(), full[2].toString()));
        const QString query = QStringLiteral("select narrow, wide, long from texts");
        QCOMPARE(m_sandbox.fixture().rows(TestDb, query).value(0), full);
        for (const CursorLocation location : {CursorLocation::Client, CursorLocation::Server}) {
            recordset.setCursorLocation(location);
            recordset.open(query, connection);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(recordset.value(i), full.at(i));
        }
    }

    void recordsets()
    {
        Connection connection;
        open(connection);
        Recordset recordset;
        // Client side: all rows read at open, so the connection is free while they are still unread.
        recordset.open(QStringLiteral("select n from numbers where n > 2990 order by n"), connection);
        connection.execute(QStringLiteral("delete from numbers where n > 2995"));
        QCOMPARE(recordset.recordCount(), 10);
        qint64 expected = 2991;
        for (; !recordset.eof(); recordset.moveNext())
            QCOMPARE(recordset.value(0).toLongLong(), expected++);
        QCOMPARE(expected, 3001);
        connection.execute(QStringLiteral("insert into numbers values (2996),(2997),(2998),(2999),(3000)"));
        // A batch that starts with a count: the rows are those of the first result that has columns.
        recordset.open(QStringLiteral("delete from numbers where n = 0 select n from numbers where n < 4"), connection);
        QCOMPARE(recordset.recordCount(), 3);
        // Counting only: the number exact, no rows kept; a failure leaves it closed.
        recordset.openCounting(QStringLiteral("select n, n as m from numbers"), connection);
        QVERIFY(recordset.recordCount() == 3000 && recordset.eof());
        QCOMPARE(errorOf([&] { recordset.openCounting(QStringLiteral("select * from nosuch"), connection); }).nativeError(), 208);
        QCOMPARE(recordset.state(), StateClosed);

        // Server side: other work on the same connection while rows are still unread, then the
        // stream goes on where it was, every row once, in order.
        Recordset stream;
        stream.setCursorLocation(CursorLocation::Server);
        stream.open(QStringLiteral("select n from numbers order by n"), connection);
        QCOMPARE(stream.recordCount(), -1);
        stream.moveNext();
        connection.execute(QStringLiteral("update numbers set n = n where n = 1"));
        recordset.open(QStringLiteral("select count(*) as c from numbers"), connection);
        QCOMPARE(recordset.value(QStringLiteral("c")), QVariant(qint64(3000)));
        for (expected = 2; !stream.eof(); stream.moveNext())
            QCOMPARE(stream.value(0).toLongLong(), expected++);
        QCOMPARE(expected, 3001);
        // Reopened over its own unread rows, the stream starts afresh.
        stream.open(QStringLiteral("select n from numbers where n > 10 order by n"), connection);
        stream.open(QStringLiteral("select n from numbers where n > 20 order by n"), connection);
        QCOMPARE(stream.value(0), QVariant(qint64(21)));
        // An error later in a streamed batch reaches the reader when it gets there, even if another
        // statement made it read ahead; the connection is free afterwards.
        stream.open(QStringLiteral("select n from numbers where n < 3 order by n select cast('abc' as int)"), connection);
        connection.execute(QStringLiteral("select 1"));
        stream.moveNext();
        QCOMPARE(stream.value(0), QVariant(qint64(2)));
        QCOMPARE(errorOf([&] { stream.moveNext(); }).nativeError(), 245);
        QVERIFY(stream.eof());
        connection.execute(QStringLiteral("select 2"));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
