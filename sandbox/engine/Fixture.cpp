#include "Fixture.h"

#include "Session.h"
#include "TsqlTranslator.h"

#include <QDebug>

namespace sandbox {

Fixture::Error::Error(const SqlError& sqlError)
    : std::runtime_error(QStringLiteral("Msg %1, Level %2: %3")
                             .arg(sqlError.number)
                             .arg(sqlError.severity)
                             .arg(sqlError.message)
                             .toStdString())
    , error(sqlError)
{
    // QtTest names no exception text, so say it where the test log shows it.
    qWarning("%s", what());
}

Fixture::Fixture(const QString& dataDir)
    : m_directory(dataDir)
{
    QString message;
    if (!m_directory.ensure(&message))
        throw Error(makeSqlError(50000, 16, message));
}

void Fixture::createDatabase(const QString& name)
{
    QString message;
    if (!m_directory.createDatabase(name, &message))
        throw Error(makeSqlError(50000, 16, message));
}

void Fixture::dropDatabase(const QString& name)
{
    QString message;
    if (!m_directory.removeDatabase(name, &message))
        throw Error(makeSqlError(50000, 16, message));
}

BatchResult Fixture::run(const QString& database, const QString& tsql)
{
    if (!m_directory.hasDatabase(database)) {
        SqlError error;
        error.number = 4060;
        error.severity = 11;
        error.message = QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(database);
        throw Error(error);
    }
    Session session(m_directory, database);
    const std::unique_ptr<SessionBatch> execution = session.run(tsql);
    return BatchResult::drain(*execution);
}

void Fixture::exec(const QString& database, const QString& tsql)
{
    const BatchResult result = run(database, tsql);
    if (result.error())
        throw Error(*result.error());
}

QList<QVariantList> Fixture::rows(const QString& database, const QString& query)
{
    const BatchResult result = run(database, query);
    if (result.error())
        throw Error(*result.error());
    return result.lastRows();
}

QVariant Fixture::value(const QString& database, const QString& query)
{
    const QList<QVariantList> found = rows(database, query);
    return found.isEmpty() || found.first().isEmpty() ? QVariant() : found.first().first();
}

qint64 Fixture::count(const QString& database, const QString& table)
{
    return value(database, QStringLiteral("select count(*) from ") + table).toLongLong();
}

bool Fixture::tableExists(const QString& database, const QString& table)
{
    QString name = table;
    name.replace(QLatin1Char('\''), QLatin1String("''"));
    return value(database, QStringLiteral("select count(*) from sysobjects where name='%1' and xtype='U'").arg(name))
               .toLongLong()
        > 0;
}

}  // namespace sandbox
