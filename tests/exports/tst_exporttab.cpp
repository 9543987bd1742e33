// The third tab through the real windows against the sandbox. Faults caught: a wrong statement or
// connection; rows missing, reordered or shown wrongly (blank stand-in, NULL, numbers, times); the caption
// changed after its message or not at all; a deletion with a condition or an unemptied list; after a failed
// listing or deletion, a list still on screen or a caption still offering to delete rows nobody has seen.
#include "support/InformationBox.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;
using statements::ExportList;

namespace {

const QString Listed = QStringLiteral("共有%1个异常记录，请点击清除按钮进行清除！");
const QString ListCaption = QStringLiteral("刷新(&R)");
const QString ClearCaption = QStringLiteral("清除(&C)");

}  // namespace

class TstExportTab : public QObject {
    Q_OBJECT
private:
    // Logs in over an ua_outpzlog of the given rows, with the given type of its number columns.
    void logIn(const QString& rows, const QString& numbers = QStringLiteral("int"))
    {
        m_session.startOver(QStringLiteral("drop table ua_outpzlog create table ua_outpzlog (cacc_id varchar(3), iyear %1, "
                                           "iPeriod %1, cStation varchar(50), cUser_Id varchar(20), dTime datetime) ").arg(numbers)
                            + (rows.isEmpty() ? QString() : "insert into ua_outpzlog values (" + rows + ")"));
        QVERIFY(m_session.logIn());
        Controls::showTab(2);
    }
    QStringList sent() const { return m_session.sent(SessionFixture::On::Export); }
    QString caption() { return Controls::command(9)->text(); }
    MessageBoxDriver& boxes() { return m_session.boxes(); }

    SessionFixture m_session;

private slots:
    void initTestCase() { QVERIFY(m_session.start()); }
    void init() { m_session.reset(); }

