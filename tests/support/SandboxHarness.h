#pragma once

#include "engine/DemoSeed.h"
#include "engine/Fixture.h"
#include "server/FaultInjector.h"
#include "server/SandboxServer.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A sandbox server in this process on a free port of 127.0.0.1, over a temporary data folder that
// start() seeds with the demo data; fixture() reads and changes the data directly.
class SandboxHarness {
public:
    // The sa password holds a blank, ';', '=' and Chinese, as real ones do.
    static QString defaultPassword() { return QStringLiteral("Zr;sa=密码 9"); }

    explicit SandboxHarness(const QString& password = defaultPassword(), sandbox::DemoSeed::Options seed = {});
    ~SandboxHarness();
    SandboxHarness(const SandboxHarness&) = delete;
    SandboxHarness& operator=(const SandboxHarness&) = delete;

    // Before start(): the server generation to play and whether it forces encryption.
    void setProfile(const sandbox::ServerProfile& profile, bool forceEncryption = false);

    // False (with a warning) when seeding or listening fails.
    bool start();

    // The server as an administrator would type it: "127.0.0.1,PORT".
    QString serverName() const { return QStringLiteral("127.0.0.1,%1").arg(m_server->port()); }
    // A server name where nothing listens, for refused connections.
    QString unusedServerName() const;
    QString password() const { return m_password; }
    QString dataDir() const { return m_dir.path(); }

    sandbox::SandboxServer& server() { return *m_server; }
    sandbox::FaultInjector& faults() { return m_server->faults(); }
    // The batches the server received since start() or clearStatements().
    QList<sandbox::StatementRecord> statements() const;
    void clearStatements();

    sandbox::Fixture& fixture() { return *m_fixture; }
    // Runs a batch on the data, not through the server; throws on error.
    void execute(const QString& database, const QString& tsql) { m_fixture->exec(database, tsql); }
    // Puts back the demo data after a test changed it (databases a test added are removed).
    void restoreFixture();

private:
    void seed();

    QTemporaryDir m_dir;
    QString m_password;
    sandbox::DemoSeed::Options m_seed;
    sandbox::ServerProfile m_profile;
    bool m_forceEncryption = false;
    std::unique_ptr<sandbox::Fixture> m_fixture;
    std::unique_ptr<sandbox::SandboxServer> m_server;
    mutable QMutex m_statementsMutex;
    QList<sandbox::StatementRecord> m_statements;
};
