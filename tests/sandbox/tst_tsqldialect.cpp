// The T-SQL the engine understands and how a session runs it: one dialect rule per row, judged by
// the rows or the error SQL Server would return; statement boundaries, counts and errors that stop a
// batch; databases; result types; results pulled a row at a time; and every statement the program
// sends, exactly as it sends it, against the demo installation.
#include "engine/BatchResult.h"
#include "engine/DemoSeed.h"
#include "engine/Fixture.h"
#include "engine/Session.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace sandbox;

namespace {

const QString kDb = QStringLiteral("dialect");

const QString kTaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
const QString kDeleteAbnormalTasks = QStringLiteral(
    "delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0')");
const QString kDeleteAbnormalLog = QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'");
const QString kTasksLeft = QStringLiteral("select count(*) from ua_task select count(*) from ua_tasklog");
const QString kMappingExists = QStringLiteral("select * from sysobjects where name='UA_AccountDatabase' and xtype='U'");
const QString kExportList = QStringLiteral(
    "select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,cUser_Id as 用户编码,dTime as 操作时间 from ua_outpzlog");

QString yearList(const QString& account)
{
    return QStringLiteral("select distinct iyear from UA_Period where cacc_id='") + account + QStringLiteral("' and ISNULL(bIsDelete,0)=0");
}

QString mappingQuery(const QString& account, const QString& year)
{
    return QStringLiteral("select cDatabase from UA_AccountDatabase where cAcc_Id='") + account + QStringLiteral("' and (iBeginYear<='")
        + year + QStringLiteral("' and (iEndYear>='") + year + QStringLiteral("' or iEndYear is null)) ");
}

QString text(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : value.toString();
}

// Each statement as its rows "a|b;c|d" (sorted unless the batch orders them), its count "(n)" or "ok",
// joined by " / "; an error ("!number/severity text") ends the batch; "[db]" leads a batch that changed
// the database. Batches separated by "\ngo\n" run one after another on one session, joined by " // ".
QString render(Session& session, const QString& batches)
{
    QStringList out;
    for (const QString& batch : batches.split(QStringLiteral("\ngo\n"))) {
        const BatchResult result = BatchResult::drain(*session.run(batch));
        QStringList parts;
        for (const BatchResult::Statement& statement : result.statements()) {
            QStringList rows;
            for (const QVector<QVariant>& row : statement.rows) {
                QStringList values;
                for (const QVariant& value : row)
                    values.append(text(value));
                rows.append(values.join(QLatin1Char('|')));
            }
            if (!batch.contains(QLatin1String("order by"), Qt::CaseInsensitive))
                rows.sort();
            if (!statement.failed)
                parts.append(statement.hasResultSet ? rows.join(QLatin1Char(';'))
                             : statement.hasRowCount ? QStringLiteral("(%1)").arg(statement.rowCount) : QStringLiteral("ok"));
        }
        if (const auto error = result.error())
            parts.append(QStringLiteral("!%1/%2 %3").arg(error->number).arg(error->severity).arg(error->message));
        out.append((result.database().isEmpty() ? QString() : QStringLiteral("[%1] ").arg(result.database())) + parts.join(QStringLiteral(" / ")));
    }
    return out.join(QStringLiteral(" // "));
}

}  // namespace

class TestTsqlDialect : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rules_data();
    void rules();
    void resultTypes_data();
    void resultTypes();
    void resultsArePulledRowByRow();
    void newBatchEndsAnUnreadOne();
    void readersDoNotBlockWriters();
    void programStatements_data();
    void programStatements();
    void programDemoVariantsAndRefill();

private:
    void seed(DemoSeed::Options options = {});
    QString run(const QString& batches, const QString& database = kDb)
    {
        Session session(m_fixture->directory(), database);
        return render(session, batches);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fixture> m_fixture;
};

