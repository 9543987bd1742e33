// The database layer through the real driver against the in-process sandbox server.
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "support/SandboxHarness.h"

#include <QtTest>

using namespace db;

namespace {

const QString TestDb = QStringLiteral("dbtest");

QString adoString(const QString& database, const QString& server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=") + database
        + QStringLiteral(";Data Source=") + server;
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

}  // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void connectionLifecycle();
    void awkwardPasswords_data();
    void awkwardPasswords();
    void serverNames_data();
    void serverNames();
    void statementTextArrivesUnchanged();
    void valuesAndNulls();
    void chineseInAndOut();
    void statementErrors();
    void clientAndCountingRecordsets();
    void serverSideStreaming();

private:
    void open(Connection& connection, const QString& database = TestDb, const QString& password = {})
    {
        connection.open(adoString(database, m_sandbox.serverName()), QStringLiteral("sa"),
                        password.isNull() ? m_sandbox.password() : password);
    }

    SandboxHarness m_sandbox;
};

void TestDatabase::initTestCase()
{
    QVERIFY(m_sandbox.start());
    auto& fixture = m_sandbox.fixture();
    fixture.createDatabase(TestDb);
    fixture.exec(TestDb, QStringLiteral(
        "create table people (id int, name varchar(20), nick nvarchar(10), born datetime, score float, "
        "active bit, small smallint, tiny tinyint, big bigint) "
        "insert into people values "
        "(1, '张三', N'小张', '2016-02-29 08:30:15', 98.5, 1, -7, 255, 9000000000), "
        "(2, 'Li Si', N'', '1999-12-31 23:59:59', 0, 0, 0, 0, -1), "
        "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)"));
    QStringList numbers;
    for (int i = 1; i <= 3000; ++i)
        numbers.append(QStringLiteral("(%1)").arg(i));
    fixture.exec(TestDb, QStringLiteral("create table numbers (n int) insert into numbers values ") + numbers.join(','));
}

void TestDatabase::connectionLifecycle()
{
    Connection connection;
    QVERIFY(errorOf([&] { connection.execute("select 1"); }).description().contains(QStringLiteral("对象关闭时，不允许操作。")));

    const DbError refused = errorOf([&] { open(connection, TestDb, QStringLiteral("Wrong口令")); });
    QVERIFY2(refused.description().contains(QStringLiteral("Login failed for user 'sa'.")),
             qPrintable(refused.description()));
    QCOMPARE(refused.nativeError(), 18456);
    QVERIFY(!refused.description().contains(QStringLiteral("口令")));
    const QString noDatabase = errorOf([&] { open(connection, QStringLiteral("没有这个库")); }).description();
    QVERIFY2(noDatabase.contains(
                 QStringLiteral("Cannot open database \"没有这个库\" requested by the login. The login failed.")),
             qPrintable(noDatabase));
    QCOMPARE(connection.state(), StateClosed);

    // A failed attempt leaves nothing behind; opening again while open starts over on the new database.
    open(connection, QStringLiteral("zrsystem"));
    open(connection, QStringLiteral("ZRDATA_001_2016"));
    m_sandbox.clearStatements();
    connection.execute(QStringLiteral("select 2"));
    QCOMPARE(m_sandbox.statements().value(0).database, QStringLiteral("ZRDATA_001_2016"));
    connection.close();
    connection.close();  // harmless twice
    QCOMPARE(connection.state(), StateClosed);

    // Closing the connection under a streaming recordset closes the recordset with it, and so
    // does the connection going away altogether.
    auto shortLived = std::make_unique<Connection>();
    open(*shortLived);
    Recordset stream;
    stream.setCursorLocation(CursorLocation::Server);
    stream.open(QStringLiteral("select n from numbers"), *shortLived);
    shortLived->close();
    QCOMPARE(stream.state(), StateClosed);
    open(*shortLived);
    stream.open(QStringLiteral("select n from numbers"), *shortLived);
    shortLived.reset();
    QCOMPARE(stream.state(), StateClosed);
}

void TestDatabase::awkwardPasswords_data()
{
    QTest::addColumn<QString>("password");
    for (const char* password : {"ab;cd;", "k=v==", "a}b}", "a}}b", "{secret}", "{x", "x;y}z", "it's \"q\"",
                                 "  two  words  ", "p;DRIVER={x;UID=other"})
        QTest::newRow(password) << QString::fromLatin1(password);
    QTest::newRow("chinese") << QStringLiteral("管理员密码");
    QTest::newRow("empty") << QString();
}

void TestDatabase::awkwardPasswords()
{
    QFETCH(QString, password);
    SandboxHarness sandbox(password);
    QVERIFY(sandbox.start());
    const QString ado = adoString(QStringLiteral("zrsystem"), sandbox.serverName());
    Connection connection;
    connection.open(ado, QStringLiteral("sa"), password);
    connection.execute(QStringLiteral("select 1"));
    // A near miss is refused: the server really compared what arrived.
    QCOMPARE(errorOf([&] { connection.open(ado, QStringLiteral("sa"), password + QStringLiteral(" ")); }).nativeError(),
             18456);
}

