// The way from the program's ADO connection string to the driver's: parsing, server names,
// driver choice and the encoding of values. No server is needed.
#include "db/AdoConnectionString.h"
#include "db/DbError.h"
#include "db/DriverCatalog.h"
#include "db/OdbcConnectionString.h"

#include <QtTest>

using namespace db;

namespace {

AdoConnectionString ado(const QString& database, const QString& server)
{
    return AdoConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=")
                               + database + QStringLiteral(";Data Source=") + server);
}

const DriverChoice FreeTds{QStringLiteral("FreeTDS"), DriverFamily::FreeTds, true};
const DriverChoice Driver18{QStringLiteral("ODBC Driver 18 for SQL Server"), DriverFamily::Microsoft, true};
const DriverChoice Legacy{QStringLiteral("SQL Server"), DriverFamily::LegacySqlServer, true};

// The description of the error a call raises; empty when it raises none.
template <typename Call>
QString errorOf(Call call)
{
    try {
        call();
    } catch (const DbError& error) {
        return error.description();
    }
    return {};
}

}  // namespace

class TestConnectionString : public QObject {
    Q_OBJECT

private slots:
    void serverForms_data();
    void serverForms();
    void driverChoice();
    void wholeStrings();
    void uncarriableValues();
};

void TestConnectionString::serverForms_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("freeTdsPart");  // what FreeTDS is given
    for (const char* local : {"(local)", "(LOCAL)", ".", "LocalHost", ""})
        QTest::newRow(*local ? local : "empty") << QString::fromLatin1(local) << "SERVER={127.0.0.1};PORT=1433;";
    QTest::newRow("host") << "db01" << "SERVER={db01};PORT=1433;";
    QTest::newRow("host,port") << "10.0.0.5,1533" << "SERVER={10.0.0.5};PORT=1533;";
    QTest::newRow("local,port") << "(local),41433" << "SERVER={127.0.0.1};PORT=41433;";
    QTest::newRow("instance") << "db01\\SQL2008" << "SERVER={db01\\SQL2008};";
    QTest::newRow("local instance") << ".\\SQLEXPRESS" << "SERVER={127.0.0.1\\SQLEXPRESS};";
    // With both, the port decides, as with Microsoft's drivers.
    QTest::newRow("instance,port") << "db01\\A,2000" << "SERVER={db01};PORT=2000;";
    QTest::newRow("leading blank") << " db01" << "SERVER={ db01};PORT=1433;";
    QTest::newRow("blank local") << " (local)" << "SERVER={ (local)};PORT=1433;";
    QTest::newRow("not a port") << "db01, 1433" << "SERVER={db01, 1433};PORT=1433;";
    QTest::newRow("port too big") << "db01,70000" << "SERVER={db01,70000};PORT=1433;";
    QTest::newRow("port zero") << "db01,0" << "SERVER={db01,0};PORT=1433;";
    QTest::newRow("chinese") << "财务服务器" << "SERVER={财务服务器};PORT=1433;";
}

void TestConnectionString::serverForms()
{
    QFETCH(QString, typed);
    QFETCH(QString, freeTdsPart);
    const QString odbc = OdbcConnectionString::build(FreeTds, ado("zrsystem", typed), "sa", "x");
    QVERIFY2(odbc.contains(QStringLiteral(";") + freeTdsPart + QStringLiteral("DATABASE=")), qPrintable(odbc));

    // Microsoft's drivers get the text as typed; only an empty box is spelled out.
    const QString microsoft = OdbcConnectionString::build(Driver18, ado("zrsystem", typed), "sa", "x");
    const QString server = typed.isEmpty() ? QStringLiteral("(local)") : typed;
    QVERIFY2(microsoft.contains(QStringLiteral(";SERVER={") + server + QStringLiteral("};")), qPrintable(microsoft));
}

