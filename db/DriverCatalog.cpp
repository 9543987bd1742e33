#include "DriverCatalog.h"

#include "DbError.h"
#include "OdbcText.h"

#include <QPair>
#include <QRegularExpression>
#include <algorithm>

namespace db {

namespace {

const QRegularExpression& odbcDriverPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^ODBC Driver (\\d+(?:\\.\\d+)?) for SQL Server$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression& nativeClientPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^SQL Server Native Client (\\d+(?:\\.\\d+)?)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// Names matching the pattern, whose first capture is the version, highest version first.
QStringList byVersion(const QStringList& installed, const QRegularExpression& pattern)
{
    QList<QPair<double, QString>> found;
    for (const QString& name : installed) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch())
            found.append({match.captured(1).toDouble(), name});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList names;
    for (const auto& entry : found)
        names.append(entry.second);
    return names;
}

std::optional<QString> newest(const QStringList& installed, const QRegularExpression& pattern)
{
    const QStringList names = byVersion(installed, pattern);
    return names.isEmpty() ? std::nullopt : std::optional<QString>(names.first());
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
    if (const auto name = newest(installed, odbcDriverPattern()))
        return DriverChoice{*name, DriverFamily::Microsoft, true};
    if (const auto name = newest(installed, nativeClientPattern()))
        return DriverChoice{*name, DriverFamily::Microsoft, true};
    if (const auto name = named(installed, QStringLiteral("SQL Server")))
        return DriverChoice{*name, DriverFamily::LegacySqlServer, true};
    return std::nullopt;
}

QList<DriverChoice> DriverCatalog::attempts(const QStringList& installed, Platform platform)
{
    if (platform == Platform::Unix)
        return {*choose(installed, platform)};
    QList<DriverChoice> drivers;
    for (const QRegularExpression* pattern : {&odbcDriverPattern(), &nativeClientPattern()}) {
        for (const QString& name : byVersion(installed, *pattern))
            drivers.append(DriverChoice{name, DriverFamily::Microsoft, true});
    }
    if (const auto name = named(installed, QStringLiteral("SQL Server")))
        drivers.append(DriverChoice{*name, DriverFamily::LegacySqlServer, true});
    return drivers;
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