void TestTsqlDialect::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_fixture = std::make_unique<Fixture>(m_dir->path());
    if (QByteArray(QTest::currentTestFunction()).startsWith("program"))
        return seed();
    m_fixture->createDatabase(kDb);
    m_fixture->exec(kDb, QStringLiteral(
        "create table t_state (id int, s varchar(10), name nvarchar(20), d datetime)\n"
        "insert into t_state values (1, '10', N'甲', '2016-03-08 09:12:45'), (2, '9', N'乙', '2015-01-02 15:04:05.123'), "
        "(3, '4', N'丙', null), (4, ' -1', N'abc', '2016-12-31')\n"
        "create table people (code varchar(10), station varchar(20))\n"
        "insert into people values ('a_1', 'PC1'), ('ab1', 'pc1  '), ('A_2', '电脑'), ('b%1', 'PC2')\n"
        "create table task (id varchar(10))\n"
        "insert into task values ('1')\n"
        "create table tasklog (id varchar(10), st varchar(5))\n"
        "insert into tasklog values ('1', 'x'), ('2', 'y'), (null, 'z')\n"
        "create table narrow (c char(3), v varchar(3), n nvarchar(3), b bit)\n"
        "create table typed (c char(3), sn sysname, vm varchar(max), nm nvarchar(max), v1 varchar)\n"
        "insert into typed values ('ab', 'name', 'x', N'宽字符', 'z')\n"));
    m_fixture->createDatabase(QStringLiteral("ZRDATA_001_2015"));
    m_fixture->exec(QStringLiteral("ZRDATA_001_2015"), QStringLiteral("create table LockVouch (id int) insert into LockVouch values (5)"));
}

void TestTsqlDialect::seed(DemoSeed::Options options)
{
    QString error;
    QVERIFY2(DemoSeed::fill(m_fixture->directory(), options, &error), qPrintable(error));
}

void TestTsqlDialect::cleanup()
{
    m_fixture.reset();
    m_dir.reset();
}

