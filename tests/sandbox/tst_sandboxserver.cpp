// Faults caught: what python3-tds and FreeTDS tsql meet differs from SQL Server (values that do not survive
// the trip in either protocol revision, date-time ticks rounded or rolled over wrongly, text cut inside a GBK
// character, errors that do not reach the client); a server generation that reports another version or
// protocol revision, offers TLS versions other than its own, encrypts more or less than agreed, or lets in a
// client that will not encrypt when encryption is forced; replies mis-framed, mis-flagged or in packets
// larger than agreed; a malformed request taking other connections down; a refused or unauthenticated client
// served, or made to buffer a huge message; an attention not ending the reply, or leaving the abandoned half
// of a request spliced onto the next; a slow statement holding up every client; memory held for batches long
// answered or for a result nobody reads. The executable: serving a folder whose demo seed was cut short,
// reseeding a folder someone changed, logging other than what it received, not stopping on SIGTERM while a
// statement runs, a console line misstating the generation and its encryption or accepting options it
// cannot honour.
#include "TdsWire.h"
#include "engine/DemoSeed.h"
#include "engine/Fixture.h"
#include "server/SandboxServer.h"

#include <QtTest>
#include <csignal>

using namespace sandbox;
using namespace tdstest;

namespace {

const QString Password = QStringLiteral("引擎 pw=1;中");
const QString Chinese = QStringLiteral("锁务通");
const QString Endless = QStringLiteral("select a.iId from UA_Period a, UA_Period b, UA_Period c, UA_Period d");

qint64 residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() / 256 : -1;
}

bool loggedIn(RawClient& client)
{
    return client.login(Password) == QLatin1String("done 0/0");
}

// A running sandbox that has printed its line; stopped with SIGTERM when it goes out of scope.
struct Sandbox {
    explicit Sandbox(const QStringList& arguments)
    {
        process.start(QStringLiteral(SUOWUTONG_SANDBOX_EXE), arguments);
        const QDeadlineTimer deadline(15000);
        while (process.waitForStarted(5000) && !process.canReadLine() && process.state() == QProcess::Running && !deadline.hasExpired())
            process.waitForReadyRead(500);
        const auto match = QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$")).match(process.readLine());
        port = match.hasMatch() ? match.captured(1).toUShort() : 0;
    }
    ~Sandbox()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
    quint16 port = 0;
    QProcess process;
};

// Exit code, standard output and standard error of a program run to its end.
QStringList run(const QString& program, const QStringList& arguments, const QByteArray& input = {}, const QProcessEnvironment& environment = {})
{
    QProcess process;
    process.setProcessEnvironment(environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    return {QString::number(process.exitCode()), process.readAllStandardOutput(), process.readAllStandardError()};
}

QStringList tsql(quint16 port, const QString& input, const QString& password = Password, const QProcessEnvironment& environment = {})
{
    return run(QStringLiteral("tsql"), {"-H", "127.0.0.1", "-p", QString::number(port), "-U", "sa", "-P", password},
               (input + "\ngo\nexit\n").toUtf8(), environment);
}

// python3-tds: the revision and server version the login acknowledged, then each statement's rows
// or "!number text", statements joined by " / " and rows by ';'.
QString pytds(quint16 port, const QStringList& arguments, const QStringList& statements)
{
    const QString out = run(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(SUOWUTONG_SOURCE_DIR "/tests/sandbox/pytds_client.py"),
                                                                            QString::number(port), Password} + arguments,
                            QJsonDocument(QJsonArray::fromStringList(statements)).toJson())[1];
    QStringList results;
    for (const QJsonValue& result : QJsonDocument::fromJson(out.toUtf8()).array())
        results.append(result.toVariant().toStringList().join(QLatin1Char(';')));
    return results.isEmpty() ? out : results.join(QStringLiteral(" / "));
}

}  // namespace

