#include "ErrorGuard.h"

#include "db/CancelledError.h"
#include "db/DbError.h"

#include <QString>
#include <exception>

bool ErrorGuard::run(QWidget* parent, const std::function<void()>& handler, Report report)
{
    QString description;
    bool cancelled = false;
    try {
        handler();
        return true;
    } catch (const db::CancelledError&) {
        cancelled = true;
    } catch (const db::DbError& error) {
        description = error.description();
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    } catch (...) {
        description = QStringLiteral("未知错误");
    }
    // Shown outside the catch block: the box runs its own event loop, and no exception
    // object should stay alive across it.
    // The user asked for it: a notice, not an error, whatever box the handler's failures get.
    if (cancelled)
        MessageBoxes::information(parent, QStringLiteral("操作已取消"));
    else
        report(parent, description);
    return false;
}
