#pragma once

#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>

// The shared connection state and the start-up procedure. Every connection and recordset is
// created, unopened, on its first use and lives until the program ends; callers close and
// reopen them, never destroy them.
namespace PublicADO {

db::Connection& SysConnection();
QString& SysConnectionString();
db::Connection& ExportConnection();
db::Recordset& ExportRecordset();
db::Recordset& LoadRecordset();
db::Recordset& YearRecordset();
db::Recordset& TaskRecordset();
db::Recordset& AccountDbRecordset();
QString& AccountConnectionString();
db::Connection& AccountConnection();
db::Recordset& LockTableRecordset();
db::Recordset& LockRowRecordset();

// The user every connection logs in as.
QString UserId();
// "Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=" + database + ";Data Source=" + server.
QString ConnectionString(const QString& database, const QString& server);

// Start-up: makes sure the main window's tab control is there, then shows the login window
// modeless and returns.
void Main();

// Closes every shared recordset and connection that is open, recordsets first, and empties
// the connection strings. For tests that need a fresh state between cases.
void CloseAll();

}  // namespace PublicADO
