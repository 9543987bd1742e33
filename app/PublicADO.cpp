#include "PublicADO.h"

#include "app/login/Form1.h"

namespace PublicADO {

db::Connection& SysConnection()
{
    static db::Connection connection;
    return connection;
}

QString& SysConnectionString()
{
    static QString text;
    return text;
}

db::Connection& ExportConnection()
{
    static db::Connection connection;
    return connection;
}

db::Recordset& ExportRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

db::Recordset& LoadRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

db::Recordset& YearRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

db::Recordset& TaskRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

db::Recordset& AccountDbRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

QString& AccountConnectionString()
{
    static QString text;
    return text;
}

db::Connection& AccountConnection()
{
    static db::Connection connection;
    return connection;
}

db::Recordset& LockTableRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

db::Recordset& LockRowRecordset()
{
    static db::Recordset recordset;
    return recordset;
}

QString UserId()
{
    return QStringLiteral("sa");
}

QString ConnectionString(const QString& database, const QString& server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=") + database
        + QStringLiteral(";Data Source=") + server;
}

void Main()
{
    // The tab control of the main window is QTabWidget, part of Qt itself: nothing has to be
    // written or registered before the main window can use it, so start-up goes straight on
    // to the login window.
    Form1::instance().show();
}

void CloseAll()
{
    for (db::Recordset* recordset : {&ExportRecordset(), &LoadRecordset(), &YearRecordset(), &TaskRecordset(),
                                     &AccountDbRecordset(), &LockTableRecordset(), &LockRowRecordset()}) {
        if (recordset->state() == db::StateOpen)
            recordset->close();
    }
    for (db::Connection* connection : {&SysConnection(), &ExportConnection(), &AccountConnection()}) {
        if (connection->state() == db::StateOpen)
            connection->close();
    }
    SysConnectionString().clear();
    AccountConnectionString().clear();
}

}  // namespace PublicADO
