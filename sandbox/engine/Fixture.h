#pragma once

#include "BatchResult.h"
#include "DataDirectory.h"
#include "SqlTypes.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <stdexcept>

namespace sandbox {

// Test data in a sandbox folder, written and read back with T-SQL through the same sessions the
// server uses. Every call opens its own session, so it sees what a client committed.
//
//     Fixture fixture(dir.path());
//     fixture.createDatabase("zrsystem");
//     fixture.exec("zrsystem", "create table ua_task (cTaskId varchar(40)) "
//                              "insert into ua_task values ('1'), ('2')");
//     QCOMPARE(fixture.count("zrsystem", "ua_task"), 2);
class Fixture {
public:
    // Thrown when a statement fails; QtTest reports it as the test's failure.
    class Error : public std::runtime_error {
    public:
        explicit Error(const SqlError& error);
        SqlError error;
    };

    // Creates the folder and its master database when missing.
    explicit Fixture(const QString& dataDir);

    DataDirectory& directory() { return m_directory; }
    QString path() const { return m_directory.path(); }

    // Creates an empty database unless one of that name exists.
    void createDatabase(const QString& name);
    void dropDatabase(const QString& name);

    // Runs a batch; throws on the first error.
    void exec(const QString& database, const QString& tsql);
    // Runs a batch and hands back everything it yielded, errors included.
    BatchResult run(const QString& database, const QString& tsql);

    // Rows of the last result set of the batch; throws on error.
    QList<QVariantList> rows(const QString& database, const QString& query);
    // First column of the first row; null when there is no row.
    QVariant value(const QString& database, const QString& query);
    qint64 count(const QString& database, const QString& table);
    // A user table of that name exists, in any case.
    bool tableExists(const QString& database, const QString& table);

private:
    DataDirectory m_directory;
};

}  // namespace sandbox
