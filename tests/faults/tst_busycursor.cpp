// A slow server: while a statement runs the program shows the busy cursor, and it shows the
// normal one again afterwards, also when the statement failed, and before any message box.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/MessageBoxWatcher.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"

#include <QApplication>
#include <QComboBox>
#include <QMutex>
#include <QPushButton>
#include <QTest>

namespace {

using Controls = MainWindowControls;

// The override cursor's shape, or -1 for none.
int cursorShape()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

enum class Action { TaskRefresh, ClearAbnormal, YearList, ExportListing };
enum class Failure { None, ServerError, LinkDropped, ServerGone };

}  // namespace

class TstBusyCursor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        QVERIFY(m_sandbox.start());
        // Runs on the server's thread while the program's thread is blocked in the driver,
        // waiting for this very answer: it reads the cursor the user sees at that moment.
        m_sandbox.server().setStatementHook([this](const sandbox::StatementRecord&) {
            const int shape = cursorShape();
            QMutexLocker lock(&m_mutex);
            m_atStatements.append(shape);
        });
    }
    void cleanup()
    {
        LoginDriver::reset();
        m_sandbox.faults().clear();
        if (m_sandbox.server().port() == 0)
            QVERIFY(m_sandbox.server().start());
        m_sandbox.restoreFixture();
        // A leaked cursor would outlive the case that leaked it.
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    void waitCursorWhileStatementsRun_data();
    void waitCursorWhileStatementsRun();

private:
    // Shapes seen by the server while each statement was waiting for its answer.
    QList<int> seenByServer()
    {
        QMutexLocker lock(&m_mutex);
        return std::exchange(m_atStatements, {});
    }

    SandboxHarness m_sandbox;
    QMutex m_mutex;
    QList<int> m_atStatements;
};

void TstBusyCursor::waitCursorWhileStatementsRun_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("statements");
    QTest::addColumn<int>("boxes");
    QTest::newRow("task refresh") << Action::TaskRefresh << Failure::None << 1 << 0;
    QTest::newRow("two deletions, refresh, message") << Action::ClearAbnormal << Failure::None << 3 << 1;
    QTest::newRow("year list, read row by row") << Action::YearList << Failure::None << 1 << 0;
    QTest::newRow("export listing") << Action::ExportListing << Failure::None << 1 << 1;
    QTest::newRow("server error") << Action::TaskRefresh << Failure::ServerError << 1 << 1;
    QTest::newRow("connection dropped during the statement") << Action::TaskRefresh << Failure::LinkDropped << 1 << 1;
    QTest::newRow("server gone, reconnection refused") << Action::TaskRefresh << Failure::ServerGone << 0 << 1;
}

void TstBusyCursor::waitCursorWhileStatementsRun()
{
    QFETCH(Action, action);
    QFETCH(Failure, failure);
    QFETCH(int, statements);
    QFETCH(int, boxes);
    MessageBoxDriver driver;
    QVERIFY(LoginDriver(driver).logIn(m_sandbox.serverName(), m_sandbox.password()));
    QList<int> atBoxes;
    MessageBoxWatcher watcher([&](QMessageBox*) { atBoxes.append(cursorShape()); });
    seenByServer();
    m_sandbox.faults().setDelay(std::chrono::milliseconds(120));
    const QRegularExpression taskQuery(QStringLiteral("^select distinct b.ctaskid"));
    if (failure == Failure::ServerError)
        m_sandbox.faults().failStatements(taskQuery, 1205, QStringLiteral("Transaction (Process ID 53) was deadlocked"));
    else if (failure == Failure::LinkDropped)
        m_sandbox.faults().dropConnectionOn(taskQuery);
    else if (failure == Failure::ServerGone)
        m_sandbox.server().stop();

    switch (action) {
    case Action::TaskRefresh:
        Controls::command(4)->click();
        break;
    case Action::ClearAbnormal:
        Controls::command(1)->click();
        break;
    case Action::YearList:
        Controls::showTab(1);
        QVERIFY(Controls::pick(Controls::combo(3), QStringLiteral("[002]上海明德贸易有限公司")));
        QCOMPARE(Controls::combo(4)->count(), 2);
        break;
    case Action::ExportListing:
        Controls::showTab(2);
        Controls::command(9)->click();
        break;
    }

    QCOMPARE(seenByServer(), QList<int>(statements, int(Qt::WaitCursor)));
    QCOMPARE(driver.count(), boxes);
    if (failure != Failure::None)
        QCOMPARE(driver.last().title, QStringLiteral("错误"));
    // Every box, and what follows, with the normal cursor.
    QCOMPARE(atBoxes, QList<int>(boxes, -1));
    QCOMPARE(cursorShape(), -1);
}

QTEST_MAIN(TstBusyCursor)
#include "tst_busycursor.moc"