    void listing_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("numbers");
        QTest::addColumn<QStringList>("shown");  // sorted
        QTest::newRow("empty") << "" << "int" << QStringList();
        QTest::newRow("three") << "'003', 2024, 3, 'PC-C', 'demo', '2024-03-15 09:05:07'), ('001', 2023, 12, 'PC-A', '0001', "
                                  "'2023-12-31 23:59:59'), ('002', 2024, 1, 'PC-B', 'admin', '2024-01-02 00:00:00'"
                               << "int"
                               << QStringList{"001 2023 12 PC-A 0001 2023-12-31 23:59:59", "002 2024 1 PC-B admin 2024-01-02 00:00:00",
                                              "003 2024 3 PC-C demo 2024-03-15 09:05:07"};
        // Empty and all-blank texts show one blank, other texts keep their blanks, NULL is empty;
        // only U+0020 counts as a blank, and the row's own text (the account code) is never replaced.
        QTest::newRow("blank and null") << "'001', 2024, 1, '', 'u1', '2024-01-01 08:00:01'), ('002', 2024, 2, '   ', 'u2', "
                                           "'2024-01-01 08:00:02'), ('003', 2024, 3, ' PC 1 ', null, null), (null, null, null, null, '', "
                                           "'2024-01-01 08:00:04'), ('', 2024, 5, '\t', 'u5', '2024-01-01 08:00:05'"
                                        << "int"
                                        << QStringList{"      2024-01-01 08:00:04", " 2024 5 \t u5 2024-01-01 08:00:05",
                                                       "001 2024 1   u1 2024-01-01 08:00:01", "002 2024 2   u2 2024-01-01 08:00:02",
                                                       "003 2024 3  PC 1   "};
        // Floating-point columns, as some editions have: plain decimals, never an exponent.
        QTest::newRow("floating point") << "'001', 2024, 2.5, 'PC-A', 'u1', '2024-02-29 23:59:59.997'), ('002', 1e16, 0.0001, "
                                           "'PC-B', 'u2', '2024-03-01 00:00:00'"
                                        << "float"
                                        << QStringList{"001 2024 2.5 PC-A u1 2024-02-29 23:59:59",
                                                       "002 10000000000000000 0.0001 PC-B u2 2024-03-01 00:00:00"};
    }

    void listing()
    {
        QFETCH(QString, rows);
        QFETCH(QString, numbers);
        QFETCH(QStringList, shown);
        logIn(rows, numbers);
        // Nothing of this tab is read before the first press.
        QVERIFY(sent().isEmpty());
        QStringList captionWhileShown;
        boxes().onShown([&](const QMessageBox&) { captionWhileShown.append(caption()); });
        Controls::command(9)->click();

        QCOMPARE(sent(), QStringList{ExportList});
        QCOMPARE(boxes().count(), 1);
        verifyInformation(boxes().last(), shown.isEmpty() ? QStringLiteral("没有异常记录！") : Listed.arg(shown.size()));
        // The caption changes before the message.
        const QString after = shown.isEmpty() ? ListCaption : ClearCaption;
        QCOMPARE(captionWhileShown, QStringList{after});
        QStringList listed = Controls::rows(Controls::list(3));
        listed.sort();
        QCOMPARE(listed, shown);
        // In the server's order.
        QStringList accounts;
        for (const QVariantList& row : m_session.data().rows("zrsystem", ExportList))
            accounts.append(row[0].toString());
        QCOMPARE(Controls::column(Controls::list(3), 0), accounts);

        // An empty log still lists at the next press.
        if (shown.isEmpty()) {
            Controls::command(9)->click();
            QCOMPARE(sent(), (QStringList{ExportList, ExportList}));
        }
    }

    void pressAgain_data()
    {
        QTest::addColumn<bool>("listedFirst");
        QTest::addColumn<QString>("failing");  // start of the statement that fails; empty: none
        QTest::addColumn<bool>("dropped");      // the link goes rather than the server refusing
        QTest::newRow("deletion") << true << "" << false;
        QTest::newRow("listing refused") << false << "select" << false;
        QTest::newRow("deletion refused") << true << "delete" << false;
        QTest::newRow("link lost at the deletion") << true << "delete" << true;
    }

    void pressAgain()
    {
        QFETCH(bool, listedFirst);
        QFETCH(QString, failing);
        QFETCH(bool, dropped);
        logIn("'001', 2024, 1, 'PC-A', 'u1', '2024-01-01 08:00:00'), ('002', 2024, 2, 'PC-B', 'u2', '2024-01-01 08:00:00'");
        if (listedFirst) {
            Controls::command(9)->click();
            Controls::list(3)->selectRow(1);
            QCOMPARE(caption(), ClearCaption);
        }
        // A row written after the listing goes too: the deletion has no condition.
        m_session.data().exec("zrsystem", "insert into ua_outpzlog values ('009', 2024, 9, 'PC-Z', 'u9', '2024-09-09 09:09:09')");
        const QRegularExpression pattern("^" + failing + " .*ua_outpzlog$");
        if (dropped)
            m_session.sandbox().faults().dropConnectionOn(pattern);
        else if (!failing.isEmpty())
            m_session.sandbox().faults().failStatements(pattern, 208, "Invalid object name 'ua_outpzlog'.");
        m_session.forget();
        boxes().clear();
        int rowsWhileShown = -1;
        boxes().onShown([&](const QMessageBox&) { rowsWhileShown = Controls::list(3)->rowCount(); });
        Controls::command(9)->click();

        QCOMPARE(boxes().count(), 1);
        if (failing.isEmpty()) {
            QCOMPARE(sent(), QStringList{"delete from ua_outpzlog"});
            verifyInformation(boxes().last(), "清除成功！");
            QCOMPARE(rowsWhileShown, 0);
            QCOMPARE(m_session.data().count("zrsystem", "ua_outpzlog"), 0);
        } else {
            QCOMPARE(boxes().last().title, "错误");
            QVERIFY2(boxes().last().text.contains(dropped ? "连接已断开" : "Invalid object name 'ua_outpzlog'."), qPrintable(boxes().last().text));
        }
        // Nothing on screen claims what a failed statement could not confirm, and the next press
        // lists afresh instead of deleting rows nobody has seen.
        QCOMPARE(Controls::list(3)->rowCount(), 0);
        QVERIFY(caption() == ListCaption && Controls::command(9)->isEnabled());
        m_session.sandbox().faults().clear();
        m_session.forget();
        Controls::command(9)->click();
        QCOMPARE(m_session.sentTo(), QStringList{SessionFixture::at("zrsystem", ExportList)});
        QCOMPARE(boxes().last().text, failing.isEmpty() ? QStringLiteral("没有异常记录！") : Listed.arg(3));
    }
};

QTEST_MAIN(TstExportTab)
#include "tst_exporttab.moc"
