#include "DriverCatalog.h"

#include "DbError.h"
#include "OdbcText.h"

#include <QRegularExpression>

namespace db {

namespace {

// The highest version among names matching the pattern, whose first capture is the version.
std::optional<QString> newest(const QStringList& installed, const QRegularExpression& pattern)
{
    std::optional<QString> best;
    double bestVersion = -1;
    for (const QString& name : installed) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const double version = match.captured(1).toDouble();
        if (version > bestVersion) {
            bestVersion = version;
            best = name;
        }
    }
    return best;
}

std::optional<QString> named(const QStringList& installed, const QString& wanted)
{
    for (const QString& name : installed) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    return std::nullopt;
}

}  // namespace

DriverCatalog::Platform DriverCatalog::currentPlatform()
{
#ifdef _WIN32
    return Platform::Windows;
#else
    return Platform::Unix;
#endif
}

QStringList DriverCatalog::installedDrivers(SQLHENV environment)
{
    QStringList names;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR description[512] = {};
        SQLSMALLINT descriptionLength = 0;
        SQLWCHAR attributes[2048] = {};
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(environment, direction, description, 512, &descriptionLength, attributes,
                                         2048, &attributesLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        names.append(OdbcText::out(description, qMin<qsizetype>(descriptionLength, 511)));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

std::optional<DriverChoice> DriverCatalog::choose(const QStringList& installed, Platform platform)
{
    if (platform == Platform::Unix) {
        if (const auto name = named(installed, QStringLiteral("FreeTDS")))
            return DriverChoice{*name, DriverFamily::FreeTds, true};
        return DriverChoice{freeTdsLibrary(), DriverFamily::FreeTds, false};
    }
    static const QRegularExpression odbcDriver(QStringLiteral("^ODBC Driver (\\d+(?:\\.\\d+)?) for SQL Server$"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression nativeClient(QStringLiteral("^SQL Server Native Client (\\d+(?:\\.\\d+)?)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (const auto name = newest(installed, odbcDriver))
        return DriverChoice{*name, DriverFamily::Microsoft, true};
    if (const auto name = newest(installed, nativeClient))
        return DriverChoice{*name, DriverFamily::Microsoft, true};
    if (const auto name = named(installed, QStringLiteral("SQL Server")))
        return DriverChoice{*name, DriverFamily::LegacySqlServer, true};
    return std::nullopt;
}

DriverChoice DriverCatalog::chooseOrThrow(const QStringList& installed, Platform platform)
{
    if (const auto choice = choose(installed, platform))
        return *choice;
    throw DbError(QStringLiteral("未找到 SQL Server 的 ODBC 驱动程序。") + installAdvice(platform));
}

QString DriverCatalog::installAdvice(Platform platform)
{
    if (platform == Platform::Windows)
        return QStringLiteral("请安装 Microsoft ODBC Driver 18 for SQL Server 后重试。");
    return QStringLiteral("请安装 FreeTDS 的 ODBC 驱动程序（Debian/Ubuntu：tdsodbc 软件包）后重试。");
}

}  // namespace db
