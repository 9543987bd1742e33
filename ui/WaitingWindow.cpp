#include "WaitingWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// The window the user was working in: the one that started the wait.
QWidget* startingWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !window->isMinimized())
            return window;
    }
    return nullptr;
}

}  // namespace

WaitingWindow::WaitingWindow(QWidget* owner, db::ServerCall::Wait& wait)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_wait(wait)
    , m_owner(owner)
    , m_label(new QLabel(wait.label(), this))
    , m_cancel(new QPushButton(QStringLiteral("取消(&C)"), this))
{
    setObjectName(QStringLiteral("WaitingWindow"));
    setWindowTitle(QStringLiteral("请稍候"));
    setWindowModality(Qt::ApplicationModal);
    m_label->setTextFormat(Qt::PlainText);  // table and server names as they are
    m_label->setMinimumWidth(280);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &WaitingWindow::cancel);
}

void WaitingWindow::wait(db::ServerCall::Wait& wait)
{
    if (wait.finished())
        return;
    QPointer<QWidget> owner = startingWindow();
    WaitingWindow window(owner, wait);
    // Installed before anything else runs: no click or key of the first moments may start a handler.
    qApp->installEventFilter(&window);
    QEventLoop loop;
    wait.whenFinished([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    // The seam has already waited QuietWaitMs before asking.
    QTimer::singleShot(ShowAfterMs - db::ServerCall::QuietWaitMs, &window, &WaitingWindow::showOverOwner);
    loop.exec();
    qApp->removeEventFilter(&window);
}

void WaitingWindow::showOverOwner()
{
    adjustSize();
    if (m_owner)
        move(m_owner->frameGeometry().center() - rect().center());
    show();
    activateWindow();
}

void WaitingWindow::cancel()
{
    m_cancel->setEnabled(false);
    m_label->setText(QStringLiteral("正在取消 …"));
    m_wait.cancel();
}

bool WaitingWindow::eventFilter(QObject* watched, QEvent* event)
{
    // This window's own button takes its input; the program's other windows take none.
    bool ours = watched == windowHandle();
    if (auto* widget = qobject_cast<QWidget*>(watched))
        ours = widget == this || isAncestorOf(widget);
    if (ours)
        return false;
    if (isInput(event->type()))
        return true;
    // Closing a window by its title bar would end the program under the running call.
    return event->type() == QEvent::Close && event->spontaneous();
}

void WaitingWindow::closeEvent(QCloseEvent* event)
{
    // Closing it means giving up the wait, as the button does; it goes away when the call ends.
    event->ignore();
    if (m_cancel->isEnabled())
        cancel();
}
