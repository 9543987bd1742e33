// The second tab through the real windows against the sandbox. Faults caught: an account code
// unquoted or cut wrongly; years not distinct or deleted ones shown; the business database resolved
// wrongly (mapping ignored, ambiguous or empty answers accepted, code cut at a ';'); a lock table
// skipped, read or cleared in another database or out of order; the marker table read or left; a wrong
// count, number or colour in the list; "清除" enabled when the list is not the chosen year's; clearing
// touching anything but lock rows. Detail window and list keys: a window for a row showing 0; a
// statement besides the one select, or on the wrong table or database; headers not the server's; raw
// date-times or a placeholder for NULL; server order lost; numbers sorted as text; Ctrl+C copying one
// cell, no header line, or a tab in a value splitting its cell; Esc not closing; a failed select
// unguarded; Tab walking a list's cells.
#include "support/DatabaseSnapshot.h"
#include "support/InformationBox.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "locks/LockDetail.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;
using namespace statements;

namespace {

const QString Found = QStringLiteral("共有%1个单据有锁定记录\r\n请点击【清除】按钮进行清除");
const QString Unresolved = QStringLiteral("无法获取年度对应的数据库！");
const QString LongCode = "9'9" + QString(197, QChar(0x7801));
const QString Mapping = QStringLiteral("create table UA_AccountDatabase (cAcc_Id varchar(500), iBeginYear int, iEndYear int, "
                                       "cDatabase varchar(128)) ");

// A business database holding the given lock tables ("name rows").
void createDatabase(sandbox::Fixture& data, const QString& name, const QStringList& tables)
{
    data.createDatabase(name);
    for (const QString& given : tables) {
        const QString table = given.section(' ', 0, 0);
        data.exec(name, QStringLiteral("create table [%1] (cLockId varchar(20), cUser varchar(20)) ").arg(table));
        for (int row = 1; row <= given.section(' ', 1).toInt(); ++row)
            data.exec(name, QStringLiteral("insert into [%1] values ('%2', 'demo')").arg(table).arg(row));
    }
}

// The account with its years ("year, deleted"), in the system database of nothing else.
QString account(const QString& code, const QString& name, const QStringList& years)
{
    QString batch = QStringLiteral("insert into ua_account values ('%1', %2) ").arg(quoted(code), name);
    for (const QString& year : years)
        batch += QStringLiteral("insert into UA_Period values ('%1', %2) ").arg(quoted(code), year);
    return batch;
}

}  // namespace

