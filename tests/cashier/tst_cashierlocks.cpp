// Ctrl+H on the main window and the cashier-lock window, against the sandbox: which key opens it,
// the listing of the cashier databases, the window itself and the clearing of one database.
#include "support/InformationBox.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>
#include <functional>

using Controls = MainWindowControls;

namespace {

const QString Listing =
    QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'");
const QStringList CashierDatabases = {"DaZovu_001_2015", "DaZovu_002_2016", "DaZovu_003_2017"};

// Runs an action on every cashier-lock window that opens, then closes it. Polls on a repeating
// timer: the window opens inside the key press, which does not return until it is closed.
class CashierWindowDriver : public QObject {
public:
    explicit CashierWindowDriver(std::function<void(QDialog&)> action = [](QDialog&) {})
        : m_action(std::move(action))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            // Message boxes the action opens are dialogs too; the window already handled is skipped.
            if (!window || window == m_handled || window->objectName() != QLatin1String("Form3") || !window->isVisible())
                return;
            m_handled = window;
            ++opened;
            m_action(*window);
            window->close();
        });
        m_timer.start(10);
    }
    int opened = 0;

private:
    std::function<void(QDialog&)> m_action;
    QTimer m_timer;
    QPointer<QDialog> m_handled;
};

}  // namespace

class TestCashierLocks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void onlyCtrlHOnTheLockTabLooksForCashierDatabases();
    void windowListsTheDatabasesAndWaitsForAPick();
    void clearingEmptiesChosenDatabaseOnly();

private:
    void pressCtrlH(const char* focus, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        Controls::find(QLatin1String(focus))->setFocus();
        QTest::keyClick(Controls::find(QLatin1String(focus)), Qt::Key_H, modifiers);
    }
    // The statements sent, each after its database when asked.
    QStringList sql(bool withDatabase = false) const;

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
};

void TestCashierLocks::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([] { QFAIL("the program must not end"); });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
    // Only this test's cashier databases.
    for (const QString& name : m_sandbox.fixture().directory().databases()) {
        if (name.startsWith(QLatin1String("DaZovu"), Qt::CaseInsensitive))
            m_sandbox.fixture().dropDatabase(name);
    }
}

void TestCashierLocks::init()
{
    LoginDriver::reset();
    sandbox::Fixture& fixture = m_sandbox.fixture();
    for (const QString& name : CashierDatabases) {
        if (fixture.directory().hasDatabase(name))
            fixture.dropDatabase(name);
        fixture.createDatabase(name);
    }
    const QString table = QStringLiteral("create table CN_LockAcctBook (cUser_Id varchar(20), cBook varchar(20)) ");
    fixture.exec(CashierDatabases.at(0), table + "insert into CN_LockAcctBook values ('demo', '1'), ('王会计', '3')");
    // The second has no lock table at all, the third an empty one.
    fixture.exec(CashierDatabases.at(2), table);
    m_boxes->clear();
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    LoginDriver::mainWindow().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&LoginDriver::mainWindow()));
    Controls::showTab(1);
    m_sandbox.clearStatements();
}

QStringList TestCashierLocks::sql(bool withDatabase) const
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append((withDatabase ? record.database + QStringLiteral(": ") : QString()) + record.sql);
    return texts;
}

void TestCashierLocks::onlyCtrlHOnTheLockTabLooksForCashierDatabases()
{
    for (const QString& name : CashierDatabases)
        m_sandbox.fixture().dropDatabase(name);
    CashierWindowDriver windows;
    // Other tabs, other modifiers: nothing is asked of the server.
    Controls::showTab(0);
    pressCtrlH("Command4");
    Controls::showTab(2);
    pressCtrlH("Command9");
    Controls::showTab(1);
    pressCtrlH("Combo3", Qt::ControlModifier | Qt::ShiftModifier);
    pressCtrlH("Combo3", Qt::ControlModifier | Qt::AltModifier);
    pressCtrlH("Combo3", Qt::NoModifier);
    QVERIFY(sql().isEmpty());
    QCOMPARE(m_boxes->count(), 0);

    // Ctrl+H there, with no cashier database on the server: a message instead of the window.
    pressCtrlH("Combo3");
    QCOMPARE(windows.opened, 0);
    QCOMPARE(m_boxes->count(), 1);
    verifyInformation(m_boxes->last(), QStringLiteral("没有检测到出纳数据库！"));
    QCOMPARE(m_boxes->last().parentWindow, QStringLiteral("form2"));
    QCOMPARE(sql(), QStringList{Listing});
}

