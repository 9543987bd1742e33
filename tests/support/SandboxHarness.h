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

// A sandbox server in this process, on a free port of 127.0.0.1, over a data folder of its own
// that is removed when the harness goes. start() fills the folder with the demo data (DemoSeed,
// with the options given); fixture() reads and changes it directly, as a test needs.
//
//     SandboxHarness sandbox;
//     QVERIFY(sandbox.start());
//     connection.open(adoString(sandbox.serverName()), "sa", sandbox.password());
//     QCOMPARE(sandbox.fixture().count("zrsystem", "ua_task"), 3);
class SandboxHarness {
public:
    // The sa password holds a blank, ';', '=' and Chinese, as real ones do.
    static QString defaultPassword();

    explicit SandboxHarness(const QString& password = defaultPassword(), sandbox::DemoSeed::Options seed = {});
    ~SandboxHarness();
    SandboxHarness(const SandboxHarness&) = delete;
    SandboxHarness& operator=(const SandboxHarness&) = delete;

    // Before start(): the server generation to play and whether it forces encryption
    // (2019 with the login alone encrypted unless told).
    void setProfile(const sandbox::ServerProfile& profile, bool forceEncryption = false);

    // Seeds the data and starts serving; false (with a warning) when either fails.
    bool start();

    // The server as an administrator would type it: "127.0.0.1,PORT".
    QString serverName() const;
    // A server name where nothing listens, for refused connections.
    QString unusedServerName() const;
    QString password() const { return m_password; }
    QString dataDir() const { return m_dir.path(); }

    sandbox::SandboxServer& server() { return *m_server; }
    sandbox::FaultInjector& faults() { return m_server->faults(); }
    // The batches the server received since start() or clearStatements(), collected through a
    // statement hook of the server.
    QList<sandbox::StatementRecord> statements() const;
    void clearStatements();

    sandbox::Fixture& fixture() { return *m_fixture; }
    // Runs a batch on the data directly (not through the server); throws on error.
    void execute(const QString& database, const QString& tsql);
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
