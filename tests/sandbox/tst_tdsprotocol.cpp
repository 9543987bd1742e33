// The protocol pieces on their own: framing, prelogin and login, batches and reply tokens.
#include "TdsWire.h"
#include "protocol/LoginRequest.h"
#include "protocol/MessageReader.h"
#include "protocol/TdsVersion.h"
#include "protocol/TokenWriter.h"

#include <QtEndian>
#include <QtTest>

using namespace sandbox;

namespace {

// The login FreeTDS tsql 1.3 sent after the prelogin of TdsWire.h: sa, password "Ab中", no database.
const QByteArray FreeTdsLogin = QByteArray::fromHex(
    "bb00000004000074001000000683f2f8e31e000000000000e003001888ffffff360400005e00020062000200660003006c000400"
    "74000900860004008a000b00a0000a00b400000002fc00000001b4000000b4000000b40000000000000076006d0073006100b1a5"
    "83a577415400530051004c003100320037002e0030002e0030002e003100b40000005400440053002d004c006900620072006100"
    "72007900750073005f0065006e0067006c006900730068000a0100000001ff");

QByteArray pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + 3) & 0xFF);
    return b;
}

}  // namespace

class TstTdsProtocol : public QObject {
    Q_OBJECT

private slots:
    void reassemblesAMessageCutAtEveryOffset()
    {
        // Three packets of 512 bytes and a short fourth, followed by a one-packet message.
        const QByteArray first = tdstest::packets(0x01, pattern(1600), 512);
        const QByteArray stream = first + tdstest::packets(0x03, tdstest::utf16le(QStringLiteral("select 1")), 512);
        for (int cut = 0; cut <= stream.size(); ++cut) {
            MessageReader reader;
            QVERIFY(reader.feed(QByteArrayView(stream).first(cut)));
            // Nothing is delivered before the last packet of a message is whole.
            QCOMPARE(reader.hasMessage(), cut >= first.size());
            QVERIFY(reader.feed(QByteArrayView(stream).sliced(cut)));
            const TdsMessage a = reader.takeMessage();
            QCOMPARE(a.type, quint8(0x01));
            QCOMPARE(a.payload, pattern(1600));
            const TdsMessage b = reader.takeMessage();
            QCOMPARE(b.type, quint8(0x03));
            QCOMPARE(b.payload, tdstest::utf16le(QStringLiteral("select 1")));
            QVERIFY(!reader.hasMessage());
        }
    }

    void rejectsMalformedStreams_data()
    {
        QTest::addColumn<QByteArray>("stream");
        const QByteArray tail(64, 'x');
        QTest::newRow("length shorter than the header") << QByteArray::fromHex("0101000700000100") + tail;
        QTest::newRow("length beyond the limit") << QByteArray::fromHex("0101900000000100") + tail;
        QTest::newRow("message beyond its limit") << tdstest::packets(0x01, pattern(1500), 512);
        QTest::newRow("another type inside a message")
            << tdstest::packets(0x01, pattern(600), 512).first(512) + tdstest::packets(0x03, "xy");
    }

    void rejectsMalformedStreams()
    {
        QFETCH(QByteArray, stream);
        MessageReader reader(32768, 1000);
        QVERIFY(!reader.feed(stream));
        QVERIFY(reader.failed());
        QVERIFY(!reader.error().isEmpty());
        // Stays failed: what follows cannot be framed any more.
        QVERIFY(!reader.feed(tdstest::packets(0x01, "ab")));
        QVERIFY(!reader.hasMessage());
    }

    void ignoreBitAndAttentionInsideAMessage()
    {
        QByteArray stream = tdstest::packets(0x01, pattern(900), 512).first(512);  // first packet only
        stream += tdstest::packets(0x01, QByteArray(), 512, 0x02);                 // ignore, with end of message
        const QByteArray request = tdstest::packets(0x01, pattern(700), 512);
        stream += request.first(512) + tdstest::packets(0x06, QByteArray()) + request.sliced(512);
        MessageReader reader;
        QVERIFY(reader.feed(stream));
        QCOMPARE(reader.takeMessage().type, quint8(0x06));  // an attention stands alone
        const TdsMessage batch = reader.takeMessage();
        QCOMPARE(batch.type, quint8(0x01));
        QCOMPARE(batch.payload, pattern(700));
        QVERIFY(!reader.hasMessage());
    }

    void loginFromARealClient()
    {
        QString error;
        const auto login = LoginRequest::parse(FreeTdsLogin, &error);
        QVERIFY2(login, qPrintable(error));
        QCOMPARE(login->tdsVersion(), TdsVersion::V7_4);
        QCOMPARE(login->packetSize(), 4096u);
        QCOMPARE(QStringList({login->hostName(), login->userName(), login->password(), login->appName(), login->libraryName(),
                              login->language(), login->database()}).join(QLatin1Char('|')),
                 QStringLiteral("vm|sa|Ab中|TSQL|TDS-Library|us_english|"));
    }

