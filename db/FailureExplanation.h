#pragma once

#include "DbError.h"
#include "ServerProbe.h"

#include <QList>
#include <QString>
#include <optional>

namespace db {

// Turns a driver's diagnostics into the sentence a person reads first: what went wrong and what to
// check. The driver's own text follows it unchanged; situations not recognised get no sentence
// beyond a generic one for logins.
class FailureExplanation {
public:
    enum class Kind {
        Other,
        WrongPassword,
        UnknownDatabase,
        HostNotFound,
        Refused,
        LoginTimeout,
        // The driver and the server found no common ground before the login: TLS or encryption.
        CannotSpeak,
        // The driver refuses this server's generation outright.
        ServerTooOld,
        DriverNotLoaded,
    };

    struct Login {
        QString server;  // as typed
        QString database;
        int timeoutSeconds = 0;
        // The server's prelogin answer, when it was asked.
        std::optional<ServerProbe::Identity> identity;
    };

    static Kind classify(const QList<DiagnosticRecord>& records);
    // Another driver, older or newer, may succeed where this one failed; any other failure
    // would end the same with every driver, and a wrong password would only be sent again.
    static bool anotherDriverMayHelp(Kind kind)
    {
        return kind == Kind::CannotSpeak || kind == Kind::ServerTooOld || kind == Kind::DriverNotLoaded;
    }
    // Whether the sentence depends on what the server says about itself.
    static bool needsIdentity(Kind kind) { return kind == Kind::CannotSpeak || kind == Kind::ServerTooOld; }

    static QString forLogin(Kind kind, const QList<DiagnosticRecord>& records, const Login& login);
    // The first sentence of every error for a call that lost its link.
    static QString linkLost();
};

}  // namespace db