void TestTsqlDialect::rules_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QString>("expected");
    const QString notADate = QStringLiteral("!241/16 Conversion failed when converting date and/or time from character string.");
    const QString truncated = QStringLiteral("!8152/16 String or binary data would be truncated.");
    const auto notAnInt = [](const char* text) {
        return QStringLiteral("!245/16 Conversion failed when converting the varchar value '%1' to data type int.").arg(QString::fromUtf8(text));
    };

    // Names
    QTest::newRow("bracketed and quoted names") << "select [name] from [dbo].[t_state] where [id] = 1 select \"name\" from \"t_state\" where \"id\" = 2"
                                                << "甲 / 乙";
    QTest::newRow("qualified names in any case") << "select count(*) from dbo.t_state select count(*) from dialect..t_state "
                                                    "select count(*) from DIALECT.dbo.T_STATE"
                                                 << "4 / 4 / 4";
    QTest::newRow("sysobjects under an alias") << "select o.name from dbo.sysobjects o where o.name = 'TASK' and o.xtype = 'U'" << "task";

    // Conversions
    QTest::newRow("convert styles") << "select convert(varchar(30), d, 0), convert(varchar(19), d, 120), convert(varchar(23), d, 121), "
                                       "convert(varchar(30), d, 23), convert(varchar(30), d, 112), convert(varchar(30), d, 108), "
                                       "convert(varchar(30), d, 111) from t_state where id = 2"
                                    << "Jan  2 2015  3:04PM|2015-01-02 15:04:05|2015-01-02 15:04:05.123|2015-01-02|20150102|15:04:05|2015/01/02";
    QTest::newRow("convert cuts, defaults, midnight") << "select convert(VARCHAR(10), d, 120), convert(varchar(30), d) from t_state where id = 1 "
                                                         "select convert(varchar(19), d, 120) from t_state where id = 4"
                                                      << "2016-03-08|Mar  8 2016  9:12AM / 2016-12-31 00:00:00";
    QTest::newRow("unknown style") << "select convert(varchar(30), d, 7777) from t_state"
                                   << "!281/16 7777 is not a valid style number when converting from datetime to a character string.";
    QTest::newRow("date-time texts") << "select convert(varchar(23), cast('2016/3/8T7:05' as datetime), 121), "
                                        "convert(varchar(23), cast('10:30:00' as datetime), 121), convert(varchar(23), cast('20160308' as datetime), 121)"
                                     << "2016-03-08 07:05:00.000|1900-01-01 10:30:00.000|2016-03-08 00:00:00.000";
    QTest::newRow("no such day") << "select cast('2015-02-29' as datetime)" << notADate;
    QTest::newRow("cast of a non-number fails") << "select code from people where cast(code as int) > 0" << notAnInt("a_1");
    QTest::newRow("blank, signed and empty texts") << "select cast('' as int), cast(' 7 ' as int), cast('+12' as int), cast('-' as int)" << "0|7|12|0";
    QTest::newRow("int overflow") << "select cast('99999999999' as int)"
                                  << "!248/16 The conversion of the varchar value '99999999999' overflowed an int column.";
    QTest::newRow("casts") << "select cast('abcdef' as varchar(3)), cast(4.9 as int), cast(42 as varchar(10)), cast(null as int), "
                              "convert(varchar(19), '2016-03-08', 120)"
                           << "abc|4|42|NULL|2016-03-08";
    QTest::newRow("isnull") << "select id, isnull(convert(varchar(10), d, 120), 'none') from t_state where id in (2, 3) order by id" << "2|2015-01-02;3|none";
    QTest::newRow("plus") << "select 'a' + 'b', code + '!', 1 + '2' from people where code = 'ab1'" << "ab|ab1!|3";

    // Storing: char pads, varchar drops trailing blanks and counts GBK bytes, nvarchar characters
    QTest::newRow("stored widths") << "insert into narrow values ('1', 'abc   ', N'中文', 'true') select c + '|', v + '|', n, b from narrow"
                                   << "(1) / 1  ||abc||中文|1";
    QTest::newRow("too many GBK bytes") << "insert into narrow values ('1', '中文', N'a', 1)" << truncated;
    QTest::newRow("stored non-number") << "insert into t_state values ('abc', 'x', N'x', null)" << notAnInt("abc");
    QTest::newRow("unknown type") << "create table g (x geography)" << "!2715/16 Column, parameter, or variable #1: Cannot find data type geography.";

    // LIKE, each case a 1 or a 0
    const auto like = [](const QStringList& pairs) {
        QStringList cases;
        for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
            cases.append(QStringLiteral("case when '%1' like '%2' then 1 else 0 end").arg(pairs[i], pairs[i + 1]));
        return QStringLiteral("select ") + cases.join(QStringLiteral(", "));
    };
    const QString cashier = QStringLiteral("DaZovu[_]___[_]____");
    QTest::newRow("like the cashier names") << like({"dazovu_001_2015", cashier, "DaZovu_01_2016", cashier, "DaZovu_001_20160", cashier,
                                                     "xDaZovu_001_2015", cashier}) << "1|0|0|0";
    QTest::newRow("like wildcards") << like({"axb", "a[_]b", "a中b", "a_b", "aXbYbZc", "a%b%c", "abcb", "a%bc", "ab", "ab%", "ab", "___",
                                             "a[b", "a[b", "北京远航科技有限公司", "%科技%"}) << "0|1|1|0|1|0|1|1";
    QTest::newRow("like sets") << "select code from people where code like '[B-c]%' select code from people where code like '[^a]%'" << "b%1 / b%1";
    QTest::newRow("like escape") << "select code from people where code like 'b!%%' escape '!'" << "b%1";

    // Comparison under the case-insensitive collation
    QTest::newRow("trailing blanks ignored") << "select code from people where station = 'pc1' order by code" << "a_1;ab1";
    QTest::newRow("distinct ignores case and trailing blanks") << "select count(*) from (select distinct station from people) x" << "3";

    // Statements
    QTest::newRow("if else") << "if 1 = 0 select 'a' else select 'b'" << "b";
    QTest::newRow("delete without from") << "delete people where code = 'ab1' select count(*) from people" << "(1) / 3";
    QTest::newRow("right join with star keeps the column order") << "select * from task a right join tasklog b on a.id=b.id order by b.st"
                                                                 << "1|1|x;NULL|2|y;NULL|NULL|z";
    QTest::newRow("not exists") << "select st from tasklog b where not exists(select * from task a where a.id = b.id) order by st" << "y;z";
    QTest::newRow("left outer join") << "select a.id, b.st from task a left outer join tasklog b on a.id = b.id" << "1|x";
    QTest::newRow("constants and a chinese alias") << "select 1, N'中文', 'x', null, id as 编号 from t_state where id = 1" << "1|中文|x|NULL|1";
    QTest::newRow("set options are no-ops") << "set nocount on set ansi_warnings on select 1" << "ok / ok / 1";
    QTest::newRow("semicolons, newlines, comments") << "select 1;\nselect /* x */ 2\nselect 3 -- y" << "1 / 2 / 3";
    QTest::newRow("top") << "select top 2 id from t_state order by id desc" << "4;3";
    QTest::newRow("group by having") << "select station, count(*) from people group by station having count(*) > 1" << "PC1|2";
    QTest::newRow("len drops trailing blanks") << "select len('ab  ')" << "2";

    // Statement boundaries and counts; an error ends its batch, keeping what ran before it and nothing of itself
    QTest::newRow("counts per statement") << "select 1;\nupdate tasklog set st = 'w' where id = '1'\ninsert into task values ('2'), ('3')\n"
                                             "select * from task where id = '9'"
                                          << "1 / (1) / (2) / ";
    QTest::newRow("create and drop have no count") << "create table c (id int) drop table c" << "ok / ok";
    QTest::newRow("if with and without effect") << "if exists(select * from sysobjects where name = 'nosuch') drop table nosuch "
                                                   "if exists(select * from sysobjects where name = 'TASK') delete from task"
                                                << "ok / (1)";
    const QString counts = QStringLiteral("\ngo\nselect (select count(*) from task), (select count(*) from tasklog), (select count(*) from narrow)");
    QTest::newRow("error stops the batch") << "delete from task\nselect * from nosuch\ndelete from tasklog" + counts
                                           << "(1) / !208/16 Invalid object name 'nosuch'. // 0|3|0";
    QTest::newRow("syntax error runs nothing") << "delete from task\ndelete from tasklog where" + counts
                                               << "!102/15 Incorrect syntax near 'where'. // 1|3|0";
    QTest::newRow("failed statement changes nothing") << "insert into narrow values ('1', 'a', N'a', 1), ('2', 'abcd', N'b', 0)" + counts
                                                      << truncated + " // 1|3|0";

    // Databases
    QTest::newRow("use") << "use [zrdata_001_2015] select * from LockVouch" << "[ZRDATA_001_2015] ok / 5";
    QTest::newRow("a failed use stays") << "use zrdata_001_2015\ngo\nuse nowhere\ngo\nselect * from LockVouch"
                                        << "[ZRDATA_001_2015] ok // !911/16 Database 'nowhere' does not exist. Make sure that the name is entered "
                                           "correctly. // 5";
    QTest::newRow("create database") << "create database Fresh use fresh create table t (id int) insert into t values (1) select count(*) from t"
                                     << "[Fresh] ok / ok / ok / (1) / 1";

    // Errors
    QTest::newRow("unknown table") << "select * from dbo.nosuch" << "!208/16 Invalid object name 'dbo.nosuch'.";
    QTest::newRow("unknown column is not a string") << "select nosuch from people" << "!207/16 Invalid column name 'nosuch'.";
    QTest::newRow("misspelt keyword") << "select * frm people" << "!102/15 Incorrect syntax near 'frm'.";
    QTest::newRow("open string") << "select 'abc" << "!105/15 Unclosed quotation mark after the character string 'abc'.";
    QTest::newRow("open comment") << "select 1 /* /* */" << "!113/15 Missing end comment mark '*/'.";
    QTest::newRow("unknown function") << "select foo(1)" << "!195/15 'foo' is not a recognized built-in function name.";
    QTest::newRow("variables") << "select @x" << "!137/15 Must declare the scalar variable \"@x\".";
    QTest::newRow("drop a missing table") << "drop table nosuch"
                                          << "!3701/11 Cannot drop the table 'nosuch', because it does not exist or you do not have permission.";
    QTest::newRow("create an existing table") << "create table PEOPLE (id int)" << "!2714/16 There is already an object named 'PEOPLE' in the database.";
    QTest::newRow("create an existing database") << "create database DIALECT"
                                                  << "!1801/16 Database 'DIALECT' already exists. Choose a different database name.";
}

