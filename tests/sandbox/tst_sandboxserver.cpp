// The server over real sockets, spoken to with the test's own encoder and decoder and backed by a
// scripted engine, so that only the server is under test: login, replies, attention,
// back-pressure, malformed input and faults.

#include "FakeBackend.h"
#include "TdsWire.h"
#include "server/FaultInjector.h"
#include "server/SandboxServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtTest>

using namespace sandbox;

namespace {

const QString Password = QStringLiteral("密码X");

class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(3000);
    }

    void send(quint8 type, const QByteArray& payload) { sendRaw(tdstest::packets(type, payload)); }
    void sendRaw(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    // The packets up to the next end of message; empty when none comes in time.
    QByteArray readMessage(int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        do {
            m_buffer += m_socket.readAll();
            for (qsizetype at = 0, length = 8; m_buffer.size() - at >= 8 && length >= 8; at += length) {
                length = quint8(m_buffer[at + 2]) << 8 | quint8(m_buffer[at + 3]);
                if (m_buffer.size() - at >= length && length >= 8 && (m_buffer[at + 1] & 0x01)) {
                    const QByteArray message = m_buffer.left(at + length);
                    m_buffer.remove(0, at + length);
                    return message;
                }
            }
        } while (clock.elapsed() < timeoutMs && (m_socket.waitForReadyRead(50) || m_socket.state() == QAbstractSocket::ConnectedState));
        return {};
    }

    tdstest::Reply reply(int timeoutMs = 5000) { return tdstest::readReply(readMessage(timeoutMs), m_atLeast72, m_packetSize); }

    tdstest::Reply login(tdstest::Login fields = {}, bool prelogin = true)
    {
        if (fields.password.isNull())
            fields.password = Password;
        m_atLeast72 = (fields.version >> 24) >= 0x72;
        m_packetSize = int(fields.packetSize);
        if (prelogin) {
            send(0x12, tdstest::FreeTdsPrelogin);
            if (!readMessage().startsWith(QByteArray::fromHex("0401")))
                return {};
        }
        send(0x10, tdstest::login7(fields));
        return reply();
    }

    tdstest::Reply batch(const QString& sql, int timeoutMs = 5000)
    {
        send(0x01, tdstest::sqlBatch(sql, m_atLeast72));
        return reply(timeoutMs);
    }

    // True once the server has closed the connection; what came until then is kept.
    bool waitForClose()
    {
        QElapsedTimer clock;
        clock.start();
        while (m_socket.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < 3000) {
            m_socket.waitForReadyRead(50);
            m_buffer += m_socket.readAll();
        }
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }

    QByteArray unread() const { return m_buffer; }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    bool m_atLeast72 = true;
    int m_packetSize = 4096;
};

}  // namespace

class TstSandboxServer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SandboxServer> m_server;
    std::shared_ptr<tdstest::FakeStats> m_stats;

    quint16 port() const { return m_server->port(); }

