#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// Reads and answers the real message boxes a handler opens with exec(). It polls for the active
// modal box on a repeating timer (a one-shot timer may fire before the box exists), records what
// the user would see, and presses the button queued for it. A box with no answer queued gets its
// escape button, or OK, so that a test never hangs on an unexpected box; the record shows it.
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

    explicit MessageBoxDriver(QObject* parent = nullptr);

    // Queues the button for the next box that appears.
    void answer(QMessageBox::StandardButton button);
    const QList<Box>& boxes() const { return m_boxes; }
    int count() const { return int(m_boxes.size()); }
    const Box& last() const { return m_boxes.last(); }
    // Waits until at least count boxes were answered.
    bool waitFor(int count, int timeoutMs = 15000);
    void clear();

private:
    void poll();

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_answers;
    QList<Box> m_boxes;
    QPointer<QMessageBox> m_current;
};