void TestTsqlDialect::rules()
{
    QFETCH(QString, batch);
    QFETCH(QString, expected);
    QCOMPARE(run(batch), expected);
}

void TestTsqlDialect::resultTypes_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");  // -1: not checked
    QTest::addColumn<QString>("value");

    QTest::newRow("char is padded") << "c" << int(SqlType::VarChar) << 3 << "ab ";
    QTest::newRow("sysname") << "sn" << int(SqlType::NVarChar) << 128 << "name";
    QTest::newRow("varchar(max)") << "vm" << int(SqlType::VarChar) << 8000 << "x";
    QTest::newRow("nvarchar(max)") << "nm" << int(SqlType::NVarChar) << 4000 << "宽字符";
    QTest::newRow("varchar without length") << "v1" << int(SqlType::VarChar) << 1 << "z";
    QTest::newRow("convert") << "convert(varchar(19), d, 120)" << int(SqlType::VarChar) << 19 << "2016-03-08 09:12:45";
    QTest::newRow("aggregate typed by its value") << "max(nm)" << int(SqlType::NVarChar) << -1 << "宽字符";
    QTest::newRow("case") << "case when 1 = 1 then 'a' else 'bcd' end" << int(SqlType::VarChar) << 3 << "a";
}

void TestTsqlDialect::resultTypes()
{
    QFETCH(QString, expression);
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QString, value);
    const BatchResult result = m_fixture->run(kDb, QStringLiteral("select ") + expression + QStringLiteral(" from typed, t_state where id = 1"));
    QVERIFY(result.ok());
    const ColumnInfo column = result.statements().first().columns.value(0);
    QCOMPARE(int(column.type), type);
    if (size >= 0)
        QCOMPARE(column.size, size);
    // A column keeps its name; an expression without an alias has none.
    QCOMPARE(column.name, QRegularExpression(QStringLiteral("^[a-z]\\w*$")).match(expression).hasMatch() ? expression : QString());
    QCOMPARE(text(result.lastRows().value(0).value(0)), value);
}

