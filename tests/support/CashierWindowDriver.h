#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QComboBox;
class QDialog;
class QPushButton;

// Runs an action on every cashier-lock window that opens, then closes it. Polls on a repeating
// timer: the window opens inside the key press, which does not return until it is closed.
class CashierWindowDriver : public QObject {
    Q_OBJECT
public:
    explicit CashierWindowDriver(std::function<void(QDialog&)> action = [](QDialog&) {}, QObject* parent = nullptr);

    int opened() const { return m_opened; }

    static QComboBox* list(QDialog& window);
    static QPushButton* clearButton(QDialog& window);
    // As the user's pick: the entry becomes current, then the click. False when it is not listed.
    static bool pick(QDialog& window, const QString& name);

private:
    void poll();

    std::function<void(QDialog&)> m_action;
    QTimer m_timer;
    QPointer<QDialog> m_handled;
    int m_opened = 0;
    bool m_busy = false;
};
