#include "DatabaseHooks.h"

#include "PublicADO.h"
#include "app/login/Form1.h"
#include "db/BusyScope.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QApplication>
#include <QCursor>

void DatabaseHooks::install()
{
    db::BusyScope::setHook([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QApplication::restoreOverrideCursor();
    });

    db::Connection::setReopenHandler([](db::Connection& connection) {
        if (!Form1::isLoaded())
            throw db::DbError(QStringLiteral("登陆窗口已关闭，无法重新连接。"));
        const Form1& login = Form1::instance();
        connection.open(PublicADO::ConnectionString(connection.database(), login.serverName()), connection.user(),
                        login.password());
    });
}