class TstLockTab : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_session.start()); }
    void init() { m_session.reset(); }

    void doubleClickShowsThatTable_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("table");  // empty: nothing opens, nothing is sent
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("NULL and date-times") << "流程实例锁定表" << "WF_PILock"
            << QStringList{"PIID|cUser|cStation|dLockTime", "1024|zhang|财务室-张会计|2016-03-07 17:31:10",
                           "9|li||2015-12-31 09:10:12", "100||A\tB|"};
        QTest::newRow("marker table") << "查询分析互斥" << "isprocess@@@" << QStringList{"id|cUser|dTime"};
        QTest::newRow("empty table") << "操作互斥表" << "" << QStringList{};
    }

    void doubleClickShowsThatTable()
    {
        QFETCH(QString, description);
        QFETCH(QString, table);
        QFETCH(QStringList, lines);
        QVERIFY(openScanned());
        LockDetail* window = doubleClick(description);
        QCOMPARE(m_session.sentTo(), table.isEmpty() ? QStringList{} : QStringList{"zrdata_001_2015: select * from " + table});
        QVERIFY(boxes().count() == 0 && Controls::command(6)->isEnabled());
        QCOMPARE(window && window->isVisible() ? window->windowTitle() : QString(),
                 table.isEmpty() ? QString() : "锁定明细 - " + description);
        QCOMPARE(window ? shown(window->findChild<QTableView*>()->model()) : QStringList{}, lines);
    }

    void sortCopyCloseAndFailure()
    {
        QVERIFY(openScanned());
        // Another year picked since the scan: the window still shows the table of the listed database.
        QVERIFY(Controls::pick(Controls::combo(4), QStringLiteral("2016")));
        QPointer<LockDetail> window = doubleClick(QStringLiteral("流程实例锁定表"));
        auto* view = window ? window->findChild<QTableView*>() : nullptr;
        QVERIFY(view);
        QHeaderView* header = view->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(shown(view->model()).mid(1).replaceInStrings(QRegularExpression("\\|.*"), ""), (QStringList{"9", "100", "1024"}));
        // Rows 100 and 1024 by click and shift-click, copied top to bottom as shown.
        const auto rowAt = [view](int row) { return view->visualRect(view->model()->index(row, 1)).center(); };
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowAt(1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowAt(2));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("PIID\tcUser\tcStation\tdLockTime\n100\t\tA B\t\n1024\tzhang\t财务室-张会计\t2016-03-07 17:31:10\n"));
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_VERIFY(window.isNull());
        // The table gone since the scan: the error box, no window, the main window still there.
        m_session.sandbox().execute("ZRDATA_001_2015", "drop table WF_PILock");
        QVERIFY(!doubleClick(QStringLiteral("流程实例锁定表")));
        QVERIFY2(boxes().count() == 1 && boxes().last().title == "错误" && boxes().last().text.contains("WF_PILock"),
                 qPrintable(boxes().last().text));
    }

    // From a list with rows: Down moves the row, Tab leaves the list, Shift+Tab comes back.
    void tabLeavesListArrowsMove()
    {
        QVERIFY(openScanned());
        for (int list : {1, 2, 3}) {
            Controls::showTab(list - 1);
            if (list == 3)
                QTest::mouseClick(Controls::command(9), Qt::LeftButton);
            QTableWidget* view = Controls::list(list);
            Form2::instance().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&Form2::instance()) && view->rowCount() >= 2);
            view->setFocus();
            view->setCurrentCell(0, 0);
            QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, Qt::Key_Tab);
            QVERIFY2(QApplication::focusWidget() != view && view->currentRow() == 1, qPrintable(view->objectName()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), view);
        }
    }

    void accountsAndYears()
    {
        m_session.startOver(account("001", "'演示账套'", {"2015, 0", "2015, 0", "2016, null", "2014, 1", "2017, 0"})
                            + account("002", "'无年度账套'", {"2013, 1"}) + account("003", "null", {"2020, 0", "null, 0"})
                            + account("O'K", "'引号账套'", {"2018, 0"}) + account(LongCode, "'长编码'", {})
                            + "insert into ua_account values (null, '无编码')");
        createDatabase(m_session.data(), "ZRDATA_001_2015", {"LockVouch 3"});
        logIn();
        QComboBox* years = Controls::combo(4);
        // A NULL name leaves the bracketed code alone; nothing is chosen at load, nothing listed.
        QCOMPARE(Controls::entries(Controls::combo(3)),
                 (QStringList{"[001]演示账套", "[002]无年度账套", "[003]", "[O'K]引号账套", "[" + LongCode + "]长编码", "[]无编码"}));
        QVERIFY(Controls::combo(3)->currentIndex() == -1 && years->count() == 0 && Controls::list(2)->rowCount() == 0);
        QVERIFY(!enabled(5) && !enabled(6));

        // Each year once, the deleted one hidden, a NULL flag counting as not deleted; the first chosen.
        QVERIFY(Controls::pick(Controls::combo(3), "[001]演示账套"));
        QCOMPARE(m_session.sent(SessionFixture::On::Sys), QStringList{yearQuery("001")});
        QCOMPARE(sorted(Controls::entries(years)), (QStringList{"2015", "2016", "2017"}));
        QVERIFY(years->currentIndex() == 0 && enabled(5) && !enabled(6));

        // The code is the three characters after "[", quotes doubled; a NULL year is an empty entry.
        const QList<QPair<QString, QStringList>> picks = {{"[O'K]引号账套", {"2018"}}, {"[" + LongCode + "]长编码", {}},
                                                          {"[]无编码", {}}, {"[003]", {"", "2020"}}, {"[002]无年度账套", {}}};
        for (const auto& [item, expected] : picks) {
            m_session.forget();
            QVERIFY(Controls::pick(Controls::combo(3), item));
            QCOMPARE(m_session.sent(SessionFixture::On::Sys), QStringList{yearQuery(item.mid(1, 3))});
            QCOMPARE(sorted(Controls::entries(years)), expected);
        }
        // Only a deleted year: nothing to choose, so nothing to scan.
        QVERIFY(!enabled(5) && !enabled(6) && boxes().count() == 0);

        // Another year, or another account, keeps the scanned list but disables clearing until a scan.
        QVERIFY(Controls::pick(Controls::combo(3), "[001]演示账套"));
        QVERIFY(Controls::pick(years, "2015"));
        press(5);
        const QStringList scanned = listRows();
        QCOMPARE(scanned, QStringList{"1 单据锁定表 3 red"});
        m_session.forget();
        QVERIFY(Controls::pick(years, "2016"));
        QVERIFY(!enabled(6) && enabled(5) && listRows() == scanned);
        QVERIFY(m_session.sent(SessionFixture::On::Sys).isEmpty());
        QVERIFY(Controls::pick(years, "2015"));
        press(5);
        QVERIFY(enabled(6));
        QVERIFY(Controls::pick(Controls::combo(3), "[003]"));
        QVERIFY(!enabled(6) && enabled(5) && listRows() == scanned);
    }

    void scanAndClear_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("mapped");
        QTest::addColumn<QStringList>("tables");  // "name rows" in the business database
        QTest::newRow("some tables, one empty") << "001" << false << QStringList{"LockVouch 3", "AP_LOCK 0"};
        QStringList every;  // gl_lockrows is GL_LockRows too: names are compared without case
        for (int i = 0; i < Catalogue.size(); ++i) {
            if (i != 11)
                every.append(Catalogue[i].first + QStringLiteral(" %1").arg(i % 3 == 2 ? 2 : 0));
        }
        QTest::newRow("every table") << "003" << false << every;
        QTest::newRow("no lock table") << "001" << false << QStringList{"GL_accvouch 1"};
        QTest::newRow("marker alone") << "001" << false << QStringList{Marker + " 0"};
        // Codes standing each for one kind of trouble, with the standard name and a mapped one.
        for (const QString code : {"0'1", "''1", "0;1", "--1", "0]1", "0%1", "0_1", "演示1", " 01", "01 "}) {
            for (bool mapped : {false, true})
                QTest::addRow("\"%s\", %s", qPrintable(code), mapped ? "mapped" : "standard name")
                    << code << mapped << QStringList{"LockVouch 2", "CN_LockAcctBook 1", Marker + " 0"};
        }
    }

    void scanAndClear()
    {
        QFETCH(QString, code);
        QFETCH(bool, mapped);
        QFETCH(QStringList, tables);
        const QString standard = "ZRDATA_" + code + "_2016";
        const QString database = mapped ? QStringLiteral("MAPPED") : standard;
        m_session.startOver(account(code, "'账套'", {"2016, 0"})
                            + (mapped ? Mapping + QStringLiteral("insert into UA_AccountDatabase values ('%1', 2016, null, 'MAPPED')").arg(quoted(code)) : QString()));
        // Bystanders: the other candidate name and where a name cut at its ';' would land.
        for (const QString& name : {database, mapped ? standard : QStringLiteral("MAPPED"), QStringLiteral("ZRDATA_0")})
            createDatabase(m_session.data(), name, tables);
        logIn();
        QVERIFY(Controls::pick(Controls::combo(3), "[" + code + "]账套"));
        const DatabaseSnapshot before = DatabaseSnapshot::take(m_session.data());

        const auto present = [&](const QString& table) {
            return std::any_of(tables.begin(), tables.end(), [&](const QString& given) { return given.section(' ', 0, 0).compare(table, Qt::CaseInsensitive) == 0; });
        };
        const QStringList resolve = QStringList{SessionFixture::at("zrsystem", MappingProbe)}
            + (mapped ? QStringList{SessionFixture::at("zrsystem", mappingQuery(code, "2016"))} : QStringList());
        // Per catalogue table its existence test, then for one that is there its count or its delete;
        // the marker is never read, and its guarded drop goes out whether it is there or not.
        const auto statementsFor = [&](bool clearing) {
            QStringList sent = resolve;
            for (const auto& [table, description] : Catalogue) {
                sent.append(SessionFixture::at(database, existence(table)));
                if (table == Marker ? clearing : present(table))
                    sent.append(SessionFixture::at(database, table == Marker ? markerDrop() : (clearing ? "delete from " : "select * from ") + table));
            }
            return sent;
        };
        QStringList listed, cleared;
        int locked = 0;
        for (const auto& [table, description] : Catalogue) {
            if (!present(table))
                continue;
            const int rows = table == Marker ? 1 : int(m_session.data().count(database, "[" + table + "]"));
            locked += rows ? 1 : 0;
            listed.append(QStringLiteral("%1 %2 %3").arg(listed.size() + 1).arg(description).arg(rows) + (rows ? " red" : ""));
            if (table != Marker)
                cleared.append(QStringLiteral("%1 %2 0").arg(cleared.size() + 1).arg(description));
        }

        press(5);
        QCOMPARE(m_session.sentTo(), statementsFor(false));
        QCOMPARE(listRows(), listed);
        QVERIFY(boxes().count() == 1 && boxes().last().parentWindow == QLatin1String("form2"));
        verifyInformation(boxes().last(), locked ? Found.arg(locked) : QStringLiteral("没有锁定的记录"));
        QCOMPARE(enabled(6), locked > 0);
        if (!locked)
            return;

        // Every table there gets its delete, even an empty one; then the rescan, whose own message is not shown.
        press(6);
        QStringList expected = present(Marker) ? QStringList{DatabaseSnapshot::dropped(database, Marker)} : QStringList();
        tables.removeIf([](const QString& given) { return given.startsWith(Marker); });
        QCOMPARE(m_session.sentTo(), statementsFor(true) + statementsFor(false));
        QCOMPARE(boxes().texts(), QStringList{"清除完毕"});
        QCOMPARE(listRows(), cleared);
        QVERIFY(!enabled(6));
        for (const QString& given : tables) {
            for (int row = 1; row <= given.section(' ', 1).toInt(); ++row)
                expected.append(DatabaseSnapshot::removed(database, given.section(' ', 0, 0), {QString::number(row), "demo"}));
        }
        expected.sort();
        QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())), expected);
    }

    void resolution_data()
    {
        QTest::addColumn<QString>("rows");  // of UA_AccountDatabase; empty: no such table
        QTest::addColumn<QString>("database");  // empty: none
        QTest::newRow("no mapping table") << QString() << "ZRDATA_001_2016";
        QTest::newRow("open end year") << "('001', 2016, null, 'MAPPED_001')" << "MAPPED_001";
        QTest::newRow("closed range") << "('001', 2010, 2016, 'MAPPED_001')" << "MAPPED_001";
        QTest::newRow("two rows cover the year") << "('001', 2016, null, 'MAPPED_001'), ('001', 2010, 2016, 'ZRDATA_001_2015')" << "";
        QTest::newRow("no row covers the year") << "('001', 2017, null, 'MAPPED_001'), ('002', 2000, 2030, 'MAPPED_001')" << "";
        QTest::newRow("null database name") << "('001', 2016, null, null)" << "";
        QTest::newRow("empty database name") << "('001', 2016, null, '')" << "";
        QTest::newRow("null begin year") << "('001', null, 2030, 'MAPPED_001')" << "";
    }

    void resolution()
    {
        QFETCH(QString, rows);
        QFETCH(QString, database);
        m_session.startOver(account("001", "'演示账套'", {"2016, 0"}));
        createDatabase(m_session.data(), "ZRDATA_001_2016", {"LockVouch 2"});
        createDatabase(m_session.data(), "MAPPED_001", {"LockVouch 4"});
        createDatabase(m_session.data(), "ZRDATA_001_2015", {"LockVouch 3"});
        logIn();
        QVERIFY(Controls::pick(Controls::combo(3), "[001]演示账套"));
        press(5);
        QVERIFY(enabled(6));
        // The mapping changes between the scan and the clearing: each resolves afresh.
        if (!rows.isEmpty())
            m_session.data().exec("zrsystem", Mapping + "insert into UA_AccountDatabase values " + rows);
        const DatabaseSnapshot before = DatabaseSnapshot::take(m_session.data());
        const QStringList lookup = QStringList{SessionFixture::at("zrsystem", MappingProbe)}
            + (rows.isEmpty() ? QStringList() : QStringList{SessionFixture::at("zrsystem", mappingQuery("001", "2016"))});
        if (!database.isEmpty()) {
            press(6);
            QCOMPARE(m_session.sentTo().mid(0, lookup.size() + 2),
                     (lookup + QStringList{SessionFixture::at(database, existence("LockVouch")), SessionFixture::at(database, "delete from LockVouch")}));
            QCOMPARE(boxes().texts(), QStringList{"清除完毕"});
            // Each candidate holds another number of rows: the count tells which one lost them.
            QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())).size(), database == QLatin1String("MAPPED_001") ? 4 : 2);
            return;
        }
        // No single answer: said so, and neither the clearing nor then the scan goes anywhere.
        for (int command : {6, 5}) {
            press(command);
            QCOMPARE(boxes().count(), 1);
            verifyInformation(boxes().last(), Unresolved);
            QCOMPARE(m_session.sentTo(), lookup);
            QVERIFY(!enabled(6));
        }
        QVERIFY(listRows().isEmpty());
        QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())), QStringList());
    }

