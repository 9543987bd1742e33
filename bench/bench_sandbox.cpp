// How fast the sandbox server serves a large select: the bare ODBC client (the floor of the other
// benches) reads it while the server's own CPU time is taken from its process. The server must
// keep ahead of the client: then the program's figures measure the program and the driver.
//
//     build/bench/bench_sandbox [--rows N] [--repeats N]      (defaults 1000000 and 3)

#include "BenchKit.h"
#include "OdbcFloor.h"
#include "Timings.h"

#include "engine/Fixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

namespace {

void run(int argc, char* argv[])
{
    const qint64 rows = bench::option(argc, argv, "--rows", 1000000);
    const int repeats = int(bench::option(argc, argv, "--repeats", 3));
    const QString password = QStringLiteral("bench");
    const QString database = QStringLiteral("ZRDATA_999_2016");
    QTemporaryDir dir;
    {
        sandbox::Fixture fixture(dir.path());
        fixture.createDatabase(database);
        bench::bulkTable(fixture, database, QStringLiteral("LockVouch"), rows);
    }
    const bench::Sandbox server = bench::startSandbox(dir.path(), password);
    OdbcFloor floor;
    floor.connect(database, server.name, password);
    Timings warmUp;
    Timings client;
    QList<double> serverCpu;
    // The first round warms the server's page cache and the client.
    for (int i = 0; i <= repeats; ++i) {
        const double served = bench::cpuMs(server.process->processId());
        Timings& timings = i == 0 ? warmUp : client;
        timings.time([&] {
            if (floor.run(QStringLiteral("select * from LockVouch")) != rows)
                throw std::runtime_error("the ODBC client did not fetch every row");
        });
        if (i > 0)
            serverCpu.append(bench::cpuMs(server.process->processId()) - served);
    }

    const auto perSecond = [rows](double ms) { return ms > 0 ? double(rows) / ms * 1000.0 : 0.0; };
    std::printf("\nsandbox server: select * from a table of %lld rows; median and best of %d after a warm-up\n",
                static_cast<long long>(rows), repeats);
    Timings::printHeader();
    client.printRow("bare ODBC client");
    std::printf("%-36s %23s %11.1f %11.1f\n", "sandbox server process", "", Timings::median(serverCpu),
                Timings::best(serverCpu));
    const double serverRate = perSecond(Timings::median(serverCpu));
    const double clientRate = perSecond(client.cpuMedian());
    std::printf("the server serves %.0f rows/s of its CPU time (%.0f rows/s wall-clock); the ODBC client's own "
                "CPU time would take %.0f rows/s\n",
                serverRate, perSecond(client.wallMedian()), clientRate);
    if (serverRate >= clientRate)
        std::printf("the server keeps ahead of the client: wall-clock figures measure the client\n");
    else
        std::printf("the server is %.1fx slower than the client: wall-clock figures of large reads measure the "
                    "server, CPU figures the client\n",
                    clientRate / serverRate);
}

}  // namespace

int main(int argc, char* argv[])
{
    return bench::offscreenMain(argc, argv, "bench_sandbox", run);
}
