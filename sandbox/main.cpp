// suowutong-sandbox: a local stand-in for the suite's SQL Server, reached over TCP like the real one.

#include "engine/DataDirectory.h"
#include "engine/DemoSeed.h"
#include "server/FaultInjector.h"
#include "server/SandboxServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void requestStop(int)
{
    g_stopRequested = true;
}

constexpr int UsageError = 2;

int usage(const QString& problem)
{
    std::fprintf(stderr, "suowutong-sandbox: %s\n", qPrintable(problem));
    std::fprintf(stderr,
                 "usage: suowutong-sandbox --data DIR [--port N] [--password PW] [--seed demo] [--log FILE]\n"
                 "                         [--profile NAME] [--force-encryption] [--certificate FILE --key FILE]\n"
                 "                         [--delay MS]\n");
    return UsageError;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("suowutong-sandbox"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves a folder of SQLite databases over TDS on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("Folder of databases, created if missing."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("TCP port; 0 picks a free one."),
                                        QStringLiteral("N"), QStringLiteral("1433"));
    const QCommandLineOption passwordOption(QStringLiteral("password"), QStringLiteral("Password of the sa login."),
                                            QStringLiteral("PW"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Fill an empty folder with sample data."),
                                        QStringLiteral("demo"));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Append every batch received to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption profileOption(
        QStringLiteral("profile"),
        QStringLiteral("Server generation to play: %1.").arg(sandbox::ServerProfile::names().join(QStringLiteral(", "))),
        QStringLiteral("NAME"), QStringLiteral("2019"));
    const QCommandLineOption forceOption(QStringLiteral("force-encryption"),
                                         QStringLiteral("Encrypt whole sessions; refuse clients that cannot."));
    const QCommandLineOption certificateOption(QStringLiteral("certificate"),
                                               QStringLiteral("PEM certificate (self-signed one made if absent)."),
                                               QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("PEM private key of the certificate."),
                                       QStringLiteral("FILE"));
    // A slow server, to try what the program does while it waits (and that it can be cancelled).
    const QCommandLineOption delayOption(QStringLiteral("delay"), QStringLiteral("Hold every answer back MS milliseconds."),
                                         QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOptions({dataOption, portOption, passwordOption, seedOption, logOption, profileOption, forceOption,
                       certificateOption, keyOption, delayOption});

    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    if (!parser.isSet(dataOption) || parser.value(dataOption).isEmpty())
        return usage(QStringLiteral("--data DIR is required"));
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return usage(QStringLiteral("--port needs a number from 0 to 65535, not '%1'").arg(parser.value(portOption)));
    if (parser.isSet(seedOption) && parser.value(seedOption) != QLatin1String("demo"))
        return usage(QStringLiteral("--seed knows only 'demo', not '%1'").arg(parser.value(seedOption)));

    bool delayOk = false;
    const uint delay = parser.value(delayOption).toUInt(&delayOk);
    if (!delayOk || delay > 600000)
        return usage(QStringLiteral("--delay needs milliseconds from 0 to 600000, not '%1'").arg(parser.value(delayOption)));

    const auto profile = sandbox::ServerProfile::named(parser.value(profileOption));
    if (!profile)
        return usage(QStringLiteral("--profile knows %1, not '%2'")
                         .arg(sandbox::ServerProfile::names().join(QStringLiteral(", ")), parser.value(profileOption)));

    sandbox::SandboxServer::Options options;
    options.dataDir = QDir(parser.value(dataOption)).absolutePath();
    options.port = static_cast<quint16>(port);
    options.password = parser.value(passwordOption);
    options.logFile = parser.value(logOption);
    options.profile = *profile;
    options.forceEncryption = parser.isSet(forceOption);
    options.certificateFile = parser.value(certificateOption);
    options.keyFile = parser.value(keyOption);

    if (parser.isSet(seedOption)) {
        // Only a fresh folder is seeded, so that a restart keeps what was changed since; a seed
        // that was cut short is done again from the start.
        sandbox::DataDirectory directory(options.dataDir);
        QString error;
        if (!directory.ensure(&error)) {
            std::fprintf(stderr, "suowutong-sandbox: %s\n", qPrintable(error));
            return 1;
        }
        const QStringList existing = directory.databases();
        const bool fresh = directory.seedingInterrupted()
            || std::all_of(existing.cbegin(), existing.cend(), [](const QString& name) {
                   return name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0;
               });
        if (fresh && !sandbox::DemoSeed::fill(directory, &error)) {
            std::fprintf(stderr, "suowutong-sandbox: cannot seed %s: %s\n", qPrintable(options.dataDir), qPrintable(error));
            return 1;
        }
    }

    // Installed before the line is printed: whoever reads it may signal at once.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    sandbox::SandboxServer server(options);
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "suowutong-sandbox: %s\n", qPrintable(error));
        return 1;
    }
    server.faults().setDelay(std::chrono::milliseconds(delay));
    std::printf("listening on 127.0.0.1:%u\n%s\n", unsigned(server.port()),
                qPrintable(options.profile.summary(options.forceEncryption)));
    std::fflush(stdout);

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    watch.start(100);
    app.exec();
    server.stop();
    return 0;
}
