#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace db {

// What a server tells about itself before any login: its version and whether it encrypts.
// Asked only after a failed login, to say which server refused and why.
class ServerProbe {
public:
    // The server's answer to the PRELOGIN message.
    struct Identity {
        int major = 0;
        int minor = 0;
        int build = 0;
        // 0 login only, 1 on, 2 not supported, 3 required.
        int encryption = 2;

        bool offersEncryption() const { return encryption != 2; }
        bool requiresEncryption() const { return encryption == 3; }
        // "SQL Server 2005", "SQL Server 2008 R2"; the version number for one not known here.
        QString generation() const;
        // Generations whose TLS ends at 1.0 unless the server got its TLS 1.2 update.
        bool tls10Only() const { return major > 0 && major <= 10; }
    };

    // Nothing when the host cannot be reached within the time or does not answer as a SQL Server.
    static std::optional<Identity> ask(const QString& host, quint16 port, int timeoutMs);

    // The answer read from a PRELOGIN reply's payload, if it has a version option.
    static std::optional<Identity> parse(const QByteArray& payload);
};

}  // namespace db