void TestTsqlDialect::resultsArePulledRowByRow()
{
    // 4^7 rows, pulled one at a time and abandoned early.
    const QString many = QStringLiteral("select a.id from t_state a, t_state b, t_state c, t_state d, t_state e, t_state f, t_state g");
    Session session(m_fixture->directory(), kDb);
    std::unique_ptr<BatchExecution> execution = session.run(many + QStringLiteral(" select 1"));
    BatchEvent event;
    QVERIFY(execution->next(event));
    QCOMPARE(event.kind, BatchEvent::Kind::Columns);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(execution->next(event));
        QCOMPARE(event.kind, BatchEvent::Kind::Row);
    }
    execution->cancel();
    QVERIFY(!execution->next(event));

    const BatchResult all = BatchResult::drain(*session.run(many));
    QCOMPARE(all.statements().first().rows.size(), 16384);
    QCOMPARE(all.statements().first().rowCount, 16384);
}

void TestTsqlDialect::newBatchEndsAnUnreadOne()
{
    Session session(m_fixture->directory(), kDb);
    std::unique_ptr<BatchExecution> first = session.run(QStringLiteral("select * from tasklog delete from task"));
    BatchEvent event;
    QVERIFY(first->next(event));
    QVERIFY(first->next(event));
    std::unique_ptr<BatchExecution> second = session.run(QStringLiteral("select count(*) from task"));
    QVERIFY(!first->next(event));
    // The abandoned batch never reached its delete.
    QCOMPARE(BatchResult::drain(*second).lastRows().value(0).value(0).toInt(), 1);
}

