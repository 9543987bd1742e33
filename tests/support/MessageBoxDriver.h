#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

// Reads and answers the real message boxes a handler opens with exec(), polling on a repeating
// timer (a one-shot one may fire before the box exists). A box with no answer queued gets its
// escape button, or OK, so that a test never hangs. Other modal windows get onDialog()'s action.
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

    // The newest driver alive answers the boxes; older ones wait, whatever the timing of their polls.
    explicit MessageBoxDriver(QObject* parent = nullptr);
    ~MessageBoxDriver() override;

    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    // Called for each box while it is up, before it is answered.
    void onShown(std::function<void(const QMessageBox&)> callback) { m_onShown = std::move(callback); }
    // Runs the action on each other modal window that opens, then closes the window.
    void onDialog(std::function<void(QDialog&)> action) { m_onDialog = std::move(action); }
    int dialogsHandled() const { return m_dialogs; }
    const QList<Box>& boxes() const { return m_boxes; }
    QStringList texts() const;
    int count() const { return int(m_boxes.size()); }
    const Box& last() const { return m_boxes.last(); }
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
