// The task list of the first tab over many login tasks: the program's refresh (ReTaskA's code; the
// "刷新" button runs the same refresh) against a bare ODBC client sending the statements that
// refresh sent, with the sandbox server in a child process; wall-clock and this process's CPU time.
//
//     build/bench/bench_tasklist [--rows N] [--repeats N]      (defaults 20000 and 5)

#include "BenchKit.h"
#include "OdbcFloor.h"
#include "Timings.h"

#include "engine/Fixture.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const QString Password = QStringLiteral("bench");
const QString SystemDb = QStringLiteral("zrsystem");

// The demo installation with its login tasks replaced by `rows` of them: a few hundred computers,
// several modules, normal and abnormal states, some without a task row.
void seed(const QString& dataDir, int rows)
{
    sandbox::Fixture fixture(dataDir);
    bench::fillDemo(fixture);
    fixture.exec(SystemDb, QStringLiteral("delete from ua_task\ndelete from ua_tasklog"));
    const QStringList modules = {QStringLiteral("'GL', '总账'"), QStringLiteral("'AR', '应收款管理'"),
                                 QStringLiteral("'FA', '固定资产'"), QStringLiteral("'SA', '销售管理'")};
    // Short statements: the sandbox engine slows down on long VALUES lists.
    for (int start = 0; start < rows; start += 50) {
        QStringList logValues;
        QStringList taskValues;
        for (int i = start; i < std::min(rows, start + 50); ++i) {
            const QString station = QString::fromUtf8(i % 3 == 0 ? "财务室-%1" : "PC%1").arg(i % 300);
            const QString taskId = i % 97 == 0 ? QStringLiteral("null") : QStringLiteral("'%1'").arg(100000 + i);
            logValues.append(QStringLiteral("(%1, %2, '%3', 'demo', '001', 2016, '2016-03-08 %4:%5:00', null, '%6', "
                                            "'ZRSERVER')")
                                 .arg(taskId, modules.at(i % modules.size()), station)
                                 .arg(8 + i % 10, 2, 10, QLatin1Char('0'))
                                 .arg(i % 60, 2, 10, QLatin1Char('0'))
                                 .arg(i % 9 - 1));
            if (taskId != QLatin1String("null"))
                taskValues.append(
                    QStringLiteral("(%1, 'GL', '%2', 'demo', '001', 2016, '2016-03-08 08:00:00', 'ZRSERVER')")
                        .arg(taskId, station));
        }
        fixture.exec(SystemDb, QStringLiteral("insert into ua_tasklog values ") + logValues.join(QLatin1Char(',')));
        fixture.exec(SystemDb, QStringLiteral("insert into ua_task values ") + taskValues.join(QLatin1Char(',')));
    }
}

void run(int argc, char* argv[])
{
    const int rows = int(bench::option(argc, argv, "--rows", 20000));
    const int repeats = int(bench::option(argc, argv, "--repeats", 5));
    QTemporaryDir dir;
    seed(dir.filePath(QStringLiteral("data")), rows);
    const QString logFile = dir.filePath(QStringLiteral("statements.jsonl"));
    const bench::Sandbox server = bench::startSandbox(dir.filePath(QStringLiteral("data")), Password,
                                                       {QStringLiteral("--log"), logFile});
    bench::logIn(server.name, Password);  // the main window's load refreshes silently once

    auto* refresh = Form2::instance().findChild<QPushButton*>(QStringLiteral("Command4"));
    auto* list = Form2::instance().findChild<QTableWidget*>(QStringLiteral("ListView1"));
    auto* ids = Form2::instance().findChild<QComboBox*>(QStringLiteral("Combo1"));
    const auto programRefresh = [&] {
        refresh->click();
        if (list->rowCount() != rows || ids->count() != rows)
            throw std::runtime_error("the list shows " + std::to_string(list->rowCount()) + " rows");
    };
    // The first refresh is the warm-up whose statements the floor sends.
    Timings warmUp;
    const qint64 offset = bench::logSize(logFile);
    warmUp.time(programRefresh);
    const QList<bench::Batch> statements = bench::loggedSince(logFile, offset);
    OdbcFloor floor;
    floor.connect(SystemDb, server.name, Password);
    const auto floorRefresh = [&] {
        qint64 fetched = 0;
        for (const bench::Batch& batch : statements)
            fetched += floor.run(batch.sql);
        if (fetched != rows)
            throw std::runtime_error("the floor fetched " + std::to_string(fetched) + " rows");
    };
    warmUp.time(floorRefresh);

    Timings program;
    Timings bare;
    for (int i = 0; i < repeats; ++i) {
        program.time(programRefresh);
        bare.time(floorRefresh);
    }
    std::printf("\ntask list: %d tasks; median and best of %d after a warm-up\n", rows, repeats);
    Timings::printHeader();
    program.printRow("program refresh (ReTaskA's code)");
    bare.printRow("bare ODBC, same statement");
    program.printRatio("ratio refresh / bare", bare, 2.0, false);
    std::printf("client CPU per task: refresh %.1f us, bare fetch %.1f us\n", program.cpuMedian() * 1000.0 / rows,
                bare.cpuMedian() * 1000.0 / rows);
}

}  // namespace

int main(int argc, char* argv[])
{
    return bench::offscreenMain(argc, argv, "bench_tasklist", run);
}
