// Start-up on the demo data: from process start to the login window painted, and from the click
// on "确定(&O)" to the main window painted (its load sequence included). Each run is a fresh
// process making the same start-up calls as app/main.cpp; the sandbox runs in a child process.
//
//     build/bench/bench_startup [--repeats N]      (default 5)

#include "BenchKit.h"
#include "Timings.h"

#include "app/AppSetup.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString Password = QStringLiteral("bench");
const char* const ChildOption = "--measure-once";

// In the measured process: notes the first paint of each window, logs in once the login window
// is painted, and prints the three instants (steady clock, ms) once the main window is.
class FirstPaints : public QObject {
public:
    explicit FirstPaints(QString server)
        : m_server(std::move(server))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_loginShown == 0 && qobject_cast<Form1*>(watched)) {
            m_loginShown = bench::steadyMs();
            QTimer::singleShot(0, this, [this] {
                m_clicked = bench::steadyMs();
                try {
                    bench::logIn(m_server, Password);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "bench_startup: %s\n", error.what());
                    QCoreApplication::exit(1);
                }
            });
        } else if (event->type() == QEvent::Paint && m_clicked != 0 && qobject_cast<Form2*>(watched)) {
            std::printf("%.3f %.3f %.3f\n", m_loginShown, m_clicked, bench::steadyMs());
            std::fflush(stdout);
            m_clicked = 0;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

private:
    QString m_server;
    double m_loginShown = 0;
    double m_clicked = 0;
};

void measureAll(int argc, char* argv[])
{
    const int repeats = int(bench::option(argc, argv, "--repeats", 5));
    QTemporaryDir dir;
    const bench::Sandbox server = bench::startSandbox(dir.path(), Password,
                                                       {QStringLiteral("--seed"), QStringLiteral("demo")});
    QList<double> toLogin;
    QList<double> toMain;
    // The first run warms the disk cache and the server.
    for (int i = 0; i <= repeats; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const double started = bench::steadyMs();
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ChildOption), server.name});
        const bool ran = child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit
            && child.exitCode() == 0;
        const QList<QByteArray> stamps = child.readAllStandardOutput().trimmed().split(' ');
        if (!ran || stamps.size() != 3)
            throw std::runtime_error("a measured start-up failed");
        if (i > 0) {
            toLogin.append(stamps.at(0).toDouble() - started);
            toMain.append(stamps.at(2).toDouble() - stamps.at(1).toDouble());
        }
    }
    std::printf("\nstart-up on the demo data, median and best of %d fresh processes after a warm-up\n", repeats);
    std::printf("%-44s %12s %12s\n", "", "median ms", "best ms");
    std::printf("%-44s %12.1f %12.1f\n", "process start to login window shown", Timings::median(toLogin),
                Timings::best(toLogin));
    std::printf("%-44s %12.1f %12.1f\n", "login click to main window shown", Timings::median(toMain),
                Timings::best(toMain));
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 || QByteArray(argv[1]) != ChildOption)
        return bench::offscreenMain(argc, argv, "bench_startup", measureAll);
    // The measured process: the program's own start-up.
    QApplication app(argc, argv);
    FirstPaints watcher(QString::fromLocal8Bit(argv[2]));
    app.installEventFilter(&watcher);
    AppSetup::prepare(app);
    PublicADO::Main();
    const int code = QApplication::exec();
    bench::resetProgram();
    return code;
}
