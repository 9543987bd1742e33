#include "ConnectAttempts.h"

#include "AdoConnectionString.h"
#include "DbError.h"
#include "FailureExplanation.h"
#include "OdbcConnectionString.h"
#include "ServerAddress.h"

#include <QMutex>
#include <algorithm>

namespace db {

namespace {

// Logins may run off the user-interface thread.
QMutex& keptMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& kept()
{
    static QString name;
    return name;
}

// Long enough for a server across a slow link, short enough not to double a failed login's wait.
constexpr int ProbeLimitMs = 5000;

std::optional<ServerProbe::Identity> identify(DriverConnector& connector, const QString& server, int timeoutSeconds)
{
    const ServerAddress address(server);
    // A named instance's port is known only to its browser service.
    if (!address.hasPort() && !address.instance().isEmpty())
        return std::nullopt;
    const quint16 port = address.hasPort() ? quint16(address.port()) : quint16(1433);
    const QString host = address.isLocal() ? QStringLiteral("127.0.0.1") : address.host();
    return connector.identify(host, port, qBound(1000, timeoutSeconds * 1000, ProbeLimitMs));
}

}  // namespace

void ConnectAttempts::open(DriverConnector& connector, const QString& adoConnectionString, const QString& user,
                           const QString& password, int loginTimeoutSeconds)
{
    const AdoConnectionString ado(adoConnectionString);
    QList<DriverChoice> drivers = DriverCatalog::attempts(connector.installedDrivers(), connector.platform());
    if (drivers.isEmpty())
        DriverCatalog::chooseOrThrow({}, connector.platform());
    {
        const QMutexLocker lock(&keptMutex());
        const auto keptOne = std::find_if(drivers.begin(), drivers.end(),
                                          [](const DriverChoice& driver) { return driver.name == kept(); });
        if (keptOne != drivers.end())
            std::rotate(drivers.begin(), keptOne, keptOne + 1);
    }

    std::optional<DbError> failure;
    FailureExplanation::Kind kind = FailureExplanation::Kind::Other;
    for (const DriverChoice& driver : drivers) {
        const QString odbc = OdbcConnectionString::build(driver, ado, user, password);
        try {
            connector.connect(driver, odbc, loginTimeoutSeconds);
            const QMutexLocker lock(&keptMutex());
            kept() = driver.name;
            return;
        } catch (const DbError& error) {
            failure = error;
            kind = FailureExplanation::classify(error.records());
            if (!FailureExplanation::anotherDriverMayHelp(kind))
                break;
        }
    }

    // The layer's own refusals are Chinese already and reached no server.
    if (failure->records().isEmpty())
        throw *failure;
    FailureExplanation::Login login{ado.dataSource(), ado.initialCatalog(), loginTimeoutSeconds, std::nullopt};
    if (FailureExplanation::needsIdentity(kind))
        login.identity = identify(connector, login.server, loginTimeoutSeconds);
    throw failure->explained(FailureExplanation::forLogin(kind, failure->records(), login));
}

QString ConnectAttempts::keptDriver()
{
    const QMutexLocker lock(&keptMutex());
    return kept();
}

void ConnectAttempts::forgetKeptDriver()
{
    const QMutexLocker lock(&keptMutex());
    kept().clear();
}

}  // namespace db