void TestDatabase::serverNames_data()
{
    QTest::addColumn<QString>("form");  // %1 is the port
    QTest::addColumn<bool>("reaches");
    for (const char* form : {"(local),%1", ".,%1", "LOCALHOST,%1", ",%1", "127.0.0.1,%1"})
        QTest::newRow(form) << QString::fromLatin1(form) << true;
    QTest::newRow("leading blank") << " 127.0.0.1,%1" << false;
}

void TestDatabase::serverNames()
{
    QFETCH(QString, form);
    QFETCH(bool, reaches);
    Connection connection;
    connection.setLoginTimeout(3);
    const DbError error = errorOf([&] {
        connection.open(adoString(QStringLiteral("zrsystem"), form.arg(m_sandbox.server().port())), QStringLiteral("sa"),
                        m_sandbox.password());
    });
    QCOMPARE(connection.state() == StateOpen, reaches);
    QCOMPARE(error.description().isEmpty(), reaches);
}

void TestDatabase::statementTextArrivesUnchanged()
{
    Connection connection;
    open(connection);
    // Question marks, ODBC escape braces, quotes, blanks and line breaks are the driver's to leave alone.
    const QStringList texts = {
        QStringLiteral("select N'中文 ? 问号' as q"),
        QStringLiteral("select '{fn now()}' as f, '{d ''2016-01-01''}' as d"),
        QStringLiteral("  select 'a''b' as x  \r\n"),
        QStringLiteral("delete from people where 1=0\ndelete from people where 2=0"),
    };
    m_sandbox.clearStatements();
    for (const QString& text : texts)
        connection.execute(text);
    Recordset recordset;
    recordset.open(texts[0], connection, CursorType::Keyset, LockType::Pessimistic);
    QCOMPARE(recordset.value(0).toString(), QStringLiteral("中文 ? 问号"));
    recordset.open(texts[1], connection);
    QCOMPARE(recordset.value(QStringLiteral("F")).toString(), QStringLiteral("{fn now()}"));
    QCOMPARE(recordset.value(QStringLiteral("d")).toString(), QStringLiteral("{d '2016-01-01'}"));

    QStringList received;
    for (const auto& record : m_sandbox.statements())
        received.append(record.sql);
    QCOMPARE(received, texts + texts.mid(0, 2));
}

void TestDatabase::valuesAndNulls()
{
    Connection connection;
    open(connection);
    Recordset recordset;
    recordset.open(QStringLiteral("select * from people order by id"), connection);
    const QVariantList first = {qint64(1),   QStringLiteral("张三"), QStringLiteral("小张"),
                                QDateTime(QDate(2016, 2, 29), QTime(8, 30, 15)), 98.5, qint64(1), qint64(-7),
                                qint64(255), qint64(9000000000)};
    QCOMPARE(recordset.fieldCount(), first.size());
    for (int i = 0; i < first.size(); ++i)
        QCOMPARE(recordset.value(i), first.at(i));
    QCOMPARE(recordset.value(QStringLiteral("NAME")), first.at(1));

    // An empty text and a zero are values, not NULLs.
    recordset.moveNext();
    QCOMPARE(recordset.value(QStringLiteral("nick")), QVariant(QString()));
    QVERIFY(!recordset.isNull(QStringLiteral("active")));
    recordset.moveNext();
    for (int i = 1; i < first.size(); ++i) {
        QVERIFY2(recordset.isNull(i), qPrintable(recordset.fieldName(i)));
        QVERIFY(!recordset.value(i).isValid());
    }
    QVERIFY(recordset.isNull(QStringLiteral("Born")));

    // Unknown fields and reading past the end are errors, not empty values.
    QVERIFY(errorOf([&] { recordset.value("nosuch"); }).description().contains(QStringLiteral("未找到项目")));
    recordset.moveNext();
    QVERIFY(recordset.eof());
    QVERIFY(errorOf([&] { recordset.value(0); }).description().contains(QStringLiteral("EOF")));
}

void TestDatabase::chineseInAndOut()
{
    Connection connection;
    open(connection);
    connection.execute("create table texts (id int, narrow varchar(8), wide nvarchar(4000), long varchar(8000))");
    // Values that fill their width: 4 Chinese characters are 8 GBK bytes.
    const QVariantList full = {QStringLiteral("锁务通用"), QStringLiteral("账").repeated(3999) + QStringLiteral("末"),
                               QStringLiteral("凭证").repeated(1999) + QStringLiteral("结束")};
    connection.execute(QStringLiteral("insert into texts values (1, '%1', N'%2', '%3')")
                           .arg(full[0].toString(), full[1].toString(), full[2].toString()));
    connection.execute(QStringLiteral("insert into texts values (2, 'ab中', N'“引号”和''撇号''', '')"));
    const QVariantList quoted = {QStringLiteral("ab中"), QStringLiteral("“引号”和'撇号'"), QString()};

    // What arrived on the server is the Chinese that was sent, and it comes back whole through both cursor kinds.
    const QString query = QStringLiteral("select narrow, wide, long from texts order by id");
    QCOMPARE(m_sandbox.fixture().rows(TestDb, query).value(0), full);
    for (const CursorLocation location : {CursorLocation::Client, CursorLocation::Server}) {
        Recordset recordset;
        recordset.setCursorLocation(location);
        recordset.open(query, connection);
        for (const QVariantList& expected : {full, quoted}) {
            for (int i = 0; i < 3; ++i)
                QCOMPARE(recordset.value(i), expected.at(i));
            recordset.moveNext();
        }
    }
}