void TestTsqlDialect::readersDoNotBlockWriters()
{
    // The server runs every connection on one thread: a client reading slowly must not stop
    // another from deleting.
    Session reader(m_fixture->directory(), kDb);
    Session writer(m_fixture->directory(), kDb);
    std::unique_ptr<BatchExecution> reading = reader.run(QStringLiteral("select id from t_state order by id"));
    BatchEvent event;
    QVERIFY(reading->next(event));
    QVERIFY(reading->next(event));
    QCOMPARE(BatchResult::drain(*writer.run(QStringLiteral("delete from t_state"))).statements().value(0).rowCount, 4);
    for (qint64 id : {2, 3, 4}) {
        QVERIFY(reading->next(event));
        QCOMPARE(event.row.value(0).toLongLong(), id);
    }
    QVERIFY(reading->next(event));
    QCOMPARE(event.kind, BatchEvent::Kind::Done);
    QCOMPARE(run(QStringLiteral("select count(*) from t_state")), QStringLiteral("0"));
}

void TestTsqlDialect::programStatements_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QStringList>("batches");  // run one after another, as the program does
    QTest::addColumn<QString>("expected");

    const QString zr = QStringLiteral("zrsystem");
    // Every log row, with or without its task; the task without a log row (0998) is not listed.
    QTest::newRow("task list") << zr << QStringList{kTaskQuery}
                               << "1001|总账|CAIWU-PC01|2016-03-08 09:12:45|1;1002|应收款管理|CAIWU-PC01|2016-03-08 09:15:02|0;"
                                  "1003|固定资产|CAIWU-PC01|2016-03-08 10:01:33|7;1004|总账|财务室-张会计|2016-03-08 08:45:10|2;"
                                  "1005|存货核算|财务室-张会计|2016-03-07 17:30:00|-1;1006|销售管理|XIAOSHOU01|2016-03-08 11:20:18|5;"
                                  "1007|采购管理|仓库电脑|2016-03-08 11:48:55|3;1008|成本管理|CAIWU-PC02|2016-03-06 16:02:11|;"
                                  "NULL|系统管理|CAIWU-PC01|2016-03-08 08:30:00|1;NULL|系统管理|财务室-张会计|2016-03-08 08:31:27|0";
    // 1003 and 1006 go; 1005 has no task row; the blank state reads as 0 and stays.
    QTest::newRow("abnormal tasks") << zr << QStringList{kDeleteAbnormalTasks, kDeleteAbnormalLog, QStringLiteral("select cTaskId from ua_task")}
                                    << "(2) // (3) // 0998;1001;1002;1004;1008";
    QTest::newRow("all tasks") << zr << QStringList{"delete from ua_task", "delete from ua_tasklog", kTasksLeft} << "(7) // (10) // 0 / 0";
    QTest::newRow("tasks by id") << zr << QStringList{"delete from ua_task where cTaskId='1003'", "delete from ua_tasklog where cTaskId='1003'", kTasksLeft}
                                 << "(1) // (1) // 6 / 9";
    QTest::newRow("system management") << zr << QStringList{"delete from ua_tasklog where cSub_Id='AA' and cSub_Name='系统管理'", kTasksLeft}
                                       << "(2) // 7 / 8";
    QTest::newRow("tasks by computer") << zr << QStringList{"delete from ua_task where cStation='财务室-张会计'",
                                                            "delete from ua_tasklog where cStation='财务室-张会计'", kTasksLeft}
                                       << "(1) // (3) // 6 / 7";
    QTest::newRow("accounts") << zr << QStringList{"Select cAcc_id,cAcc_Name from ua_account"}
                              << "001|北京远航科技有限公司;002|上海明德贸易有限公司;003|演示账套（新建）";
    // 2014 of 001 is deleted; a NULL flag is not.
    QTest::newRow("years") << zr << QStringList{yearList("001"), yearList("002"), yearList("003")} << "2015;2016 // 2016;2017 // ";
    QTest::newRow("year databases") << zr << QStringList{mappingQuery("001", "2014"), mappingQuery("001", "2016"), mappingQuery("002", "2017"),
                                                         mappingQuery("002", "2015"), mappingQuery("003", "2016")}
                                    << "ZRDATA_001_2014 // ZRDATA_001_2016 // ZRDATA_002_2016 //  // ";
    // A blank station is text, not NULL.
    QTest::newRow("voucher-export log") << zr << QStringList{kExportList, "delete from ua_outpzlog", kExportList}
                                        << "001|2016|3|CAIWU-PC01|demo|2016-03-08 10:22:31.000;001|2016|3||zhang|2016-03-08 10:40:05.000;"
                                           "002|2016|2|仓库电脑|wang|2016-02-27 15:12:48.000 // (3) // ";
    // The program asks from zrsystem, naming master's catalogue.
    QTest::newRow("cashier databases") << zr << QStringList{"select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'"}
                                       << "DaZovu_001_2015;DaZovu_001_2016;DaZovu_002_2016";
    QTest::newRow("cashier locks") << "DaZovu_001_2015" << QStringList{"Delete From CN_LockAcctBook"} << "(2)";
    QTest::newRow("cashier locks, no table") << "DaZovu_002_2016" << QStringList{"Delete From CN_LockAcctBook"}
                                             << "!208/16 Invalid object name 'CN_LockAcctBook'.";
    const QString drop = QStringLiteral("if exists(select  * from dbo.sysobjects where xtype='U' and name ='isprocess@@@') drop table isprocess@@@");
    QTest::newRow("lock clearing") << "ZRDATA_001_2015" << QStringList{"delete from GL_LockRows", "delete from gl_lockrows", drop, drop,
                                                                       "select count(*) from sysobjects where name='isprocess@@@'"}
                                   << "(2) // (0) // ok // ok // 0";
}