private:
    void logIn()
    {
        QVERIFY(m_session.logIn());
        Controls::showTab(1);
    }
    // A click on a button, with only what it sends and shows recorded.
    void press(int command)
    {
        m_session.forget();
        boxes().clear();
        QTest::mouseClick(Controls::command(command), Qt::LeftButton);
    }
    bool enabled(int command) { return Controls::command(command)->isEnabled(); }
    // The list as "number description count", with " red" for a row red as a whole.
    QStringList listRows()
    {
        QTableWidget* list = Controls::list(2);
        QStringList rows = Controls::rows(list);
        for (int row = 0; row < list->rowCount(); ++row) {
            int red = 0;
            for (int column = 0; column < 3; ++column)
                red += list->item(row, column)->foreground().color() == QColor(255, 0, 0) ? 1 : 0;
            rows[row] += red == 3 ? " red" : red ? " part" : "";
        }
        return rows;
    }
    MessageBoxDriver& boxes() { return m_session.boxes(); }
    // The demo data with a lock table of dates, NULLs and a tab, scanned for account 001, 2015.
    bool openScanned()
    {
        m_session.sandbox().restoreFixture();
        m_session.sandbox().execute("ZRDATA_001_2015",
            "create table WF_PILock (PIID int, cUser varchar(20), cStation varchar(64), dLockTime datetime) "
            "insert into WF_PILock values (1024, 'zhang', '财务室-张会计', '2016-03-07 17:31:10'), "
            "(9, 'li', NULL, '2015-12-31 09:10:12'), (100, NULL, 'A\tB', NULL)");
        logIn();
        const bool picked = Controls::pick(Controls::combo(3), QStringLiteral("[001]北京远航科技有限公司"))
            && Controls::pick(Controls::combo(4), QStringLiteral("2015"));
        press(5);
        boxes().clear();
        m_session.forget();
        return picked;
    }
    // Double-clicks a lock-list row as the system delivers it; the detail window it opened, if any.
    LockDetail* doubleClick(const QString& description)
    {
        QTableWidget* list = Controls::list(2);
        const QPoint at = list->visualItemRect(list->findItems(description, Qt::MatchExactly).value(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return Form2::instance().findChild<LockDetail*>();
    }
    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }
    // The header line, then each row as shown; cells joined by "|".
    static QStringList shown(const QAbstractItemModel* model)
    {
        QStringList lines;
        for (int row = -1; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells.append((row < 0 ? model->headerData(c, Qt::Horizontal) : model->index(row, c).data()).toString());
            lines.append(cells.join(QLatin1Char('|')));
        }
        return lines;
    }

    SessionFixture m_session;
};

QTEST_MAIN(TstLockTab)
#include "tst_locktab.moc"
