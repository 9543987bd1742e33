// The suowutong-sandbox executable as scripts and administrators start it, spoken to with tsql.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

const QString Exe = QStringLiteral(SUOWUTONG_SANDBOX_EXE);
const QString Password = QStringLiteral("X");

const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
const QString CashierQuery = QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'");

// A running sandbox that has printed its line; stopped with SIGTERM when it goes out of scope.
struct Sandbox {
    explicit Sandbox(const QStringList& arguments)
    {
        process.start(Exe, arguments);
        QElapsedTimer clock;
        clock.start();
        while (process.waitForStarted(5000) && !process.canReadLine() && clock.elapsed() < 15000)
            process.waitForReadyRead(500);
        line = QString::fromUtf8(process.readLine());
        const auto match = QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$")).match(line);
        port = match.hasMatch() ? match.captured(1).toUShort() : 0;
    }
    ~Sandbox()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }

    quint16 port = 0;
    QString line;
    QProcess process;
};

struct TsqlRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TsqlRun tsql(quint16 port, const QString& input, const QString& password = Password)
{
    QProcess process;
    process.start(QStringLiteral("tsql"), QStringList{"-H", "127.0.0.1", "-p", QString::number(port), "-U", "sa", "-P", password});
    process.write(input.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        process.kill();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

class TstSandboxServerExe : public QObject {
    Q_OBJECT

private slots:
    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");  // PORT stands for a port that is taken
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString usage = QStringLiteral("usage: suowutong-sandbox --data DIR");
        QTest::newRow("no data") << QStringList{"--port", "0"} << 2 << usage;
        QTest::newRow("unknown seed") << QStringList{"--data", "d", "--seed", "full"} << 2 << usage;
        QTest::newRow("port taken") << QStringList{"--data", "d", "--port", "PORT"} << 1 << "PORT";
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        arguments.replaceInStrings(QStringLiteral("PORT"), QString::number(taken.serverPort()));
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(Exe, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(message.replace(QStringLiteral("PORT"), QString::number(taken.serverPort()))), qPrintable(err));
        QVERIFY(exitCode == 1 || !QFileInfo::exists(dir.filePath(QStringLiteral("d"))));  // a usage error touches nothing
    }

    void seededDemoThroughTsql()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("statements.jsonl"));
        const QStringList arguments{"--data", dir.filePath("new/data"), "--port", "0", "--password", Password, "--seed", "demo", "--log", log};
        {
            Sandbox sandbox(arguments);
            QVERIFY2(sandbox.port != 0, qPrintable(sandbox.line));
            QVERIFY(QFileInfo(dir.filePath("new/data")).isDir());
            const TsqlRun run = tsql(sandbox.port, TaskQuery + "\ngo\n" + CashierQuery + "\ngo\nexit\n");
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.contains(QStringLiteral("ctaskid\tcsub_name\tcstation\t登陆时间\ttaskstate\n")), qPrintable(run.out));
            QVERIFY(run.out.contains(QStringLiteral("\n1005\t存货核算\t财务室-张会计\t2016-03-07 17:30:00\t-1\n")));
            QVERIFY(run.out.contains(QStringLiteral("Name\nDaZovu_")));
            QVERIFY(run.out.contains(QRegularExpression(QStringLiteral("\\(10 rows affected\\)[^(]+\\(3 rows affected\\)"))));

            const TsqlRun wrong = tsql(sandbox.port, QStringLiteral("exit\n"), QStringLiteral("x"));
            QVERIFY(wrong.exitCode != 0);
            QVERIFY2(wrong.err.contains(QStringLiteral("Msg 18456 (severity 14, state 1)")), qPrintable(wrong.err));
            QVERIFY(wrong.err.contains(QStringLiteral("\"Login failed for user 'sa'.\"")));

            const TsqlRun failed = tsql(sandbox.port, QStringLiteral("select * from ua_nosuch\ngo\ndelete from ua_tasklog\ngo\nexit\n"));
            QCOMPARE(failed.exitCode, 0);
            QVERIFY2(failed.err.contains(QStringLiteral("Msg 208 (severity 16, state 1)")), qPrintable(failed.err));
            QVERIFY(failed.err.contains(QStringLiteral("\"Invalid object name 'ua_nosuch'.\"")));

            // SIGTERM ends it cleanly, having printed nothing but its one line.
            ::kill(pid_t(sandbox.process.processId()), SIGTERM);
            QVERIFY(sandbox.process.waitForFinished(5000));
            QCOMPARE(sandbox.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(sandbox.process.exitCode(), 0);
            QVERIFY(sandbox.process.readAllStandardOutput().isEmpty());
        }
        // One line per batch received, as tsql sent it; refused logins took no connection number.
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            if (!line.isEmpty())
                lines.append(QStringLiteral("%1 %2 %3").arg(record.value("connection").toInt()).arg(record.value("database").toString(),
                                                                                                 record.value("sql").toString()));
        }
        QCOMPARE(lines, QStringList({"1 zrsystem " + TaskQuery + "\n", "1 zrsystem " + CashierQuery + "\n",
                                     "2 zrsystem select * from ua_nosuch\n", "2 zrsystem delete from ua_tasklog\n"}));

        // A restart seeds only an empty folder: what was changed stays.
        Sandbox again(arguments);
        const QString out = tsql(again.port, QStringLiteral("select count(*) as n from ua_tasklog\ngo\nexit\n")).out;
        QVERIFY2(out.contains(QStringLiteral("n\n0\n")), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TstSandboxServerExe)
#include "tst_sandboxserver_exe.moc"
