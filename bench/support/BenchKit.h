#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

namespace sandbox { class Fixture; }

// What the benches share besides their classes: clocks, this process's memory, the sandbox's
// statement log, bulk tables, and the program's windows driven offscreen as a user would.
// Failures throw std::runtime_error.
namespace bench {

// The sandbox server as a child process over a data folder prepared beforehand, so that its work and
// memory are never the bench's own; it is stopped when the last copy goes. Extra arguments such as
// "--seed demo" or "--log FILE" are passed on.
struct Sandbox {
    std::shared_ptr<QProcess> process;
    QString name;  // "127.0.0.1,PORT" as an administrator types it
};
Sandbox startSandbox(const QString& dataDir, const QString& password, const QStringList& extra = {});

// "--name N" from the command line, or the default.
qint64 option(int argc, char* argv[], const char* name, qint64 fallback);

// A steady clock, the same in every process of the machine.
double steadyMs();
// CPU time of this process (processId 0, all threads) or of a child; 0 where the system does not tell.
double cpuMs(qint64 processId = 0);

// Resident memory now and at its highest since resetPeak(), in bytes; Linux only (-1 elsewhere). Where the
// peak cannot be reset (false), it is the peak since the process began: an upper bound.
bool resetPeak();
qint64 residentBytes();
qint64 peakBytes();
inline double mebibytes(qint64 bytes) { return double(bytes) / (1024.0 * 1024.0); }

// The batches the sandbox logged (--log FILE) from a byte offset on; the log's size is the next offset.
struct Batch {
    QString database;
    QString sql;
};
qint64 logSize(const QString& logFile);
QList<Batch> loggedSince(const QString& logFile, qint64 offset);

// A table shaped like a lock record (number, user, Chinese computer name, time, note) holding up to
// a million rows, filled in one statement.
void bulkTable(sandbox::Fixture& fixture, const QString& database, const QString& table, qint64 rows);

// The demo installation, as the sandbox's "--seed demo" makes it.
void fillDemo(sandbox::Fixture& fixture);

// Types into the login window and presses its button; the main window must be shown afterwards.
void logIn(const QString& server, const QString& password);
// Windows unloaded, shared connections closed.
void resetProgram();

// The main of a bench that drives the program's windows offscreen: failures are printed, exit status 1.
int offscreenMain(int argc, char* argv[], const char* name, void (*run)(int, char**));

}  // namespace bench
