// Ctrl+H and the cashier-lock window, against the sandbox, with real key presses. Faults caught: the
// key acting on another tab or with other modifiers, or not whatever control has the focus; a failing
// listing tried (and reported) more than once per press; a listing not the server's, kept from an
// earlier opening or pre-selected; clearing enabled before a pick, sent to another database than the
// one picked, or its failure reported as success.
#include "support/InformationBox.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;

const QStringList CashierDatabases = {"DaZovu_001_2015", "DaZovu_002_2016", "DaZovu_003_2017"};

class TestCashierLocks : public QObject {
    Q_OBJECT

private:
    // A real key press on the control that has the focus in the active main window.
    void pressCtrlH(const QString& focus, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        Form2::instance().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Form2::instance()));
        Controls::find(focus)->setFocus();
        QCOMPARE(QApplication::focusWidget(), Controls::find(focus));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, modifiers);
    }
    MessageBoxDriver& boxes() { return m_session.boxes(); }

    SessionFixture m_session;

private slots:
    void initTestCase() { QVERIFY(m_session.start()); }

    void init()
    {
        m_session.reset();
        // Only these cashier databases: the first with locks, the second without the table, the third with it empty.
        m_session.startOver();
        sandbox::Fixture& fixture = m_session.data();
        for (const QString& name : CashierDatabases)
            fixture.createDatabase(name);
        const QString table = QStringLiteral("create table CN_LockAcctBook (cUser_Id varchar(20), cBook varchar(20)) ");
        fixture.exec(CashierDatabases.at(0), table + "insert into CN_LockAcctBook values ('demo', '1'), ('王会计', '3')");
        fixture.exec(CashierDatabases.at(2), table);
        QVERIFY(m_session.logIn());
        Controls::showTab(1);
    }

    void whichKeysList_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("lists");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("first tab") << 0 << "Command4" << ctrl << false;
        QTest::newRow("third tab") << 2 << "Command9" << ctrl << false;
        QTest::newRow("ctrl+shift") << 1 << "Combo3" << int(ctrl | Qt::ShiftModifier) << false;
        QTest::newRow("ctrl+alt") << 1 << "Combo3" << int(ctrl | Qt::AltModifier) << false;
        QTest::newRow("h alone") << 1 << "Combo3" << int(Qt::NoModifier) << false;
        QTest::newRow("account list") << 1 << "Combo3" << ctrl << true;
        QTest::newRow("exit button") << 1 << "Command7" << ctrl << true;
    }

    void whichKeysList()
    {
        QFETCH(int, tab);
        QFETCH(QString, focus);
        QFETCH(int, modifiers);
        QFETCH(bool, lists);
        for (const QString& name : CashierDatabases)
            m_session.data().dropDatabase(name);
        Controls::showTab(tab);
        pressCtrlH(focus, Qt::KeyboardModifiers(modifiers));
        // Listed with no cashier database on the server: a message instead of the window.
        QCOMPARE(m_session.sent(SessionFixture::On::Sys), lists ? QStringList{statements::CashierListing} : QStringList{});
        QCOMPARE(boxes().count(), lists ? 1 : 0);
        if (lists)
            verifyInformation(boxes().last(), QStringLiteral("没有检测到出纳数据库！"));
        QVERIFY(!lists || boxes().last().parentWindow == QStringLiteral("form2"));
    }

    void failingListingIsTriedOnce_data()
    {
        QTest::addColumn<bool>("linkLost");
        QTest::addColumn<QString>("focus");  // a button passes on the keys it ignores to the window
        QTest::newRow("statement fails, button") << false << "Command7";
        QTest::newRow("link lost, button") << true << "Command7";
        QTest::newRow("statement fails, list") << false << "ListView2";
    }

    void failingListingIsTriedOnce()
    {
        QFETCH(bool, linkLost);
        QFETCH(QString, focus);
        const QRegularExpression listing(QStringLiteral("sysdatabases"));
        if (linkLost)
            m_session.sandbox().faults().dropConnectionOn(listing);
        else
            m_session.sandbox().faults().failStatements(listing, 229, QStringLiteral("The SELECT permission was denied."));
        boxes().onDialog([](QDialog&) {});
        // One press, one attempt, one error box; the key goes no further than the key handler.
        pressCtrlH(focus);
        QVERIFY(boxes().count() == 1 && boxes().dialogsHandled() == 0);
        QVERIFY(boxes().last().title == QStringLiteral("错误") && boxes().last().icon == QMessageBox::Critical);
        QVERIFY(m_session.sent(SessionFixture::On::Sys).count(statements::CashierListing) <= 1);

        // The next press works again.
        m_session.sandbox().faults().clear();
        pressCtrlH(focus);
        QVERIFY(boxes().dialogsHandled() == 1 && boxes().count() == 1);
    }

    void listingThenClearing()
    {
        // The databases in the server's order, as the listing query returns them to any client.
        QStringList expected;
        for (const QVariantList& row : m_session.data().rows(QStringLiteral("master"), statements::CashierListing))
            expected.append(row.at(0).toString());
        // The session's driver runs the window; the boxes shown meanwhile need a driver of their own.
        MessageBoxDriver clearingBoxes;
        boxes().onDialog([&](QDialog& window) {
            QComboBox* list = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
            QPushButton* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
            // Built afresh on every opening, nothing picked and nothing to clear until a pick.
            QCOMPARE(Controls::entries(list), expected);
            QVERIFY(list->currentIndex() == -1 && !clear->isEnabled() && window.isModal());
            if (boxes().dialogsHandled() == 1)
                return;
            m_session.forget();
            // The window stays, with its list and selection; an empty table is cleared all the same,
            // and a missing one is the server's error.
            for (const QString& name : {CashierDatabases.at(0), CashierDatabases.at(2), CashierDatabases.at(1)}) {
                QVERIFY(Controls::pick(list, name) && clear->isEnabled());
                QTest::mouseClick(clear, Qt::LeftButton);
                QCOMPARE(list->currentText(), name);
            }
        });
        pressCtrlH(QStringLiteral("ListView2"));
        QCOMPARE(m_session.sent(SessionFixture::On::Sys), QStringList{statements::CashierListing});
        pressCtrlH(QStringLiteral("Combo3"));
        QVERIFY(boxes().dialogsHandled() == 2 && boxes().count() == 0);

        QCOMPARE(clearingBoxes.count(), 3);
        for (const MessageBoxDriver::Box& box : clearingBoxes.boxes())
            QCOMPARE(box.parentWindow, QStringLiteral("Form3"));
        for (int i : {0, 1})
            verifyInformation(clearingBoxes.boxes().at(i), QStringLiteral("清除完毕！"));
        QVERIFY(clearingBoxes.last().title == QStringLiteral("错误") && clearingBoxes.last().icon == QMessageBox::Critical);
        QVERIFY2(clearingBoxes.last().text.contains(QStringLiteral("Invalid object name 'CN_LockAcctBook'")), qPrintable(clearingBoxes.last().text));
        // One statement on each chosen database, in the order chosen.
        QStringList clearing;
        for (int i : {0, 2, 1})
            clearing.append(SessionFixture::at(CashierDatabases.at(i), QStringLiteral("Delete From CN_LockAcctBook")));
        QCOMPARE(m_session.sentTo(), clearing);
        QCOMPARE(m_session.data().count(CashierDatabases.at(0), QStringLiteral("CN_LockAcctBook")), 0);
    }
};

QTEST_MAIN(TestCashierLocks)
#include "tst_cashierlocks.moc"
