#include "BenchKit.h"

#include "app/AppSetup.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "engine/DemoSeed.h"
#include "engine/Fixture.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif
#include <ctime>

namespace bench {

namespace {

// A "VmRSS:   1234 kB" line of /proc/self/status, in bytes; -1 elsewhere.
qint64 statusField(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : status.open(QIODevice::ReadOnly) ? status.readAll().split('\n') : QByteArrayList()) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

}  // namespace

Sandbox startSandbox(const QString& dataDir, const QString& password, const QStringList& extra)
{
    const std::shared_ptr<QProcess> process(new QProcess, [](QProcess* server) {
        server->terminate();
        server->waitForFinished(10000);
        delete server;
    });
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(SUOWUTONG_SANDBOX_EXECUTABLE),
                   QStringList{QStringLiteral("--data"), dataDir, QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--password"), password}
                       + extra);
    // The server's first line says where it listens, once the port is bound.
    while (process->waitForStarted(30000) && !process->canReadLine() && process->waitForReadyRead(30000)) {
    }
    const QByteArray line = process->readLine().trimmed();
    const QByteArray prefix = "listening on 127.0.0.1:";
    if (!line.startsWith(prefix))
        throw std::runtime_error("the sandbox server did not come up: " + process->errorString().toStdString());
    return {process, QStringLiteral("127.0.0.1,") + QString::fromLatin1(line.mid(prefix.size()))};
}

qint64 option(int argc, char* argv[], const char* name, qint64 fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == name)
            return QByteArray(argv[i + 1]).toLongLong();
    }
    return fallback;
}

double steadyMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuMs(qint64 processId)
{
#if defined(Q_OS_LINUX)
    if (processId == 0) {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    }
    // Fields 14 and 15 of /proc/PID/stat, user and system time in clock ticks, follow the command in parentheses.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    return double(ticks) * 1000.0 / double(sysconf(_SC_CLK_TCK));
#else
    return processId == 0 ? double(std::clock()) * 1000.0 / CLOCKS_PER_SEC : 0.0;
#endif
}

bool resetPeak()
{
    // "5" brings the peak resident size down to the current one (Linux 4.0 and later).
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

qint64 residentBytes()
{
    return statusField("VmRSS");
}

qint64 peakBytes()
{
    return statusField("VmHWM");
}

qint64 logSize(const QString& logFile)
{
    return QFile(logFile).size();
}

QList<Batch> loggedSince(const QString& logFile, qint64 offset)
{
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        throw std::runtime_error("cannot read the statement log " + logFile.toStdString());
    QList<Batch> batches;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!record.isEmpty())
            batches.append({record.value(QLatin1String("database")).toString(),
                            record.value(QLatin1String("sql")).toString()});
    }
    return batches;
}

void bulkTable(sandbox::Fixture& fixture, const QString& database, const QString& table, qint64 rows)
{
    // A thousand numbers crossed with themselves: one statement per table, whatever its size.
    const QString numbers = QStringLiteral("bench_numbers");
    if (!fixture.tableExists(database, numbers)) {
        QStringList values;
        for (int n = 0; n < 1000; ++n)
            values.append(QStringLiteral("(%1)").arg(n));
        fixture.exec(database, QStringLiteral("create table %1 (n int not null)\ninsert into %1 values ").arg(numbers)
                                   + values.join(QLatin1Char(',')));
    }
    fixture.exec(database, QStringLiteral("create table %1 (iId int not null, cUser varchar(20) null, "
                                          "cStation varchar(64) null, dLockTime datetime null, "
                                          "cNote varchar(60) null)\n"
                                          "insert into %1 select a.n * 1000 + b.n, 'demo', '财务室-张会计', "
                                          "'2016-03-08 10:05:00', '%1 的锁定记录' from %2 a cross join %2 b "
                                          "where a.n < %3 and a.n * 1000 + b.n < %4")
                               .arg(table, numbers)
                               .arg((rows + 999) / 1000)
                               .arg(rows));
    if (rows > 1000000 || fixture.count(database, table) != rows)
        throw std::runtime_error("seeding " + table.toStdString() + " gave the wrong number of rows");
}

void fillDemo(sandbox::Fixture& fixture)
{
    QString error;
    if (!sandbox::DemoSeed::fill(fixture.directory(), &error))
        throw std::runtime_error(error.toStdString());
}

void logIn(const QString& server, const QString& password)
{
    Form1& login = Form1::instance();
    login.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(server);
    login.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(password);
    login.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    if (login.isVisible() || !Form2::isLoaded() || !Form2::instance().isVisible())
        throw std::runtime_error("the login failed");
}

void resetProgram()
{
    Form2::unload();
    Form1::unload();
    PublicADO::CloseAll();
}

int offscreenMain(int argc, char* argv[], const char* name, void (*run)(int, char**))
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSetup::prepare(app);
    int status = 0;
    try {
        run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        status = 1;
    }
    resetProgram();
    return status;
}

}  // namespace bench
