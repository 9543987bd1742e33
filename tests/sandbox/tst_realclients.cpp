// Real clients, the FreeTDS ODBC driver and python3-tds, against the server with its statement
// engine and the demo installation: what the program will meet.

#include "OdbcClient.h"
#include "engine/DataDirectory.h"
#include "engine/DemoSeed.h"
#include "server/FaultInjector.h"
#include "server/SandboxServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <thread>

using namespace sandbox;
using tdstest::OdbcClient;

namespace {

const QString Password = QStringLiteral("引擎 pw=1;中");

const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");

bool hasDiagnostic(const QStringList& diagnostics, int native, const QString& message)
{
    const QString wanted = QStringLiteral(" (%1) [FreeTDS][SQL Server]").arg(native) + message;
    return std::any_of(diagnostics.cbegin(), diagnostics.cend(), [&](const QString& d) { return d.endsWith(wanted); });
}

QStringList rowTexts(const QList<QVariantList>& rows, int from = 0)
{
    QStringList out;
    for (const QVariantList& row : rows) {
        QStringList values;
        for (const QVariant& v : row.mid(from))
            values.append(v.isValid() && !v.isNull() ? v.toString() : QStringLiteral("NULL"));
        out.append(values.join(QLatin1Char('|')));
    }
    return out;
}

}  // namespace

class TstRealClients : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SandboxServer> m_server;

    QString connection(const QString& database = {}, const QString& version = QStringLiteral("7.4"),
                       const QString& password = Password) const
    {
        // The password holds a ';', so it is braced.
        const QString s = QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;UID=sa;PWD={%2};TDS_Version=%3;ClientCharset=UTF-8;")
                              .arg(m_server->port())
                              .arg(password, version);
        return database.isEmpty() ? s : s + QStringLiteral("DATABASE=%1;").arg(database);
    }

    QJsonObject pytds(const QString& database, const QStringList& statements, const QString& version = QStringLiteral("7.4"),
                      const QString& password = Password, int loginTimeout = 10) const
    {
        QProcess process;
        process.start(QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3"),
                      {QStringLiteral(SUOWUTONG_SOURCE_DIR "/tests/sandbox/pytds_client.py"), QString::number(m_server->port()),
                       password, database, version, QString::number(loginTimeout)});
        process.write(QJsonDocument(QJsonArray::fromStringList(statements)).toJson());
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            process.kill();
        const QByteArray out = process.readAllStandardOutput();
        const QJsonDocument doc = QJsonDocument::fromJson(out);
        return doc.isObject() ? doc.object() : QJsonObject{{"failure", QString::fromUtf8(out + process.readAllStandardError())}};
    }

