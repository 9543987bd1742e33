// The lock scan of the second tab over a business database whose lock tables hold a million rows:
// the program's own scan ("刷新", ReLockTb, after a real login) against a bare ODBC client sending
// the very statements the scan sent, with the sandbox server in a child process. Prints both in
// wall-clock and this process's CPU time, their ratio, and the memory growth of the scan.
//
//     build/bench/bench_lockscan [--rows N] [--repeats N]      (defaults 1000000 and 5)

#include "BenchKit.h"
#include "OdbcFloor.h"
#include "Timings.h"

#include "engine/Fixture.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <string>

namespace {

const QString BusinessDb = QStringLiteral("ZRDATA_001_2016");
const QString Password = QStringLiteral("bench");
constexpr double GrowthTargetMiB = 32.0;

// Shares of the rows per lock table, in thousandths. gl_lockrows and GL_LockRows are one table
// under the server's case-insensitive collation, so the scan reads it twice; isprocess@@@ exists
// and is never read.
const std::pair<const char*, int> Shares[] = {
    {"LockVouch", 510},  {"GL_mccontrol", 100},   {"Gl_mvcontrol", 100}, {"GL_mvocontrol", 50}, {"Fa_control", 50},
    {"FD_LOCKS", 50},    {"AP_LOCK", 50},         {"ia_pzmutex", 25},    {"gl_lockrows", 10},   {"UA_Control", 20},
    {"CN_LockAcctBook", 20}, {"Ca_ResLock", 10}, {"WF_PILock", 5},
};

// The demo installation, with account 001's year 2016 in a database holding every lock table;
// returns the rows the scan reads.
qint64 seed(const QString& dataDir, qint64 total)
{
    sandbox::Fixture fixture(dataDir);
    bench::fillDemo(fixture);
    fixture.dropDatabase(BusinessDb);
    fixture.createDatabase(BusinessDb);
    qint64 read = 0;
    for (const auto& [table, share] : Shares) {
        const qint64 rows = std::llround(double(total) * share / 1000.0);
        bench::bulkTable(fixture, BusinessDb, QLatin1String(table), rows);
        read += rows * (qstrcmp(table, "gl_lockrows") == 0 ? 2 : 1);
    }
    fixture.exec(BusinessDb, QStringLiteral("drop table bench_numbers\ncreate table [isprocess@@@] (id int null)"));
    return read;
}

// Picks an entry as a click would: the selector's activated signal follows.
void pick(const char* comboName, const QString& startOfEntry)
{
    auto* combo = Form2::instance().findChild<QComboBox*>(QLatin1String(comboName));
    const int index = combo->findText(startOfEntry, Qt::MatchStartsWith);
    if (index < 0)
        throw std::runtime_error(startOfEntry.toStdString() + " is not offered");
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void run(int argc, char* argv[])
{
    const qint64 total = bench::option(argc, argv, "--rows", 1000000);
    const int repeats = int(bench::option(argc, argv, "--repeats", 5));
    QTemporaryDir dir;
    std::printf("seeding %lld lock rows ...\n", static_cast<long long>(total));
    std::fflush(stdout);
    const qint64 expected = seed(dir.filePath(QStringLiteral("data")), total);
    const QString logFile = dir.filePath(QStringLiteral("statements.jsonl"));
    const bench::Sandbox server = bench::startSandbox(dir.filePath(QStringLiteral("data")), Password,
                                                       {QStringLiteral("--log"), logFile});
    bench::logIn(server.name, Password);
    pick("Combo3", QStringLiteral("[001]"));
    pick("Combo4", QStringLiteral("2016"));

    auto* refresh = Form2::instance().findChild<QPushButton*>(QStringLiteral("Command5"));
    auto* list = Form2::instance().findChild<QTableWidget*>(QStringLiteral("ListView2"));
    // The scan's work is done when its closing message comes up: that instant ends its timing.
    QStringList boxes;
    double boxWall = 0;
    double boxCpu = 0;
    QTimer closer;
    // Not 0: the program keeps its event loop running while the scan waits on the server, and a
    // zero timer would spin in it, charging the bench's own polling to the program's CPU.
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        boxWall = boxes.isEmpty() ? bench::steadyMs() : boxWall;
        boxCpu = boxes.isEmpty() ? bench::cpuMs() : boxCpu;
        boxes.append(box->text());
        box->done(QMessageBox::Ok);
    });
    const auto programScan = [&](Timings& timings) {
        boxes.clear();
        closer.start();
        const double wall = bench::steadyMs();
        const double cpu = bench::cpuMs();
        refresh->click();
        closer.stop();
        if (boxes.size() != 1 || !boxes.constFirst().startsWith(QStringLiteral("共有")))
            throw std::runtime_error("the scan did not end with its summary message");
        timings.add(boxWall - wall, boxCpu - cpu);
        qint64 listed = 0;
        for (int row = 0; row < list->rowCount(); ++row) {
            if (list->item(row, 1)->text() != QStringLiteral("查询分析互斥"))
                listed += list->item(row, 2)->text().toLongLong();
        }
        if (list->rowCount() != 15 || listed != expected)
            throw std::runtime_error("the scan listed " + std::to_string(listed) + " rows in "
                                     + std::to_string(list->rowCount()) + " tables");
    };