void TestConnectionString::driverChoice()
{
    using Platform = DriverCatalog::Platform;
    const auto pick = [](const QStringList& installed, Platform platform = Platform::Windows) {
        const auto choice = DriverCatalog::choose(installed, platform);
        return choice ? QStringLiteral("%1/%2/%3").arg(choice->name).arg(int(choice->family)).arg(choice->registered)
                      : QStringLiteral("<none>");
    };
    const auto microsoft = [](const char* name) {
        return QStringLiteral("%1/%2/1").arg(name).arg(int(DriverFamily::Microsoft));
    };

    QCOMPARE(pick({"SQL Server", "SQL Server Native Client 11.0", "ODBC Driver 13 for SQL Server",
                   "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server", "Microsoft Access Driver (*.mdb)"}),
             microsoft("ODBC Driver 18 for SQL Server"));
    // Newest by number, not by text order: 9 < 11 < 13.1 < 17.
    QCOMPARE(pick({"ODBC Driver 9 for SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 13.1 for SQL Server",
                   "ODBC Driver 11 for SQL Server"}),
             microsoft("ODBC Driver 17 for SQL Server"));
    QCOMPARE(pick({"SQL Server Native Client 11.0", "SQL Server"}), microsoft("SQL Server Native Client 11.0"));
    QCOMPARE(pick({"SQL Server", "FreeTDS"}), QStringLiteral("SQL Server/%1/1").arg(int(DriverFamily::LegacySqlServer)));
    QCOMPARE(pick({"Microsoft Access Driver (*.mdb)"}), QStringLiteral("<none>"));

    // Elsewhere FreeTDS: by its registered name, or by its library when it is not registered.
    const int freeTds = int(DriverFamily::FreeTds);
    QCOMPARE(pick({"PostgreSQL", "freetds"}, Platform::Unix), QStringLiteral("freetds/%1/1").arg(freeTds));
    QCOMPARE(pick({"ODBC Driver 18 for SQL Server"}, Platform::Unix), QStringLiteral("libtdsodbc.so/%1/0").arg(freeTds));

    // No driver at all: a Chinese text that says what to install.
    const QString none = errorOf([] { DriverCatalog::chooseOrThrow({}, Platform::Windows); });
    QVERIFY2(none.startsWith(QStringLiteral("未找到 SQL Server 的 ODBC 驱动程序。")), qPrintable(none));
    QVERIFY(none.contains(QStringLiteral("ODBC Driver 18 for SQL Server")));
}

void TestConnectionString::wholeStrings()
{
    QCOMPARE(OdbcConnectionString::build(FreeTds, ado("zrsystem", "127.0.0.1,1433"), "sa", "pw"),
             QStringLiteral("DRIVER={FreeTDS};SERVER={127.0.0.1};PORT=1433;DATABASE={zrsystem};UID={sa};PWD={pw};"
                            "TDS_Version=7.4;ClientCharset=UTF-8;"));
    const DriverChoice library{QStringLiteral("libtdsodbc.so"), DriverFamily::FreeTds, false};
    QVERIFY(OdbcConnectionString::build(library, ado("zrsystem", "db01"), "sa", "pw")
                .startsWith(QStringLiteral("DRIVER=libtdsodbc.so;")));

    const AdoConnectionString named = ado(QStringLiteral("ZRDATA_001_2016"), QStringLiteral("db01\\SQL2008"));
    QCOMPARE(OdbcConnectionString::build(Driver18, named, "sa", "a}b"),
             QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER={db01\\SQL2008};DATABASE={ZRDATA_001_2016};"
                            "UID={sa};PWD={a}}b};TrustServerCertificate=yes;"));
    // Microsoft's drivers read a braced value up to a single '}' and "}}" as one '}'.
    QCOMPARE(OdbcConnectionString::build(Legacy, named, "sa", "}{x;}=y}}"),
             QStringLiteral("DRIVER={SQL Server};SERVER={db01\\SQL2008};DATABASE={ZRDATA_001_2016};UID={sa};"
                            "PWD={}}{x;}}=y}}}}};"));

    // No catalogue named: no DATABASE key, so the login's default applies.
    QVERIFY(!OdbcConnectionString::build(FreeTds, AdoConnectionString("Provider=SQLOLEDB.1;Data Source=db01"), "sa", "pw")
                 .contains(QStringLiteral("DATABASE")));
    // User and password from the string when none are passed apart; keys in any case.
    QVERIFY(OdbcConnectionString::build(FreeTds, AdoConnectionString("data source=db01;User ID=admin;PASSWORD=p=q"), {}, {})
                .contains(QStringLiteral("SERVER={db01};PORT=1433;UID={admin};PWD={p=q};")));
}

void TestConnectionString::uncarriableValues()
{
    const AdoConnectionString server = ado(QStringLiteral("zrsystem"), QStringLiteral("db01"));

    // FreeTDS 1.3 cannot carry "};" at all: refused with a message that names the value, not its text.
    const QString password = errorOf([&] { OdbcConnectionString::build(FreeTds, server, "sa", "Top};Secret"); });
    QVERIFY2(password.contains(QStringLiteral("无法传送含有“};”的密码")), qPrintable(password));
    QVERIFY(!password.contains(QStringLiteral("Secret")));
    QVERIFY(errorOf([&] { OdbcConnectionString::build(FreeTds, server, "sa};x", "x"); }).contains(QStringLiteral("用户名")));
    QVERIFY(errorOf([&] { OdbcConnectionString::build(Driver18, server, "sa", "Top};Secret"); }).isEmpty());

    // No driver carries U+0000.
    const QString withNul = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
    for (const DriverChoice& driver : {FreeTds, Driver18, Legacy})
        QVERIFY(errorOf([&] { OdbcConnectionString::build(driver, server, "sa", withNul); })
                    .startsWith(QStringLiteral("密码中含有空字符")));
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