void TestCashierLocks::windowListsTheDatabasesAndWaitsForAPick()
{
    // The databases in the server's order, as the listing query returns them to any client.
    QStringList expected;
    for (const QVariantList& row : m_sandbox.fixture().rows(QStringLiteral("master"), Listing))
        expected.append(row.at(0).toString());
    QCOMPARE(expected.size(), CashierDatabases.size());

    CashierWindowDriver windows([&](QDialog& window) {
        auto* list = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
        auto* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
        QCOMPARE(Controls::entries(list), expected);
        QCOMPARE(list->currentIndex(), -1);
        QVERIFY(!list->isEditable());
        QCOMPARE(window.windowTitle(), QStringLiteral("清除出纳模块制单锁定"));
        QCOMPARE(window.size(), QSize(402, 160));
        QVERIFY(window.isModal());
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QCOMPARE(window.windowIcon().cacheKey(), LoginDriver::mainWindow().windowIcon().cacheKey());
        QStringList texts;
        for (const char* name : {"Frame1", "Frame2", "lblLabel1", "lbl", "lbl_2"})
            texts.append(window.findChild<QWidget*>(name)->property(*name == 'F' ? "title" : "text").toString());
        QCOMPARE(texts, (QStringList{"说明", "数据库选择", "1、本功能用于清除出纳模块的制单锁定",
                                     "2、仅适用于Orbit/Pulse，Vertex版使用清除单据锁定中的功能即可", "出纳管理数据库："}));
        QCOMPARE(clear->text(), QStringLiteral("清除"));
        // Disabled until a pick.
        QVERIFY(!clear->isEnabled());
        QVERIFY(Controls::pick(list, CashierDatabases.at(1)));
        QVERIFY(clear->isEnabled());
    });
    // Whatever control has the focus; and again, built afresh.
    pressCtrlH("ListView2");
    pressCtrlH("Command5");
    QCOMPARE(windows.opened, 2);
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(sql(), (QStringList{Listing, Listing}));
    QCOMPARE(LoginDriver::mainWindow().findChildren<QDialog*>(QStringLiteral("Form3")).size(), 0);
}

void TestCashierLocks::clearingEmptiesChosenDatabaseOnly()
{
    CashierWindowDriver windows([&](QDialog& window) {
        auto* list = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
        auto* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
        QVERIFY(Controls::pick(list, CashierDatabases.at(0)));
        m_sandbox.clearStatements();
        QTest::mouseClick(clear, Qt::LeftButton);
        // The window stays, with its list and selection; an empty table is cleared all the same,
        // and a missing one is the server's error.
        QCOMPARE(list->currentText(), CashierDatabases.at(0));
        QVERIFY(Controls::pick(list, CashierDatabases.at(2)));
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(Controls::pick(list, CashierDatabases.at(1)));
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(window.isVisible());
    });
    pressCtrlH("Combo3");
    QCOMPARE(windows.opened, 1);

    QCOMPARE(m_boxes->count(), 3);
    for (const MessageBoxDriver::Box& box : m_boxes->boxes())
        QCOMPARE(box.parentWindow, QStringLiteral("Form3"));
    verifyInformation(m_boxes->boxes().at(0), QStringLiteral("清除完毕！"));
    verifyInformation(m_boxes->boxes().at(1), QStringLiteral("清除完毕！"));
    QCOMPARE(m_boxes->last().title, QStringLiteral("错误"));
    QCOMPARE(m_boxes->last().icon, QMessageBox::Critical);
    QVERIFY2(m_boxes->last().text.contains(QStringLiteral("Invalid object name 'CN_LockAcctBook'")),
             qPrintable(m_boxes->last().text));
    // One statement on each chosen database, in the order chosen.
    QCOMPARE(sql(true), (QStringList{"DaZovu_001_2015: Delete From CN_LockAcctBook",
                                     "DaZovu_003_2017: Delete From CN_LockAcctBook",
                                     "DaZovu_002_2016: Delete From CN_LockAcctBook"}));
    QCOMPARE(m_sandbox.fixture().count(CashierDatabases.at(0), QStringLiteral("CN_LockAcctBook")), 0);
}

QTEST_MAIN(TestCashierLocks)
#include "tst_cashierlocks.moc"
