#pragma once

#include "DriverConnector.h"

#include <QString>

namespace db {

// One login, tried through each driver that might reach the server, newest first. A driver that
// cannot speak to the server (TLS, encryption, a generation it dropped) passes the login on to the
// next older one; any other failure ends the login at once, so a wrong password is sent once.
// The driver that got in is kept and tried first for every later login of the run.
class ConnectAttempts {
public:
    // Throws DbError: the last attempt's driver text, led by a sentence on what went wrong.
    static void open(DriverConnector& connector, const QString& adoConnectionString, const QString& user,
                     const QString& password, int loginTimeoutSeconds);

    static QString keptDriver();
    static void forgetKeptDriver();
};

}  // namespace db