void TestDatabase::statementErrors()
{
    Connection connection;
    open(connection);
    const DbError missing = errorOf([&] { connection.execute(QStringLiteral("delete from nosuchtable")); });
    QVERIFY2(missing.description().contains(QStringLiteral("Invalid object name 'nosuchtable'.")),
             qPrintable(missing.description()));
    QCOMPARE(missing.nativeError(), 208);

    // The error of a later statement in the batch surfaces too; the earlier one stays done.
    connection.execute(QStringLiteral("create table journal (n int)"));
    const DbError later = errorOf([&] {
        connection.execute(QStringLiteral("insert into journal values (1) select cast('abc' as int) from journal"));
    });
    QCOMPARE(later.nativeError(), 245);
    QVERIFY(later.description().contains(
        QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int.")));
    QCOMPARE(m_sandbox.fixture().count(TestDb, QStringLiteral("journal")), 1);
}

void TestDatabase::clientAndCountingRecordsets()
{
    Connection connection;
    open(connection);
    Recordset recordset;

    // Rows are all read at open: the connection is free while the recordset is still unread.
    recordset.open(QStringLiteral("select n from numbers where n > 2990 order by n"), connection, CursorType::Keyset,
                   LockType::Pessimistic);
    connection.execute(QStringLiteral("delete from numbers where n > 2995"));
    QCOMPARE(recordset.recordCount(), 10);
    qint64 expected = 2991;
    for (; !recordset.eof(); recordset.moveNext())
        QCOMPARE(recordset.value(0).toLongLong(), expected++);
    QCOMPARE(expected, 3001);
    connection.execute(QStringLiteral("insert into numbers values (2996),(2997),(2998),(2999),(3000)"));

    // A batch that starts with a count: the rows are those of the first result that has columns.
    recordset.open(QStringLiteral("delete from numbers where n = 0 select n from numbers where n < 4 order by n"),
                   connection);
    QCOMPARE(recordset.recordCount(), 3);
    QCOMPARE(recordset.value(QStringLiteral("N")), QVariant(qint64(1)));

    // Counting only: the number exact, no rows kept.
    recordset.openCounting(QStringLiteral("select n, n as m from numbers"), connection);
    QCOMPARE(recordset.recordCount(), 3000);
    QVERIFY(recordset.eof());
    QCOMPARE(recordset.fieldCount(), 2);
    QCOMPARE(errorOf([&] { recordset.openCounting(QStringLiteral("select * from nosuch"), connection); }).nativeError(),
             208);
    QCOMPARE(recordset.state(), StateClosed);
}

void TestDatabase::serverSideStreaming()
{
    Connection connection;
    open(connection);
    Recordset stream;
    stream.setCursorLocation(CursorLocation::Server);
    stream.open(QStringLiteral("select n from numbers order by n"), connection, CursorType::Keyset);
    QCOMPARE(stream.recordCount(), -1);
    stream.moveNext();

    // Other work on the same connection while rows are still unread: no "connection busy".
    connection.execute(QStringLiteral("update numbers set n = n where n = 1"));
    Recordset other;
    other.open(QStringLiteral("select count(*) as c from numbers"), connection);
    QCOMPARE(other.value(QStringLiteral("c")), QVariant(qint64(3000)));

    // The stream goes on where it was, every row once, in order.
    qint64 expected = 2;
    for (; !stream.eof(); stream.moveNext())
        QCOMPARE(stream.value(0).toLongLong(), expected++);
    QCOMPARE(expected, 3001);

    // Reopened over its own unread rows, the stream starts afresh.
    stream.open(QStringLiteral("select n from numbers where n > 10 order by n"), connection);
    stream.open(QStringLiteral("select n from numbers where n > 20 order by n"), connection);
    QCOMPARE(stream.value(0), QVariant(qint64(21)));

    // An error later in a streamed batch reaches the reader when it gets there, even if another
    // statement made it read ahead.
    stream.open(QStringLiteral("select n from numbers where n < 3 order by n select cast('abc' as int)"), connection);
    connection.execute(QStringLiteral("select 1"));
    QCOMPARE(stream.value(0), QVariant(qint64(1)));
    stream.moveNext();
    QCOMPARE(stream.value(0), QVariant(qint64(2)));
    QCOMPARE(errorOf([&] { stream.moveNext(); }).nativeError(), 245);
    QVERIFY(stream.eof());
    connection.execute(QStringLiteral("select 2"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
