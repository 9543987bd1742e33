#include "MessageBoxDriver.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QTest>

namespace {

constexpr QMessageBox::StandardButton allButtons[] = {
    QMessageBox::Ok,       QMessageBox::Save,   QMessageBox::SaveAll,         QMessageBox::Open,
    QMessageBox::Yes,      QMessageBox::YesToAll, QMessageBox::No,            QMessageBox::NoToAll,
    QMessageBox::Abort,    QMessageBox::Retry,  QMessageBox::Ignore,          QMessageBox::Close,
    QMessageBox::Cancel,   QMessageBox::Discard, QMessageBox::Help,           QMessageBox::Apply,
    QMessageBox::Reset,    QMessageBox::RestoreDefaults,
};

}  // namespace

MessageBoxDriver::MessageBoxDriver(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxDriver::poll);
    m_timer.start();
}

void MessageBoxDriver::answer(QMessageBox::StandardButton button)
{
    m_answers.append(button);
}

bool MessageBoxDriver::waitFor(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_boxes.size() >= count; }, timeoutMs);
}

void MessageBoxDriver::clear()
{
    m_boxes.clear();
    m_answers.clear();
}

void MessageBoxDriver::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == m_current || !box->isVisible())
        return;
    m_current = box;

    Box seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.textFormat = box->textFormat();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    for (QMessageBox::StandardButton button : allButtons) {
        if (seen.buttons.testFlag(button))
            seen.buttonTexts.append(box->button(button)->text().remove(QLatin1Char('&')));
    }
    seen.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen.modal = box->isModal();
    if (QWidget* owner = box->parentWidget())
        seen.parentWindow = owner->window()->objectName();

    QAbstractButton* press = nullptr;
    if (!m_answers.isEmpty())
        press = box->button(m_answers.takeFirst());
    if (!press)
        press = box->escapeButton() ? box->escapeButton() : box->button(QMessageBox::Ok);
    seen.pressed = press ? box->standardButton(press) : QMessageBox::NoButton;
    m_boxes.append(seen);
    if (press)
        press->click();
    else
        box->reject();
}
