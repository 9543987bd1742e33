// Logging in to a server that cannot be reached or never answers: the failure box comes
// within the login timeout, the login window stays, and a later attempt can succeed.
#include "support/LoginDriver.h"
#include "support/MessageBoxDriver.h"
#include "support/MessageBoxWatcher.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "db/Connection.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <vector>

namespace {

enum class Server { Silent, Blackholed, Refused };

}  // namespace

class TstLoginTimeout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        AppSetup::prepare(*qApp);
        QVERIFY(m_sandbox.start());
    }
    void cleanup()
    {
        LoginDriver::reset();
        m_sandbox.faults().clear();
        PublicADO::SysConnection().setLoginTimeout(15);
    }
    void silentServerFailsWithinTimeout_data();
    void silentServerFailsWithinTimeout();

private:
    SandboxHarness m_sandbox;
};

void TstLoginTimeout::silentServerFailsWithinTimeout_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<int>("timeout");  // seconds set before the login; 0 keeps the program's own
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<QString>("text");
    // First: it relies on the connections as the program leaves them.
    QTest::newRow("program's own timeout, server never answers")
        << Server::Silent << 0 << 14000 << 20000 << QStringLiteral("Timeout expired");
    QTest::newRow("server never answers") << Server::Silent << 2 << 1500 << 6000 << QString();
    QTest::newRow("port drops the connection attempt") << Server::Blackholed << 2 << 1500 << 6000 << QString();
    // Refused at once: the program does not sit out its timeout.
    QTest::newRow("nothing listens") << Server::Refused << 0 << 0 << 3000 << QStringLiteral("Unable to connect");
}

void TstLoginTimeout::silentServerFailsWithinTimeout()
{
    QFETCH(Server, server);
    QFETCH(int, timeout);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QFETCH(QString, text);
    // Every connection the program opens waits as long for its login.
    for (const db::Connection* connection :
         {&PublicADO::SysConnection(), &PublicADO::ExportConnection(), &PublicADO::AccountConnection()})
        QCOMPARE(connection->loginTimeout(), 15);
    QCOMPARE(db::Connection().loginTimeout(), 15);
    if (timeout)
        PublicADO::SysConnection().setLoginTimeout(timeout);

    QString name = m_sandbox.serverName();
    if (server == Server::Refused)
        name = m_sandbox.unusedServerName();
    // A port whose connection attempts are neither accepted nor refused: the listener's queue
    // is full and never served, so the system drops further handshakes, as a firewall would.
    QTcpServer hole;
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    if (server == Server::Blackholed) {
        hole.setListenBacklogSize(0);
        QVERIFY(hole.listen(QHostAddress::LocalHost, 0));
        hole.pauseAccepting();
        bool full = false;
        for (int i = 0; i < 8 && !full; ++i) {
            fillers.push_back(std::make_unique<QTcpSocket>());
            fillers.back()->connectToHost(QHostAddress::LocalHost, hole.serverPort());
            full = !fillers.back()->waitForConnected(300);
        }
        QVERIFY2(full, "the system accepted every connection; no black hole to be had");
        name = QStringLiteral("127.0.0.1,%1").arg(hole.serverPort());
    }
    m_sandbox.faults().setUnresponsive(server == Server::Silent);

    MessageBoxDriver boxes;
    qint64 shownAfter = -1;
    QElapsedTimer timer;
    MessageBoxWatcher watcher([&](QMessageBox*) {
        if (shownAfter < 0)
            shownAfter = timer.elapsed();
    });
    LoginDriver login(boxes);
    timer.start();
    QVERIFY(!login.logIn(name, m_sandbox.password()));
    qInfo("%s: failure box after %lld ms", QTest::currentDataTag(), shownAfter);
    QVERIFY2(shownAfter >= minMs && shownAfter < maxMs, qPrintable(QString::number(shownAfter)));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().title, QString());
    QCOMPARE(boxes.last().icon, QMessageBox::Information);
    QVERIFY2(boxes.last().text.contains(text), qPrintable(boxes.last().text));
    QVERIFY(Form1::instance().isVisible());
    QVERIFY(!Form2::isLoaded());

    // Once the server answers the same window logs in.
    m_sandbox.faults().setUnresponsive(false);
    QVERIFY(login.logIn(m_sandbox.serverName(), m_sandbox.password()));
}

QTEST_MAIN(TstLoginTimeout)
#include "tst_logintimeout.moc"
