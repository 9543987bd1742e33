#include "MessageBoxDriver.h"

#include <QPushButton>
#include <QApplication>

Q_GLOBAL_STATIC(QList<MessageBoxDriver*>, liveDrivers)

MessageBoxDriver::~MessageBoxDriver()
{
    liveDrivers->removeOne(this);
}

MessageBoxDriver::MessageBoxDriver(QObject* parent)
    : QObject(parent)
{
    liveDrivers->append(this);
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxDriver::poll);
    m_timer.start();
}

QStringList MessageBoxDriver::texts() const
{
    QStringList texts;
    for (const Box& box : m_boxes)
        texts.append(box.text);
    return texts;
}

void MessageBoxDriver::clear()
{
    m_boxes.clear();
    m_answers.clear();
    m_onShown = nullptr;
    m_onDialog = nullptr;
    m_dialogs = 0;
}

void MessageBoxDriver::poll()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box && dialog && dialog != m_dialog && dialog->isVisible() && m_onDialog) {
        // On a timer of its own: this one does not fire again until poll() returns, and must
        // keep firing for the boxes the action opens.
        m_dialog = dialog;
        QTimer::singleShot(0, this, [this, dialog = m_dialog] {
            if (dialog && m_onDialog) {
                ++m_dialogs;
                m_onDialog(*dialog);
                dialog->close();
            }
        });
    }
    if (!box || box == m_current || !box->isVisible() || liveDrivers->last() != this)
        return;
    m_current = box;
    if (m_onShown)
        m_onShown(*box);

    Box seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.textFormat = box->textFormat();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    // The standard buttons are single bits, in ascending order from Ok.
    for (uint bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (seen.buttons.testFlag(QMessageBox::StandardButton(bit)))
            seen.buttonTexts.append(box->button(QMessageBox::StandardButton(bit))->text().remove(QLatin1Char('&')));
    }
    seen.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen.modal = box->isModal();
    if (QWidget* owner = box->parentWidget())
        seen.parentWindow = owner->window()->objectName();

    QAbstractButton* press = m_answers.isEmpty() ? nullptr : box->button(m_answers.takeFirst());
    if (!press)
        press = box->escapeButton() ? box->escapeButton() : box->button(QMessageBox::Ok);
    seen.pressed = press ? box->standardButton(press) : QMessageBox::NoButton;
    m_boxes.append(seen);
    if (press)
        press->click();
    else
        box->reject();
}
