// The lock list's detail window and the lists' keyboard, through the real main window against the
// sandbox. Catches: a window for a row showing 0; a statement besides the one select, or on the wrong
// table or database; headers not the server's; raw date-times or a placeholder for NULL; the server's
// order lost; numbers sorted as text; Ctrl+C copying one cell, no header line, or a tab in a value
// splitting its cell; Esc not closing; a failed select unguarded; Tab walking a list's cells.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "locks/LockDetail.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;

class TestLockDetail : public QObject {
    Q_OBJECT

    // Double-clicks a lock-list row as the system delivers it; the detail window it opened, if any.
    LockDetail* doubleClick(const QString& description)
    {
        QTableWidget* list = Controls::list(2);
        const QPoint at = list->visualItemRect(list->findItems(description, Qt::MatchExactly).value(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return LoginDriver::mainWindow().findChild<LockDetail*>();
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

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = new MessageBoxDriver(this);
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        ProgramEnd::setAction([] { QFAIL("the program must not end"); });
        QVERIFY(m_sandbox.start());
    }

    void init()
    {
        LoginDriver::reset();
        m_sandbox.restoreFixture();
        m_sandbox.execute("ZRDATA_001_2015",
                          "create table WF_PILock (PIID int, cUser varchar(20), cStation varchar(64), dLockTime datetime) "
                          "insert into WF_PILock values (1024, 'zhang', '财务室-张会计', '2016-03-07 17:31:10'), "
                          "(9, 'li', NULL, '2015-12-31 09:10:12'), (100, NULL, 'A\tB', NULL)");
        QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
        Controls::showTab(1);
        QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[001]北京远航科技有限公司")));
        QVERIFY(Controls::pick(Controls::combo(4), QStringLiteral("2015")));
        QTest::mouseClick(Controls::command(5), Qt::LeftButton);
        m_boxes->clear();
        m_sandbox.clearStatements();
    }

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
        LockDetail* window = doubleClick(description);
        QStringList sent;
        for (const sandbox::StatementRecord& statement : m_sandbox.statements())
            sent.append(statement.database.toLower() + ": " + statement.sql);
        QCOMPARE(sent, table.isEmpty() ? QStringList{} : QStringList{"zrdata_001_2015: select * from " + table});
        QVERIFY(m_boxes->count() == 0 && Controls::command(6)->isEnabled());
        QCOMPARE(window && window->isVisible() ? window->windowTitle() : QString(),
                 table.isEmpty() ? QString() : "锁定明细 - " + description);
        QCOMPARE(window ? shown(window->findChild<QTableView*>()->model()) : QStringList{}, lines);
    }

    void sortCopyCloseAndFailure()
    {
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
        m_sandbox.execute("ZRDATA_001_2015", "drop table WF_PILock");
        QVERIFY(!doubleClick(QStringLiteral("流程实例锁定表")));
        QVERIFY2(m_boxes->count() == 1 && m_boxes->last().title == "错误" && m_boxes->last().text.contains("WF_PILock"),
                 qPrintable(m_boxes->last().text));
    }

    // From a list with rows: Down moves the row, Tab leaves the list, Shift+Tab comes back.
    void tabLeavesListArrowsMove()
    {
        for (int list : {1, 2, 3}) {
            Controls::showTab(list - 1);
            if (list == 3)
                QTest::mouseClick(Controls::command(9), Qt::LeftButton);
            QTableWidget* view = Controls::list(list);
            LoginDriver::mainWindow().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&LoginDriver::mainWindow()) && view->rowCount() >= 2);
            view->setFocus();
            view->setCurrentCell(0, 0);
            QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, Qt::Key_Tab);
            QVERIFY2(QApplication::focusWidget() != view && view->currentRow() == 1, qPrintable(view->objectName()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), view);
        }
    }
};

QTEST_MAIN(TestLockDetail)
#include "tst_lockdetail.moc"
