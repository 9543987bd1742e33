#pragma once

#include "db/Connection.h"
#include "db/Recordset.h"

#include <QString>

class QLineEdit;

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

// The login window's server and password boxes, the only store of the two texts. The window
// hands them over when it loads; they are forgotten when it goes.
void SetLoginFields(QLineEdit* server, QLineEdit* password);
// The one way a connection is made: connectionString becomes the string for database on the
// server now in the login window's server box, and the connection opens with it as UserId(),
// with the password now in the password box. Throws db::DbError, also when the login window is gone.
void OpenConnection(db::Connection& connection, QString& connectionString, const QString& database);

// Start-up: makes sure the main window's tab control is there, then shows the login window
// modeless and returns. The one part of this module that knows a window.
void Main();

// Closes every shared recordset and connection that is open, recordsets first, and empties
// the connection strings. For tests that need a fresh state between cases.
void CloseAll();

}  // namespace PublicADO
