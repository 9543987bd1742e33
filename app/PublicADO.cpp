#include "PublicADO.h"

#include "db/DbError.h"

#include <QLineEdit>
#include <QPointer>

namespace PublicADO {

namespace {

struct LoginFields {
    QPointer<QLineEdit> server;
    QPointer<QLineEdit> password;
};

LoginFields& loginFields()
{
    static LoginFields fields;
    return fields;
}

}  // namespace

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

void SetLoginFields(QLineEdit* server, QLineEdit* password)
{
    loginFields() = {server, password};
}

void OpenConnection(db::Connection& connection, QString& connectionString, const QString& database)
{
    const LoginFields& fields = loginFields();
    if (!fields.server || !fields.password)
        throw db::DbError(QStringLiteral("登陆窗口已关闭，无法连接数据库服务器。"));
    connectionString = ConnectionString(database, fields.server->text());
    // Not closed first: open() starts afresh on an open connection.
    connection.open(connectionString, UserId(), fields.password->text());
}

void CloseAll()
{
    for (db::Recordset* recordset : {&ExportRecordset(), &LoadRecordset(), &YearRecordset(), &TaskRecordset(),
                                     &AccountDbRecordset(), &LockTableRecordset(), &LockRowRecordset()})
        recordset->close();
    for (db::Connection* connection : {&SysConnection(), &ExportConnection(), &AccountConnection()})
        connection->close();
    SysConnectionString().clear();
    AccountConnectionString().clear();
}

}  // namespace PublicADO
