#pragma once

#include "DataDirectory.h"

#include <QString>
#include <QStringList>

namespace sandbox {

// A made-up installation of the accounting suite for demonstrations and tests: the system
// database zrsystem with login tasks, accounts, years and the voucher-export log; business
// databases ZRDATA_<account>_<year> with a mix of the lock tables; cashier databases
// DaZovu_<account>_<year>, plus two whose names the cashier pattern must not match.
class DemoSeed {
public:
    struct Options {
        // Adds a task whose state 'abc' SQL Server cannot convert to int, so that the
        // abnormal-task deletion fails with error 245. The plain demo has a blank state
        // instead, which converts to 0 and keeps that command working.
        bool nonNumericState = false;
        // zrsystem has UA_AccountDatabase; without it every year's database is ZRDATA_<acc>_<year>.
        bool accountDatabaseTable = true;
    };

    // Replaces the seeded databases of the folder (others are left alone). A fill that fails or is
    // cut short leaves the folder marked as such (DataDirectory::seedingInterrupted).
    static bool fill(DataDirectory& directory, const Options& options, QString* error);
    static bool fill(DataDirectory& directory, QString* error);
    // The databases fill() creates.
    static QStringList databaseNames(const Options& options);
};

}  // namespace sandbox