    // The first scan is the warm-up whose statements the floor then sends: zrsystem's on a
    // connection open already, as the program's is; the business database's on one opened anew
    // each time, as the scan reopens its own.
    Timings warmUp;
    const qint64 offset = bench::logSize(logFile);
    programScan(warmUp);
    const QList<bench::Batch> statements = bench::loggedSince(logFile, offset);
    OdbcFloor floorSystem;
    OdbcFloor floorAccount;
    floorSystem.connect(QStringLiteral("zrsystem"), server.name, Password);
    const auto floorScan = [&] {
        qint64 rows = 0;
        floorAccount.disconnect();
        for (const bench::Batch& batch : statements) {
            if (batch.database.compare(QLatin1String("zrsystem"), Qt::CaseInsensitive) == 0) {
                floorSystem.run(batch.sql);
                continue;
            }
            if (!floorAccount.isConnected())
                floorAccount.connect(batch.database, server.name, Password);
            const qint64 fetched = floorAccount.run(batch.sql);
            rows += batch.sql.startsWith(QLatin1String("select * from ")) ? fetched : 0;
        }
        if (rows != expected)
            throw std::runtime_error("the floor fetched " + std::to_string(rows) + " rows");
    };
    warmUp.time(floorScan);

    // The memory figure: this process's peak during a scan over its resident size when the scan began.
    Timings program;
    Timings bare;
    qint64 peak = 0;
    qint64 growth = 0;
    bool resettable = true;
    for (int i = 0; i < repeats; ++i) {
        resettable = bench::resetPeak() && resettable;
        const qint64 before = bench::residentBytes();
        programScan(program);
        peak = std::max(peak, bench::peakBytes());
        growth = std::max(growth, bench::peakBytes() - before);
        bare.time(floorScan);
    }

    std::printf("\nlock scan: 15 lock tables holding %lld rows (%lld read, gl_lockrows twice), %d statements; "
                "median and best of %d after a warm-up\n",
                static_cast<long long>(total), static_cast<long long>(expected), int(statements.size()), repeats);
    Timings::printHeader();
    program.printRow("program (Command5 -> ReLockTb)");
    bare.printRow("bare ODBC, same statements");
    program.printRatio("ratio program / bare", bare, 1.3, true);
    std::printf("memory of the scan: peak %.1f MiB, %.1f MiB above its start   target <= %.0f MiB: %s\n",
                bench::mebibytes(peak), bench::mebibytes(growth), GrowthTargetMiB,
                bench::mebibytes(growth) <= GrowthTargetMiB ? "met" : "MISSED");
    if (!resettable)
        std::printf("(the peak cannot be reset on this system: the growth is an upper bound)\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    return bench::offscreenMain(argc, argv, "bench_lockscan", run);
}
