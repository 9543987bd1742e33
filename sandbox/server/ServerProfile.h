#pragma once

#include "protocol/TdsVersion.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace sandbox {

// A generation of SQL Server as clients meet it: the version it reports, the newest protocol
// revision it speaks, and the TLS versions it offers when the login is encrypted.
class ServerProfile {
public:
    // The default: 2019.
    ServerProfile();
    // "2000", "2005", "2008r2", "2012", "2016", "2019" or "2022".
    static std::optional<ServerProfile> named(const QString& name);
    static QStringList names();

    QString name() const { return m_name; }
    quint8 major() const { return m_major; }
    quint8 minor() const { return m_minor; }
    quint16 build() const { return m_build; }

    // The revision acknowledged to a client asking for `requested`: never newer than the server's.
    TdsVersion acknowledge(quint32 requested) const;

    bool offersTls() const { return m_lowestTls >= 0; }
    // Minor numbers of the TLS 1.x versions offered; meaningful when offersTls().
    int lowestTls() const { return m_lowestTls; }
    int highestTls() const { return m_highestTls; }

    // One line for the console: "profile 2019, TLS 1.0-1.2, encryption: login".
    QString summary(bool forceEncryption) const;

private:
    static const QList<ServerProfile>& all();
    ServerProfile(const char* name, quint8 major, quint8 minor, quint16 build, quint32 highestTds, int lowestTls,
                  int highestTls);

    QString m_name;
    quint8 m_major;
    quint8 m_minor;
    quint16 m_build;
    quint32 m_highestTds;
    int m_lowestTls;
    int m_highestTls;
};

}  // namespace sandbox
