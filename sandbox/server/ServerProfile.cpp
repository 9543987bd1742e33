#include "ServerProfile.h"

#include <algorithm>

namespace sandbox {

namespace {

constexpr int NoTls = -1;

}  // namespace

ServerProfile::ServerProfile(const char* name, quint8 major, quint8 minor, quint16 build, quint32 highestTds,
                             int lowestTls, int highestTls)
    : m_name(QString::fromLatin1(name)), m_major(major), m_minor(minor), m_build(build), m_highestTds(highestTds),
      m_lowestTls(lowestTls), m_highestTls(highestTls)
{
}

ServerProfile::ServerProfile() : ServerProfile(*named(QStringLiteral("2019"))) {}

const QList<ServerProfile>& ServerProfile::all()
{
    // Release builds without service packs: servers whose TLS was never brought up to date.
    static const QList<ServerProfile> profiles = {
        ServerProfile("2000", 8, 0, 194, TdsVersion::V7_1, NoTls, NoTls),
        ServerProfile("2005", 9, 0, 1399, TdsVersion::V7_2, 0, 0),
        ServerProfile("2008r2", 10, 50, 1600, TdsVersion::V7_3, 0, 0),
        ServerProfile("2012", 11, 0, 2100, TdsVersion::V7_4, 0, 2),
        ServerProfile("2016", 13, 0, 1601, TdsVersion::V7_4, 0, 2),
        ServerProfile("2019", 15, 0, 2000, TdsVersion::V7_4, 0, 2),
        ServerProfile("2022", 16, 0, 1000, TdsVersion::V7_4, 2, 2),
    };
    return profiles;
}

std::optional<ServerProfile> ServerProfile::named(const QString& name)
{
    for (const ServerProfile& profile : all()) {
        if (profile.m_name.compare(name, Qt::CaseInsensitive) == 0)
            return profile;
    }
    return std::nullopt;
}

QStringList ServerProfile::names()
{
    QStringList out;
    for (const ServerProfile& profile : all())
        out.append(profile.m_name);
    return out;
}

TdsVersion ServerProfile::acknowledge(quint32 requested) const
{
    // Revisions compare by their high byte, which the full values order the same way.
    return TdsVersion::negotiate(std::min(requested, m_highestTds));
}

QString ServerProfile::summary(bool forceEncryption) const
{
    QString tls;
    if (!offersTls())
        tls = QStringLiteral("no TLS");
    else if (m_lowestTls == m_highestTls)
        tls = QStringLiteral("TLS 1.%1").arg(m_lowestTls);
    else
        tls = QStringLiteral("TLS 1.%1-1.%2").arg(m_lowestTls).arg(m_highestTls);
    const QString encryption = !offersTls() ? QStringLiteral("none")
                               : forceEncryption ? QStringLiteral("forced")
                                                 : QStringLiteral("login");
    return QStringLiteral("profile %1, %2, encryption: %3").arg(m_name, tls, encryption);
}

}  // namespace sandbox
