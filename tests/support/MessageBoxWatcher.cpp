#include "MessageBoxWatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

MessageBoxWatcher::MessageBoxWatcher(std::function<void(QMessageBox*)> onShown, QObject* parent)
    : QObject(parent)
    , m_onShown(std::move(onShown))
{
    QCoreApplication::instance()->installEventFilter(this);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool MessageBoxWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        if (auto* box = qobject_cast<QMessageBox*>(watched))
            m_onShown(box);
    }
    return false;
}