private slots:
    void init()
    {
        m_stats = std::make_shared<tdstest::FakeStats>();
        SandboxServer::Options options;
        options.password = Password;
        m_server = std::make_unique<SandboxServer>(options, std::make_unique<tdstest::FakeBackend>(m_stats));
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void cleanup() { m_server.reset(); }

    void logins_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<int>("packetSize");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("expected");
        const QString welcome = QStringLiteral("env 7 0408d00000 | env 2 us_english< | ");
        QTest::newRow("7.4, 512") << 0x74000004u << 512 << "sa" << Password << ""
                                  << "env 1 zrsystem<master | info 5701/0 Changed database context to 'zrsystem'. | " + welcome
                                         + "ack 74000004 Microsoft SQL Server | env 4 512<4096 | done 0/0";
        // The database is reported as the server spells it; 7.1 clients may send no prelogin.
        QTest::newRow("7.1 without prelogin") << 0x71000001u << 4096 << "SA" << Password << "zrdata_001_2024"
                                              << "env 1 ZRDATA_001_2024<master | info 5701/0 Changed database context to 'ZRDATA_001_2024'. | "
                                                     + welcome + "ack 71000001 Microsoft SQL Server | env 4 4096<4096 | done 0/0";
        QTest::newRow("wrong password") << 0x74000004u << 4096 << "sa" << "密码x" << "" << "error 18456/14 Login failed for user 'sa'. | done 2/0";
        QTest::newRow("other user") << 0x74000004u << 4096 << "bob" << Password << "" << "error 18456/14 Login failed for user 'bob'. | done 2/0";
    }

    void logins()
    {
        QFETCH(quint32, version);
        QFETCH(int, packetSize);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QString, expected);
        RawClient client(port());
        const tdstest::Reply login = client.login({version, quint32(packetSize), user, password, {}, database}, version != 0x71000001u);
        QVERIFY2(login.ok, qPrintable(login.error));
        QCOMPARE(login.text(), expected);
        if (login.count(QStringLiteral("ack")) == 0) {
            // Nothing more is served on a refused connection, and no session was opened.
            client.send(0x01, tdstest::sqlBatch(QStringLiteral("rows 1")));
            QVERIFY(client.waitForClose());
            QVERIFY(client.unread().isEmpty());
            QCOMPARE(m_stats->sessions.load(), 0);
            QVERIFY(m_server->statements().isEmpty());
            return;
        }
        // Every packet of a large result keeps to the agreed size; values and count survive.
        const tdstest::Reply rows = client.batch(QStringLiteral("rows 3000"), 20000);
        QVERIFY2(rows.ok, qPrintable(rows.error));
        QCOMPARE(rows.count(QStringLiteral("row")), 3000);
        QVERIFY(rows.text().endsWith(QStringLiteral("row 2998,名称2998,登陆时间 | row 2999,名称2999,NULL | done 10/3000")));
    }

    void replies_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("expected");
        const auto batch = [](const char* sql) { return tdstest::sqlBatch(QString::fromUtf8(sql)); };
        QTest::newRow("statements") << 0x01 << batch("rows 3; count 5; set nocount on")
                                    << "cols id,名称,标签 | row 0,名称0,登陆时间 | row 1,名称1,NULL | row 2,名称2,登陆时间 | "
                                       "done 11/3 | done 11/5 | done 0/0";
        QTest::newRow("error then more") << 0x01 << batch("error 208 Invalid object name 'ua_x'.; rows 1")
                                         << "error 208/16 Invalid object name 'ua_x'. | done 3/0 | cols id,名称,标签 | row 0,名称0,登陆时间 | done 10/1";
        QTest::newRow("error last") << 0x01 << batch("count 1; error 102 Incorrect syntax near 'form'.")
                                    << "done 11/1 | error 102/16 Incorrect syntax near 'form'. | done 2/0";
        QTest::newRow("empty batch") << 0x01 << batch("  ") << "done 0/0";
        QTest::newRow("remote call") << 0x03 << batch("") + QByteArray::fromHex("ffff 0d00 0000")  // procedure 13 by number
                                     << "error 2812/16 Could not find stored procedure 'sp_prepexec'. | done 2/0";
        // Headers are skipped by their declared total, whatever they hold.
        QTest::newRow("other headers") << 0x01 << QByteArray::fromHex("1e000000") + QByteArray(26, '\x7f') + tdstest::utf16le(QStringLiteral("rows 1"))
                                       << "cols id,名称,标签 | row 0,名称0,登陆时间 | done 10/1";
        QTest::newRow("transaction request") << 0x0E << batch("") + QByteArray::fromHex("0500 00")  // begin
                                             << "error 50000/16 Transaction requests are not supported by this server. | done 2/0";
    }

    void replies()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, payload);
        QFETCH(QString, expected);
        RawClient client(port());
        QVERIFY(client.login().ok);
        client.send(quint8(type), payload);
        QCOMPARE(client.reply().text(), expected);
        QCOMPARE(client.batch(QStringLiteral("rows 1")).count(QStringLiteral("row")), 1);
    }

    void protocolViolationsCloseOnlyThatConnection_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("batch before login") << false << tdstest::packets(0x01, tdstest::sqlBatch(QStringLiteral("rows 1")));
        QTest::newRow("garbage login") << false << tdstest::packets(0x10, QByteArray(40, 'x'));
        QTest::newRow("malformed prelogin") << false << tdstest::packets(0x12, QByteArray::fromHex("0000050001"));
        QTest::newRow("second prelogin") << true << tdstest::packets(0x12, tdstest::FreeTdsPrelogin);
        QTest::newRow("second login") << true << tdstest::packets(0x10, tdstest::login7({}));
        QTest::newRow("odd batch") << true << tdstest::packets(0x01, tdstest::sqlBatch(QStringLiteral("x")) + 'y');
        QTest::newRow("batch headers longer than the batch") << true << tdstest::packets(0x01, QByteArray::fromHex("f4010000") + "ab");
        QTest::newRow("unknown type") << true << tdstest::packets(0x07, "x");
    }

    void protocolViolationsCloseOnlyThatConnection()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QByteArray, stream);
        RawClient good(port());
        QVERIFY(good.login().ok);
        RawClient bad(port());
        if (loggedIn)
            QVERIFY(bad.login().ok);
        bad.sendRaw(stream);
        QVERIFY(bad.waitForClose());
        QVERIFY(bad.unread().isEmpty());
        QCOMPARE(good.batch(QStringLiteral("rows 2")).count(QStringLiteral("row")), 2);
    }

    void attention()
    {
        RawClient client(port());
        QVERIFY(client.login().ok);
        client.send(0x01, tdstest::sqlBatch(QStringLiteral("endless")));
        QTRY_VERIFY(m_stats->rowsProduced.load() > 1000);
        client.send(0x06, {});
        tdstest::Reply reply = client.reply(10000);
        QVERIFY2(reply.ok, qPrintable(reply.error));
        QCOMPARE(reply.messages, 1);
        QVERIFY(reply.count(QStringLiteral("row")) > 100);
        QVERIFY(reply.text().endsWith(QStringLiteral(" | done 20/0")));
        QCOMPARE(m_stats->cancels.load(), 1);

        // A statement finished before the attention keeps its own DONE.
        const qint64 before = m_stats->rowsProduced.load();
        client.send(0x01, tdstest::sqlBatch(QStringLiteral("rows 1; endless")));
        QTRY_VERIFY(m_stats->rowsProduced.load() > before + 10);
        client.send(0x06, {});
        reply = client.reply(10000);
        QCOMPARE(reply.count(QStringLiteral("done")), 2);
        QVERIFY(reply.text().contains(QStringLiteral("row 0,名称0,登陆时间 | done 11/1 | cols n | row ")));
        QVERIFY(reply.text().endsWith(QStringLiteral(" | done 20/0")));

        // After a reply that was already complete an attention is still acknowledged, alone.
        QCOMPARE(client.batch(QStringLiteral("rows 3")).count(QStringLiteral("row")), 3);
        client.send(0x06, {});
        QCOMPARE(client.reply().text(), QStringLiteral("done 20/0"));
        QCOMPARE(m_stats->cancels.load(), 2);
        QCOMPARE(client.batch(QStringLiteral("rows 3")).count(QStringLiteral("row")), 3);
    }

    void slowReaderHoldsTheServerBack()
    {
        RawClient client(port());
        QVERIFY(client.login().ok);
        client.socket().setReadBufferSize(64 * 1024);
        client.send(0x01, tdstest::sqlBatch(QStringLiteral("endless")));
        // Once socket buffers are full, production stops instead of piling rows up.
        qint64 produced = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const qint64 now = m_stats->rowsProduced.load();
                QTest::qWait(300);
                produced = now;
                return now > 0 && now == m_stats->rowsProduced.load();
            }(),
            10000);
        QVERIFY2(produced < 3'000'000, qPrintable(QString::number(produced)));

        // Meanwhile the server still serves others.
        RawClient other(port());
        QVERIFY(other.login().ok);
        QCOMPARE(other.batch(QStringLiteral("rows 1")).count(QStringLiteral("row")), 1);

        client.socket().setReadBufferSize(0);
        client.send(0x06, {});
        QVERIFY(client.reply(20000).ok);
    }

    void faultInjection()
    {
        FaultInjector& faults = m_server->faults();
        RawClient a(port());
        RawClient b(port());
        RawClient c(port());
        QVERIFY(a.login().ok && b.login().ok && c.login().ok);

        faults.failStatements(QRegularExpression(QStringLiteral("^rows 5")), 1205, QStringLiteral("Transaction was deadlocked."));
        QCOMPARE(a.batch(QStringLiteral("rows 5")).text(), QStringLiteral("error 1205/16 Transaction was deadlocked. | done 2/0"));
        QCOMPARE(m_stats->rowsProduced.load(), 0);  // the batch never ran
        QCOMPARE(a.batch(QStringLiteral("rows 4")).count(QStringLiteral("row")), 4);

        // A drop closes the connection instead of answering, once.
        faults.dropConnectionOn(QRegularExpression(QStringLiteral("count 7")));
        a.send(0x01, tdstest::sqlBatch(QStringLiteral("count 7")));
        QVERIFY(a.waitForClose());
        QVERIFY(a.unread().isEmpty());
        QCOMPARE(b.batch(QStringLiteral("count 7")).text(), QStringLiteral("done 10/7"));
        QCOMPARE(m_server->statements().size(), 4);  // logged as received, even when failed or dropped

        // A delay holds every answer back, but does not serve connections one after another.
        constexpr int delayMs = 1500;
        faults.setDelay(std::chrono::milliseconds(delayMs));
        QElapsedTimer clock;
        clock.start();
        b.send(0x01, tdstest::sqlBatch(QStringLiteral("rows 1")));
        c.send(0x01, tdstest::sqlBatch(QStringLiteral("rows 2")));
        QVERIFY(b.readMessage(400).isEmpty());
        QCOMPARE(b.reply().count(QStringLiteral("row")), 1);
        QCOMPARE(c.reply().count(QStringLiteral("row")), 2);
        QVERIFY2(clock.elapsed() >= delayMs - 50 && clock.elapsed() < 2 * delayMs - 100, qPrintable(QString::number(clock.elapsed())));
        faults.setDelay(std::chrono::milliseconds(0));

        // Dropping all closes every connection; the server goes on listening.
        faults.dropAllConnections();
        QVERIFY(b.waitForClose() && c.waitForClose());
        faults.clear();
        RawClient d(port());
        QVERIFY(d.login().ok);
        QCOMPARE(d.batch(QStringLiteral("rows 5")).count(QStringLiteral("row")), 5);
    }
};

QTEST_GUILESS_MAIN(TstSandboxServer)
#include "tst_sandboxserver.moc"
