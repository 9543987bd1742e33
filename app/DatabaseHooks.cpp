#include "DatabaseHooks.h"

#include "PublicADO.h"
#include "db/BusyScope.h"
#include "db/Connection.h"
#include "db/ServerCall.h"
#include "ui/WaitingWindow.h"

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

    // Every call on the server runs off this thread; the windows go on painting meanwhile.
    db::ServerCall::setWaitHook(&WaitingWindow::wait);

    db::Connection::setReopenHandler([](db::Connection& connection) {
        QString connectionString;
        PublicADO::OpenConnection(connection, connectionString, connection.database());
    });
}