void TestTsqlDialect::programStatements()
{
    QFETCH(QString, database);
    QFETCH(QStringList, batches);
    QFETCH(QString, expected);
    QCOMPARE(run(batches.join(QStringLiteral("\ngo\n")), database), expected);
}

void TestTsqlDialect::programDemoVariantsAndRefill()
{
    DemoSeed::Options options;
    options.nonNumericState = true;
    options.accountDatabaseTable = false;
    seed(options);
    Session zrsystem(m_fixture->directory(), QStringLiteral("zrsystem"));
    // A state SQL Server cannot convert fails both statements, which then change nothing at all.
    const QString failed = QStringLiteral("!245/16 Conversion failed when converting the varchar value 'abc' to data type int.");
    QCOMPARE(render(zrsystem, kDeleteAbnormalTasks + "\ngo\n" + kDeleteAbnormalLog + "\ngo\n" + kTasksLeft), failed + " // " + failed + " // 7 / 10");
    // Without the mapping table every listed year has its database under the standard name.
    QCOMPARE(render(zrsystem, kMappingExists), QString());
    for (const QString& year : render(zrsystem, yearList(QStringLiteral("002"))).split(QLatin1Char(';')))
        QVERIFY2(m_fixture->directory().hasDatabase(QStringLiteral("ZRDATA_002_") + year), qPrintable(year));

    // A client still connected across a refill sees the new data, as a server's sessions do.
    m_fixture->createDatabase(QStringLiteral("unrelated"));
    QCOMPARE(render(zrsystem, "delete from ua_task\ngo\n" + kTasksLeft), QStringLiteral("(7) // 0 / 10"));
    seed();
    QCOMPARE(render(zrsystem, kTasksLeft + "\ngo\nselect count(*) from ua_tasklog where TaskState = 'abc'"), QStringLiteral("7 / 10 // 0"));
    QVERIFY(!render(zrsystem, kMappingExists).isEmpty());
    QVERIFY(!m_fixture->directory().hasDatabase(QStringLiteral("ZRDATA_002_2017")));
    QVERIFY(m_fixture->directory().hasDatabase(QStringLiteral("unrelated")));
}

QTEST_GUILESS_MAIN(TestTsqlDialect)
#include "tst_tsqldialect.moc"
