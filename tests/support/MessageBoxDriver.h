#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

// Reads and answers the real message boxes a handler opens with exec(). It polls for the active
// modal box on a repeating timer (a one-shot timer may fire before the box exists), records what
// the user would see, and presses the button queued for it. A box with no answer queued gets its
// escape button, or OK, so that a test never hangs on an unexpected box; the record shows it.
// Other modal windows (the cashier window) get the action given to onDialog(), then are closed.
class MessageBoxDriver : public QObject {
    Q_OBJECT
public:
    struct Box {
        QString title;
        QString text;
        Qt::TextFormat textFormat = Qt::AutoText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QStringList buttonTexts;  // as shown (accelerator marks removed), in the standard buttons' order
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QMessageBox::StandardButton pressed = QMessageBox::NoButton;
        bool modal = false;
        QString parentWindow;  // objectName of the window the box belongs to
    };

    // The newest driver alive answers the message boxes; older ones wait (a window's own driver
    // inside a session's), whatever the timing of their polls.
    explicit MessageBoxDriver(QObject* parent = nullptr);
    ~MessageBoxDriver() override;

    // Queues the button for the next box that appears.
    void answer(QMessageBox::StandardButton button);
    // Called for each box while it is up, before it is answered: what the window behind it shows
    // then tells whether a list was refreshed before or after its message.
    void onShown(std::function<void(const QMessageBox&)> callback) { m_onShown = std::move(callback); }
    // Runs the action on each other modal window that opens, then closes the window.
    void onDialog(std::function<void(QDialog&)> action) { m_onDialog = std::move(action); }
    int dialogsHandled() const { return m_dialogs; }
    const QList<Box>& boxes() const { return m_boxes; }
    QStringList texts() const;
    int count() const { return int(m_boxes.size()); }
    const Box& last() const { return m_boxes.last(); }
    // Forgets the boxes, the queued answers, the callbacks and the windows handled.
    void clear();

private:
    void poll();

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_answers;
    QList<Box> m_boxes;
    QPointer<QMessageBox> m_current;
    std::function<void(const QMessageBox&)> m_onShown;
    std::function<void(QDialog&)> m_onDialog;
    QPointer<QDialog> m_dialog;
    int m_dialogs = 0;
};