    void loginForEachRevision_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("terminator");
        QTest::addColumn<quint32>("acknowledged");
        QTest::newRow("7.1 chinese") << 0x71000001u << QStringLiteral("密码Ab1!") << false << TdsVersion::V7_1;
        QTest::newRow("7.2 empty") << 0x72090002u << QString() << false << TdsVersion::V7_2;
        QTest::newRow("7.3A surrogates") << 0x730A0003u << QStringLiteral("a😀b") << false << TdsVersion::V7_3;
        QTest::newRow("7.4 full-width") << 0x74000004u << QStringLiteral("锁务通（２０２４）") << false << TdsVersion::V7_4;
        QTest::newRow("7.4 with terminator") << 0x74000004u << QStringLiteral("pw") << true << TdsVersion::V7_4;
        QTest::newRow("7.0 gets 7.1") << 0x70000000u << QStringLiteral("pw") << false << TdsVersion::V7_1;
        QTest::newRow("8.0 strict gets 7.1") << 0x08000000u << QStringLiteral("pw") << false << TdsVersion::V7_1;
        QTest::newRow("a later 7.x gets 7.4") << 0x75000000u << QStringLiteral("pw") << false << TdsVersion::V7_4;
    }

    void loginForEachRevision()
    {
        QFETCH(quint32, version);
        QFETCH(QString, password);
        QFETCH(bool, terminator);
        QFETCH(quint32, acknowledged);
        const auto login = LoginRequest::parse(tdstest::login7({version, 8192, QStringLiteral("SA"), password, QStringLiteral("简体中文"),
                                                                QStringLiteral("ZRDATA_001_2024"), terminator}));
        QVERIFY(login);
        QCOMPARE(login->tdsVersion(), version);
        QCOMPARE(TdsVersion::negotiate(login->tdsVersion()).value(), acknowledged);
        QCOMPARE(login->packetSize(), 8192u);
        QCOMPARE(QStringList({login->hostName(), login->userName(), login->database(), login->language()}).join(QLatin1Char('|')),
                 QStringLiteral("testhost|SA|ZRDATA_001_2024|简体中文"));
        QCOMPARE(login->password(), password);
    }

    void malformedLoginIsRejected()
    {
        const QByteArray good = tdstest::login7({});
        QByteArray longer = good;
        qToLittleEndian(quint32(good.size() + 10), longer.data());  // declared longer than sent
        QByteArray outside = good;
        qToLittleEndian(quint16(good.size() - 2), outside.data() + 40);  // the user name runs off the end
        QByteArray huge = good;
        qToLittleEndian(quint16(0xFFF0), huge.data() + 68);  // the database starts far outside
        for (const QByteArray& payload : {good.first(60), longer, outside, huge}) {
            QString error;
            QVERIFY(!LoginRequest::parse(payload, &error));
            QVERIFY(!error.isEmpty());
        }
    }

    void columnDescriptions()
    {
        const QVector<ColumnInfo> columns = {{QStringLiteral("登"), SqlType::Int, 0, false},
                                             {QStringLiteral("v"), SqlType::VarChar, 0, true},
                                             {QStringLiteral("n"), SqlType::NVarChar, 100000, true}};
        // From 7.2 on the user type takes four bytes; unsized and overlong text declare 8000 bytes.
        TokenWriter modern(TdsVersion::negotiate(TdsVersion::V7_4));
        modern.columns(columns);
        QCOMPARE(modern.take(), QByteArray::fromHex("810300 00000000 0000 2604 017b76 00000000 0100 a7401f 0408d00000 017600"
                                                    "00000000 0100 e7401f 0408d00000 016e00"));
        TokenWriter old(TdsVersion::negotiate(TdsVersion::V7_1));
        old.columns(columns);
        QCOMPARE(old.take().left(12), QByteArray::fromHex("810300 0000 0000 2604 017b76"));
    }

    void rowValues_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("bytes");
        const auto at = [](int y, int mo, int d, int h, int mi, int s, int ms) { return QVariant(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms))); };
        const int dateTime = int(SqlType::DateTime);
        const int varChar = int(SqlType::VarChar);
        const int nVarChar = int(SqlType::NVarChar);
        // Days since 1900-01-01, then 1/300 s since midnight, rounded to the nearest tick.
        QTest::newRow("datetime") << dateTime << 0 << at(2024, 1, 2, 3, 4, 5, 120) << QByteArray("08ebb00000808f3200");
        QTest::newRow("datetime before 1900") << dateTime << 0 << at(1899, 12, 31, 0, 0, 1, 0) << QByteArray("08ffffffff2c010000");
        QTest::newRow("datetime 2 ms is one tick") << dateTime << 0 << at(1900, 1, 1, 0, 0, 0, 2) << QByteArray("080000000001000000");
        QTest::newRow("datetime 1 ms rounds down") << dateTime << 0 << at(1900, 1, 1, 0, 0, 0, 1) << QByteArray("080000000000000000");
        QTest::newRow("datetime last ms rolls over") << dateTime << 0 << at(2000, 1, 1, 23, 59, 59, 999) << QByteArray("08ad8e000000000000");
        QTest::newRow("varchar full-width") << varChar << 8 << QVariant(QStringLiteral("表（Ａ）")) << QByteArray("0800b1eda3a8a3c1a3a9");
        QTest::newRow("varchar cut at a character") << varChar << 5 << QVariant(QStringLiteral("登陆时间")) << QByteArray("0400b5c7c2bd");
        QTest::newRow("varchar outside GBK is ?") << varChar << 10 << QVariant(QStringLiteral("a😀€")) << QByteArray("0300613f80");
        QTest::newRow("nvarchar keeps surrogates whole") << nVarChar << 3 << QVariant(QStringLiteral("ab😀")) << QByteArray("040061006200");
    }

    void rowValues()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, bytes);
        TokenWriter writer(TdsVersion::negotiate(TdsVersion::V7_4));
        writer.columns({{QStringLiteral("c"), SqlType(type), size, true}});
        writer.take();
        writer.row({value});
        QCOMPARE(writer.take().toHex(), "d1" + bytes);
    }
};

QTEST_GUILESS_MAIN(TstTdsProtocol)
#include "tst_tdsprotocol.moc"
