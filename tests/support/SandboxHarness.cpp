#include "SandboxHarness.h"

#include <QTcpServer>
#include <stdexcept>

SandboxHarness::SandboxHarness(const QString& password, sandbox::DemoSeed::Options seed)
    : m_password(password)
    , m_seed(seed)
{
}

SandboxHarness::~SandboxHarness()
{
    if (m_server)
        m_server->stop();
}

void SandboxHarness::setProfile(const sandbox::ServerProfile& profile, bool forceEncryption)
{
    m_profile = profile;
    m_forceEncryption = forceEncryption;
}

bool SandboxHarness::start()
{
    if (!m_dir.isValid()) {
        qWarning("sandbox: no temporary folder: %s", qPrintable(m_dir.errorString()));
        return false;
    }
    try {
        m_fixture = std::make_unique<sandbox::Fixture>(m_dir.path());
        seed();
    } catch (const std::exception& error) {
        qWarning("sandbox: seeding failed: %s", error.what());
        return false;
    }
    sandbox::SandboxServer::Options options;
    options.dataDir = m_dir.path();
    options.password = m_password;
    options.profile = m_profile;
    options.forceEncryption = m_forceEncryption;
    m_server = std::make_unique<sandbox::SandboxServer>(options);
    m_server->addStatementHook([this](const sandbox::StatementRecord& record) {
        QMutexLocker lock(&m_statementsMutex);
        m_statements.append(record);
    });
    QString reason;
    if (!m_server->start(&reason)) {
        qWarning("sandbox: cannot listen: %s", qPrintable(reason));
        return false;
    }
    return true;
}

QString SandboxHarness::unusedServerName() const
{
    // A port that was free a moment ago and is closed again: connecting there is refused.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("127.0.0.1,%1").arg(port);
}

QList<sandbox::StatementRecord> SandboxHarness::statements() const
{
    QMutexLocker lock(&m_statementsMutex);
    return m_statements;
}

void SandboxHarness::clearStatements()
{
    QMutexLocker lock(&m_statementsMutex);
    m_statements.clear();
}

void SandboxHarness::restoreFixture()
{
    const QStringList seeded = sandbox::DemoSeed::databaseNames(m_seed);
    for (const QString& name : m_fixture->directory().databases()) {
        if (name.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0 && !seeded.contains(name, Qt::CaseInsensitive))
            m_fixture->dropDatabase(name);
    }
    seed();
}

void SandboxHarness::seed()
{
    QString error;
    if (!sandbox::DemoSeed::fill(m_fixture->directory(), m_seed, &error))
        throw std::runtime_error(error.toStdString());
}
