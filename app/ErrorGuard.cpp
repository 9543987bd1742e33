#include "ErrorGuard.h"

#include "MessageBoxes.h"
#include "db/DbError.h"

#include <QString>
#include <exception>

bool ErrorGuard::run(QWidget* parent, const std::function<void()>& handler)
{
    QString description;
    try {
        handler();
        return true;
    } catch (const db::DbError& error) {
        description = error.description();
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    } catch (...) {
        description = QStringLiteral("未知错误");
    }
    // Shown outside the catch block: the box runs its own event loop, and no exception
    // object should stay alive across it.
    MessageBoxes::error(parent, description);
    return false;
}