private slots:
    void initTestCase()
    {
        DataDirectory directory(m_dir.path());
        QString error;
        QVERIFY2(directory.ensure(&error) && DemoSeed::fill(directory, &error), qPrintable(error));
        SandboxServer::Options options;
        options.dataDir = m_dir.path();
        options.password = Password;
        m_server = std::make_unique<SandboxServer>(options);
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void cleanupTestCase() { m_server.reset(); }

    void refusedLogins()
    {
        const QString wrongPassword = QStringLiteral("引擎 PW=1;中");
        OdbcClient wrong;
        QVERIFY(!wrong.connect(connection({}, QStringLiteral("7.4"), wrongPassword)));
        QVERIFY2(hasDiagnostic(wrong.lastDiagnostics(), 18456, QStringLiteral("Login failed for user 'sa'.")),
                 qPrintable(tdstest::describe(wrong.lastDiagnostics())));
        OdbcClient unknown;
        QVERIFY(!unknown.connect(connection(QStringLiteral("nosuch"))));
        const QString cannotOpen = QStringLiteral("Cannot open database \"nosuch\" requested by the login. The login failed.");
        QVERIFY2(hasDiagnostic(unknown.lastDiagnostics(), 4060, cannotOpen), qPrintable(tdstest::describe(unknown.lastDiagnostics())));
        QVERIFY(hasDiagnostic(unknown.lastDiagnostics(), 18456, QStringLiteral("Login failed for user 'sa'.")));

        const QJsonObject login = pytds(QString(), {}, QStringLiteral("7.4"), wrongPassword, 2).value("login").toObject();
        QCOMPARE(login.value("number").toInt(), 18456);
        QVERIFY(login.value("message").toString().contains(QStringLiteral("Login failed for user 'sa'.")));
    }

    void eachRevision_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("acknowledged");
        QTest::newRow("7.4") << QStringLiteral("7.4") << QStringLiteral("0x74000004");
        QTest::newRow("7.1") << QStringLiteral("7.1") << QStringLiteral("0x71000001");
    }

    void eachRevision()
    {
        QFETCH(QString, version);
        QFETCH(QString, acknowledged);
        OdbcClient client;
        QVERIFY2(client.connect(connection(QStringLiteral("zrsystem"), version)), qPrintable(tdstest::describe(client.lastDiagnostics())));
        const auto tasks = client.execute(TaskQuery);
        QVERIFY2(tasks.ok, qPrintable(tdstest::describe(tasks.diags)));
        QCOMPARE(tasks.columns, QStringList({"ctaskid", "csub_name", "cstation", "登陆时间", "taskstate"}));
        QCOMPARE(tasks.rowCount, 10);
        QVERIFY(rowTexts(tasks.rows).contains(QStringLiteral("1005|存货核算|财务室-张会计|2016-03-07 17:30:00|-1")));
        QCOMPARE(m_server->statements().last().sql, TaskQuery);  // as the program wrote it

        // Values fill their declared widths: four Chinese characters are eight GBK bytes.
        const QString table = QStringLiteral("rt_%1").arg(QString(version).remove(QLatin1Char('.')));
        for (const char* sql : {"create table %1 (id int, si smallint, ti tinyint, bi bigint, bt bit, f float, d datetime, "
                                "v varchar(8), n nvarchar(4), w varchar(22), nw nvarchar(11))",
                                "insert into %1 values (1, -32768, 255, -9000000000, 1, 0.25, '2024-02-29 13:45:30.500', "
                                "'登陆时间', N'锁务通吗', '资源锁定表（成本管理）', N'资源锁定表（成本管理）')",
                                "insert into %1 values (2, null, null, null, null, null, null, null, N'', '', null)"}) {
            const auto r = client.execute(QString::fromUtf8(sql).arg(table));
            QVERIFY2(r.ok, qPrintable(tdstest::describe(r.diags)));
        }
        const QString select = QStringLiteral("select * from %1 order by id").arg(table);
        const auto r = client.execute(select);
        QCOMPARE(r.rowCount, 2);
        QCOMPARE(rowTexts(r.rows), QStringList({"1|-32768|255|-9000000000|1|0.25|2024-02-29 13:45:30.500|登陆时间|锁务通吗|"
                                                "资源锁定表（成本管理）|资源锁定表（成本管理）",
                                                "2|NULL|NULL|NULL|NULL|NULL|NULL|NULL|||NULL"}));
        m_server->faults().failStatements(QRegularExpression(QStringLiteral("^delete")), 547, QStringLiteral("约束冲突"));
        const auto failed = client.execute(QStringLiteral("delete from ") + table);
        m_server->faults().clear();
        QVERIFY2(!failed.ok && hasDiagnostic(failed.diags, 547, QStringLiteral("约束冲突")), qPrintable(tdstest::describe(failed.diags)));

        // The other client reads back the same, and meets errors and databases alike.
        const QJsonObject out = pytds(QString(), {select, QStringLiteral("select * from ua_nosuch"), QStringLiteral("use ZRDATA_001_2016"),
                                                  QStringLiteral("select count(*) as n from LockVouch")}, version);
        QCOMPARE(out.value("login").toString(), acknowledged);
        const QJsonArray results = out.value("results").toArray();
        QList<QVariantList> rows;
        for (const QJsonValue& row : results.at(0).toObject().value("rows").toArray())
            rows.append(row.toArray().toVariantList());
        QCOMPARE(rowTexts(rows, 6), QStringList({"2024-02-29 13:45:30.500|登陆时间|锁务通吗|资源锁定表（成本管理）|资源锁定表（成本管理）",
                                                 "NULL|NULL|||NULL"}));
        QCOMPARE(results.at(1).toObject().value("error").toObject().value("number").toInt(), 208);
        QCOMPARE(results.at(1).toObject().value("error").toObject().value("message").toString(), QStringLiteral("Invalid object name 'ua_nosuch'."));
        QCOMPARE(results.at(3).toObject().value("rows").toArray().at(0).toArray().at(0).toInt(-1), 0);
        QCOMPARE(m_server->statements().last().database, QStringLiteral("ZRDATA_001_2016"));
    }

    void twoConnectionsAtOnce()
    {
        QString failureA;
        QString failureB;
        auto work = [this](const QString& database, const QString& sql, QString* failure) {
            OdbcClient client;
            if (!client.connect(connection(database))) {
                *failure = tdstest::describe(client.lastDiagnostics());
                return;
            }
            for (int i = 0; i < 15 && failure->isEmpty(); ++i) {
                const auto r = client.execute(sql);
                if (!r.ok || r.rows.isEmpty())
                    *failure = database + QStringLiteral(": ") + tdstest::describe(r.diags);
            }
        };
        m_server->clearStatements();
        std::thread a(work, QStringLiteral("zrsystem"), QStringLiteral("select * from ua_tasklog"), &failureA);
        std::thread b(work, QStringLiteral("ZRDATA_001_2016"), QStringLiteral("select name from dbo.sysobjects"), &failureB);
        a.join();
        b.join();
        QVERIFY2(failureA.isEmpty(), qPrintable(failureA));
        QVERIFY2(failureB.isEmpty(), qPrintable(failureB));
        const QList<StatementRecord> records = m_server->statements();
        QCOMPARE(records.size(), 30);
        for (const StatementRecord& r : records)
            QCOMPARE(r.database, r.sql.contains(QStringLiteral("ua_tasklog")) ? QStringLiteral("zrsystem") : QStringLiteral("ZRDATA_001_2016"));
    }

    void cancelAndEarlyFreeKeepTheConnection()
    {
        OdbcClient client;
        QVERIFY(client.connect(connection(QStringLiteral("zrsystem"))));
        // SQLCancel in the middle of a result of millions of rows.
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, client.handle(), &stmt);
        const std::u16string endless = u"select a.iId from UA_Period a, UA_Period b, UA_Period c, UA_Period d";
        QVERIFY(SQL_SUCCEEDED(SQLExecDirectW(stmt, tdstest::wide(endless), SQL_NTS)));
        for (int i = 0; i < 50; ++i)
            QVERIFY(SQL_SUCCEEDED(SQLFetch(stmt)));
        QVERIFY2(SQL_SUCCEEDED(SQLCancel(stmt)), qPrintable(tdstest::describe(tdstest::diagnostics(SQL_HANDLE_STMT, stmt))));
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);

        // Freeing a statement before its result was read: the driver sends an attention itself.
        for (int i = 0; i < 3; ++i) {
            SQLAllocHandle(SQL_HANDLE_STMT, client.handle(), &stmt);
            QVERIFY(SQL_SUCCEEDED(SQLExecDirectW(stmt, tdstest::wide(TaskQuery.toStdU16String()), SQL_NTS)));
            QVERIFY(SQL_SUCCEEDED(SQLFetch(stmt)));
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        }
        QCOMPARE(client.execute(QStringLiteral("select count(*) from ua_task")).rows.value(0).value(0).toString(), QStringLiteral("7"));
    }
};

QTEST_GUILESS_MAIN(TstRealClients)
#include "tst_realclients.moc"