class TstSandboxServer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Fixture> m_data;
    std::unique_ptr<SandboxServer> m_server;
    quint16 port() const { return m_server->port(); }
    SandboxServer::Options options(const QString& profile = QStringLiteral("2019"), bool force = false) const
    {
        return {.dataDir = m_dir.path(), .password = Password, .logFile = {}, .profile = *ServerProfile::named(profile),
                .forceEncryption = force, .certificateFile = {}, .keyFile = {}};
    }

private slots:
    void initTestCase()
    {
        m_data = std::make_unique<Fixture>(m_dir.path());
        QString error;
        QVERIFY2(DemoSeed::fill(m_data->directory(), &error), qPrintable(error));
        m_server = std::make_unique<SandboxServer>(options());
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void realClients()
    {
        // Values fill their declared widths (four Chinese characters are eight GBK bytes); date-times
        // come back in SQL Server's steps of 1/300 s; errors arrive with their numbers.
        const QString rows = QStringLiteral("1|-32768|255|-9000000000|1|0.25|2024-02-29 13:45:30.500|登陆时间|锁务通吗|资源锁定表（成本管理）;"
                                            "2|NULL|NULL|NULL|NULL|NULL|NULL|NULL||;3|0|0|0|0|0|2000-01-02 00:00:00.000|登陆时||;"
                                            "4|0|0|0|0|0|1899-12-31 00:00:00.003|||");
        for (const auto& [version, revision] : {std::pair{"7.4", "0x74000004"}, std::pair{"7.1", "0x71000001"}}) {
            const QString table = QStringLiteral("rt_") + QLatin1Char(version[2]);
            const QStringList batches{
                "create table " + table + " (id int, si smallint, ti tinyint, bi bigint, bt bit, f float, d datetime, v varchar(8), "
                                          "n nvarchar(4), w varchar(22))",
                "insert into " + table + " values (1, -32768, 255, -9000000000, 1, 0.25, '2024-02-29 13:45:30.500', '登陆时间', "
                                         "N'锁务通吗', '资源锁定表（成本管理）'), (2, null, null, null, null, null, null, null, N'', ''), "
                                         "(3, 0, 0, 0, 0, 0, '2000-01-01 23:59:59.999', convert(varchar(7), '登陆时间'), '', ''), "
                                         "(4, 0, 0, 0, 0, 0, '1899-12-31 00:00:00.002', '', '', '')",
                "select * from " + table + " order by id", QStringLiteral("select * from ua_nosuch"),
                "delete from " + table + " where 1 / 0 = 1"};
            QCOMPARE(pytds(port(), {version}, batches), QString::fromLatin1(revision) + " 0x0f0007d0 /  /  / " + rows
                                                         + " / !208 Invalid object name 'ua_nosuch'. / !8134 Divide by zero error encountered.");
        }
    }

    void generations_data()
    {
        QTest::addColumn<QString>("client");     // "tsql", or python3-tds's revision and encryption
        QTest::addColumn<QString>("profile");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("refuses");    // TLS versions the client's machine refuses
        QTest::addColumn<QString>("shows");      // in the client's output; '!' first: its login fails
        QTest::addColumn<QString>("handshake");  // as the server recorded it
        const QString refused = QStringLiteral("!Adaptive Server connection failed");
        const auto row = [](const char* name, const char* client, const char* profile, bool force, const char* refuses, const QString& shows,
                            const char* handshake) { QTest::newRow(name) << client << profile << force << refuses << shows << handshake; };
        // Clients pick the newest version both sides have: a range is tried with clients that refuse its top.
        row("tsql 2005", "tsql", "2005", false, "", Chinese, "login TLS 1.0");
        row("tsql 2022 forced", "tsql", "2022", true, "", Chinese, "whole TLS 1.2");
        row("tsql 2008r2 without TLS 1.0", "tsql", "2008r2", false, "tls1.0", refused, "login failed");
        row("tsql 2012 without TLS 1.0", "tsql", "2012", false, "tls1.0", Chinese, "login TLS 1.2");
        row("tsql 2016 up to TLS 1.1", "tsql", "2016", false, "tls1.2 tls1.3", Chinese, "login TLS 1.1");
        row("tsql 2016 TLS 1.0 only", "tsql", "2016", false, "tls1.1 tls1.2 tls1.3", Chinese, "login TLS 1.0");
        row("tsql 2019 TLS 1.3 only", "tsql", "2019", false, "tls1.0 tls1.1 tls1.2", refused, "login failed");
        row("tsql 2022 without TLS 1.2", "tsql", "2022", false, "tls1.2 tls1.3", refused, "login failed");
        // python3-tds speaks TLS 1.2 only, and shows the revision and version the server acknowledged.
        row("pytds login 2012", "7.4 login", "2012", false, "", "0x74000004 0x0b000834", "login TLS 1.2");
        row("pytds asks for all, 2019", "7.4 whole", "2019", false, "", "0x74000004 0x0f0007d0", "whole TLS 1.2");
        row("pytds plain, forced", "7.4 plain", "2022", true, "", "!it is required by server", "refused");
        row("pytds whole 2005", "7.4 whole", "2005", false, "", "!unsupported protocol", "whole failed");
        row("pytds plain 2000", "7.1 plain", "2000", false, "", "0x71000001 0x080000c2", "none");
        row("pytds plain 2005", "7.4 plain", "2005", false, "", "0x72090002 0x09000577", "none");
        row("pytds plain 2008r2", "7.4 plain", "2008r2", false, "", "0x730b0003 0x0a320640", "none");
    }

    void generations()
    {
        QFETCH(QString, client);
        QFETCH(QString, profile);
        QFETCH(bool, force);
        QFETCH(QString, refuses);
        QFETCH(QString, shows);
        QFETCH(QString, handshake);
        SandboxServer server(options(profile, force));
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        QString out;
        if (client == QLatin1String("tsql")) {
            QFile rules(m_dir.filePath(QStringLiteral("gnutls.config")));
            const QByteArray versions = refuses.isEmpty() ? "" : "disabled-version = " + refuses.toLatin1().replace(" ", "\ndisabled-version = ");
            QVERIFY(rules.open(QIODevice::WriteOnly) && rules.write("[overrides]\n" + versions + "\n") > 0 && rules.flush());
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("GNUTLS_SYSTEM_PRIORITY_FILE"), rules.fileName());
            out = tsql(server.port(), "select N'" + Chinese + "' as x", Password, environment).join(QLatin1Char('|'));
        } else {
            // python3-tds encrypts only when it has a certificate to trust.
            QFile certificate(m_dir.filePath(QStringLiteral("server.pem")));
            QVERIFY(certificate.open(QIODevice::WriteOnly) && certificate.write(server.certificatePem()) >= 0 && certificate.flush());
            out = pytds(server.port(), client.split(QLatin1Char(' ')) << certificate.fileName(), {"select N'" + Chinese + "'"});
        }
        const bool fails = shows.startsWith(QLatin1Char('!'));
        QVERIFY2(out.contains(shows.mid(fails ? 1 : 0)) && out.contains(Chinese) != fails, qPrintable(out));
        // A failing client may give up before the server has finished with it.
        QTRY_VERIFY(!server.handshakes().isEmpty());
        const HandshakeRecord record = server.handshakes().constFirst();
        QCOMPARE(record.encryption + (!record.tls.isEmpty() ? QLatin1Char(' ') + record.tls
                                      : record.failure.isEmpty() ? QString() : QStringLiteral(" failed")), handshake);
    }

    void replies_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("expected");
        const auto batch = [](const char* sql) { return sqlBatch(QString::fromUtf8(sql)); };
        QTest::newRow("statements") << 0x01 << batch("select cAcc_id, cAcc_Name from ua_account where cAcc_id < '002' "
                                                     "delete from ua_outpzlog where 1 = 0 create table x_reply (id int) drop table x_reply")
                                    << "cols cAcc_id,cAcc_Name | row 001,北京远航科技有限公司 | done 11/1 | done 11/0 | done 1/0 | done 0/0";
        QTest::newRow("error after a count") << 0x01 << batch("delete from ua_outpzlog where 1 = 0 select cast('x' as int) select 1")
                                             << "done 11/0 | error 245/16 Conversion failed when converting the varchar value 'x' to data type int. | done 2/0";
        QTest::newRow("empty batch") << 0x01 << batch("  ") << "done 0/0";
        QString rows;  // many packets of 512 bytes
        for (int id = 1; id <= 12; ++id)
            rows += QStringLiteral("row %1,002 | ").arg(id).repeated(120) + QStringLiteral("row %1,001 | ").arg(id).repeated(180);
        QTest::newRow("large result") << 0x01 << batch("select count(*) from UA_Period a, UA_Period b select a.iId, b.cAcc_id "
                                                       "from UA_Period a, UA_Period b order by a.iId, b.cAcc_id desc")
                                      << "cols  | row 3600 | done 11/1 | cols iId,cAcc_id | " + rows + "done 10/3600";
        QTest::newRow("remote call") << 0x03 << batch("") + QByteArray::fromHex("ffff 0d00 0000")
                                     << "error 50000/16 Remote procedure calls are not supported by this server. | done 2/0";
    }

    void replies()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, payload);
        QFETCH(QString, expected);
        RawClient client(port());
        QVERIFY(loggedIn(client));
        client.send(quint8(type), payload);
        QCOMPARE(client.reply(), expected);
        QCOMPARE(client.batch(QStringLiteral("select 1")), QStringLiteral("cols  | row 1 | done 10/1"));
    }

    void protocolViolationsCloseOnlyThatConnection_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QByteArray>("stream");
        const QByteArray prelogin = packets(0x12, Prelogin);
        QTest::newRow("batch before login") << false << packets(0x01, sqlBatch(QStringLiteral("select 1")));
        QTest::newRow("batch after a refused login") << false << prelogin + packets(0x10, login7("x")) + packets(0x01, sqlBatch("delete from ua_task"));
        QTest::newRow("garbage login") << false << packets(0x10, QByteArray(40, 'x'));
        QTest::newRow("malformed prelogin") << false << packets(0x12, QByteArray::fromHex("0000050001"));
        // A login needs a few hundred bytes; nobody unauthenticated may make the server hold megabytes.
        QTest::newRow("endless login") << false << prelogin + packets(0x10, QByteArray(256 * 1024, 'x'), 4096, false);
        QTest::newRow("second prelogin") << true << prelogin;
        QTest::newRow("odd batch") << true << packets(0x01, sqlBatch(QStringLiteral("x")) + 'y');
        QTest::newRow("batch headers longer than the batch") << true << packets(0x01, QByteArray::fromHex("f4010000") + "ab");
        QTest::newRow("packet shorter than its header") << true << QByteArray::fromHex("0101000700000100");
        QTest::newRow("unknown type") << true << packets(0x07, "x");
    }

    void protocolViolationsCloseOnlyThatConnection()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QByteArray, stream);
        RawClient good(port());
        RawClient bad(port());
        QVERIFY(::loggedIn(good) && (!loggedIn || ::loggedIn(bad)));
        bad.sendRaw(stream);
        QVERIFY(bad.waitForClose());
        QCOMPARE(good.batch(QStringLiteral("select 1")), QStringLiteral("cols  | row 1 | done 10/1"));
    }

    void attention()
    {
        RawClient client(port());
        QVERIFY(loggedIn(client));
        // In the middle of a result it ends the reply; after a whole reply it is acknowledged alone.
        client.send(0x01, sqlBatch(Endless));
        QVERIFY(client.socket().waitForReadyRead(5000));
        client.send(0x06, {});
        QVERIFY(client.reply(10000).endsWith(QLatin1String(" | done 20/0")));
        client.send(0x06, {});
        QCOMPARE(client.reply(), QStringLiteral("done 20/0"));
        // Between the packets of a request it abandons the request: the next one starts afresh.
        client.sendRaw(packets(0x01, sqlBatch(QStringLiteral("delete from ua_tasklog --")), 4096, false));
        client.send(0x06, {});
        client.send(0x01, sqlBatch(QStringLiteral("\nselect 1")));
        QCOMPARE(client.reply(), QStringLiteral("done 20/0"));
        QCOMPARE(client.reply(), QStringLiteral("cols  | row 1 | done 10/1"));
        QCOMPARE(m_data->count(QStringLiteral("zrsystem"), QStringLiteral("ua_tasklog")), 10);
    }

    void slowStatementHoldsUpOnlyItsClient()
    {
        RawClient slow(port());
        RawClient other(port());
        QVERIFY(loggedIn(slow) && loggedIn(other));
        slow.send(0x01, sqlBatch(QStringLiteral("select count(*) from UA_Period a, UA_Period b, UA_Period c, UA_Period d, UA_Period e")));
        QTest::qWait(200);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(other.batch(QStringLiteral("select count(*) from ua_task"), 3000), QStringLiteral("cols  | row 7 | done 10/1"));
        // An attention stops the statement under way rather than waiting for its end.
        slow.send(0x06, {});
        QCOMPARE(slow.reply(3000), QStringLiteral("done 20/0"));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

    void memoryStaysBounded()
    {
        if (residentMiB() < 0)
            QSKIP("needs /proc");
        RawClient client(port());
        RawClient reader(port());
        QVERIFY(loggedIn(client) && loggedIn(reader));
        const qint64 before = residentMiB();
        // Batches long answered are not kept: these 64 hold 128 MiB as text.
        const QString big = QStringLiteral("select 1 --") + QString(1024 * 1024, QLatin1Char('x'));
        for (int i = 0; i < 64; ++i)
            QCOMPARE(client.batch(big), QStringLiteral("cols  | row 1 | done 10/1"));
        // A result nobody reads is produced no faster than it is taken.
        reader.socket().setReadBufferSize(64 * 1024);
        reader.send(0x01, sqlBatch(Endless));
        QTest::qWait(1500);
        QVERIFY2(residentMiB() - before < 48, qPrintable(QStringLiteral("%1 -> %2 MiB").arg(before).arg(residentMiB())));
        reader.socket().setReadBufferSize(0);
        reader.send(0x06, {});
        QVERIFY(reader.reply(20000).endsWith(QLatin1String("done 20/0")));
    }

    void consoleLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");  // the second line; '!' first: what it says on stopping at once
        QTest::newRow("default") << QStringList() << "profile 2019, TLS 1.0-1.2, encryption: login";
        QTest::newRow("2000") << QStringList{"--profile", "2000"} << "profile 2000, no TLS, encryption: none";
        QTest::newRow("2008R2") << QStringList{"--profile", "2008R2"} << "profile 2008r2, TLS 1.0, encryption: login";
        QTest::newRow("2022 forced") << QStringList{"--profile", "2022", "--force-encryption"} << "profile 2022, TLS 1.2, encryption: forced";
        QTest::newRow("2000 forced") << QStringList{"--profile", "2000", "--force-encryption"} << "!profile 2000 offers no encryption to force";
        QTest::newRow("unknown") << QStringList{"--profile", "2003"} << "!--profile knows 2000, 2005, 2008r2";
        QTest::newRow("key alone") << QStringList{"--key", "none.pem"} << "!a key its certificate";
    }

    void consoleLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir dir;
        arguments = QStringList{"--data", dir.path(), "--port", "0", "--password", Password} + arguments;
        if (line.startsWith(QLatin1Char('!'))) {
            const QStringList failed = run(QStringLiteral(SUOWUTONG_SANDBOX_EXE), arguments);
            QVERIFY2(failed[0] != "0" && failed[2].contains(line.mid(1)), qPrintable(failed.join('|')));
            return;
        }
        Sandbox sandbox(arguments);
        QTRY_VERIFY_WITH_TIMEOUT(sandbox.process.canReadLine(), 5000);
        QCOMPARE(QString::fromUtf8(sandbox.process.readLine()), line + QLatin1Char('\n'));
    }

    void seedCutShortIsNeverServed()
    {
        QTemporaryDir dir;
        const QStringList seeded{"--data", dir.path(), "--port", "0", "--password", Password, "--seed", "demo"};
        // A folder in the way of one of the databases stops the seed half-way.
        const QString blocker = dir.filePath(QStringLiteral("ZRDATA_001_2015.sqlite"));
        QVERIFY(QDir().mkpath(blocker));
        const QStringList failed = run(QStringLiteral(SUOWUTONG_SANDBOX_EXE), seeded);
        QVERIFY2(failed[0] == "1" && failed[2].contains(QStringLiteral("cannot seed")), qPrintable(failed.join('|')));
        const QStringList refused = run(QStringLiteral(SUOWUTONG_SANDBOX_EXE), seeded.mid(0, 6));
        QVERIFY2(refused[0] == "1" && refused[2].contains(QStringLiteral("cut short")), qPrintable(refused.join('|')));
        // Seeding again finishes the job.
        QVERIFY(QDir(blocker).removeRecursively());
        Sandbox sandbox(seeded);
        const QString out = tsql(sandbox.port, QStringLiteral("select count(*) as n from master..sysdatabases where name like 'ZRDATA%'"))[1];
        QVERIFY2(out.contains(QStringLiteral("n\n3\n")), qPrintable(out));
    }

    void seededDemoThroughTsql()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("statements.jsonl"));
        const QStringList arguments{"--data", dir.filePath("new/data"), "--port", "0", "--password", Password, "--seed", "demo", "--log", log};
        const QString taskQuery = QStringLiteral("select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,"
                                                 "b.taskstate from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
        {
            Sandbox sandbox(arguments);
            const QString tasks = tsql(sandbox.port, taskQuery)[1];
            for (const char* part : {"ctaskid\tcsub_name\tcstation\t登陆时间\ttaskstate\n", "\n1005\t存货核算\t财务室-张会计\t2016-03-07 17:30:00\t-1\n", "(10 rows affected)"})
                QVERIFY2(tasks.contains(QString::fromUtf8(part)), qPrintable(tasks));
            QVERIFY(tsql(sandbox.port, {}, QStringLiteral("x"))[2].contains(QStringLiteral("Msg 18456 (severity 14, state 1)")));
            const QString failed = tsql(sandbox.port, QStringLiteral("select * from ua_nosuch\ngo\ndelete from ua_tasklog"))[2];
            QVERIFY2(failed.contains(QStringLiteral("Msg 208 (severity 16, state 1)")), qPrintable(failed));
            QVERIFY(failed.contains(QStringLiteral("\"Invalid object name 'ua_nosuch'.\"")));
        }
        // One line per batch received, as tsql sent it; the refused login took no connection number.
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines;
        for (const QByteArray& line : file.readAll().trimmed().split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            lines.append(QStringLiteral("%1 %2 %3").arg(record["connection"].toInt()).arg(record["database"].toString(), record["sql"].toString()));
        }
        QCOMPARE(lines, QStringList({"1 zrsystem " + taskQuery + "\n", "2 zrsystem select * from ua_nosuch\n", "2 zrsystem delete from ua_tasklog\n"}));
        // A restart seeds only an empty folder: what was changed stays.
        Sandbox again(arguments);
        QVERIFY(tsql(again.port, QStringLiteral("select count(*) as n from ua_tasklog"))[1].contains(QStringLiteral("n\n0\n")));
    }

    void sigtermStopsARunningStatement()
    {
        QTemporaryDir dir;
        Sandbox sandbox({"--data", dir.path(), "--port", "0", "--password", Password, "--seed", "demo"});
        QProcess client;
        client.start(QStringLiteral("tsql"), {"-H", "127.0.0.1", "-p", QString::number(sandbox.port), "-U", "sa", "-P", Password});
        client.write("select count(*) from UA_Period a, UA_Period b, UA_Period c, UA_Period d, UA_Period e\ngo\n");
        QTest::qWait(1000);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(sandbox.process.processId()), SIGTERM);
        QVERIFY(sandbox.process.waitForFinished(5000));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(sandbox.process.exitStatus() == QProcess::NormalExit && sandbox.process.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(TstSandboxServer)
#include "tst_sandboxserver.moc"
