#pragma once

#include "AdoTypes.h"

#include <QString>
#include <memory>

namespace db {

class OdbcHandles;

// A connection to one database, opened from an ADO-style connection string
// ("Provider=SQLOLEDB.1;...;Initial Catalog=X;Data Source=Y") with user and password apart.
// Every failure throws DbError.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void open(const QString& connectionString, const QString& user, const QString& password);
    int state() const;
    void close();
    // Runs a statement as a plain batch; rows and counts are read and discarded.
    void execute(const QString& sql);

    // For the recordsets opened on this connection.
    OdbcHandles& handles();

private:
    std::unique_ptr<OdbcHandles> m_handles;
};

}  // namespace db
