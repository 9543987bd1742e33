#pragma once

#include "db/ServerCall.h"

#include <QWidget>

class QLabel;
class QPushButton;

// The small modal window "请稍候" over the window that started a wait on the server. wait()
// keeps the program painting (timers, repaints) while the call runs and lets no input reach the
// program's windows; past ShowAfterMs it shows what is running and offers "取消(&C)".
class WaitingWindow : public QWidget {
public:
    static constexpr int ShowAfterMs = 500;

    // The wait hook of the database layer.
    static void wait(db::ServerCall::Wait& wait);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    WaitingWindow(QWidget* owner, db::ServerCall::Wait& wait);
    void showOverOwner();
    void cancel();

    db::ServerCall::Wait& m_wait;
    QWidget* m_owner;
    QLabel* m_label;
    QPushButton* m_cancel;
};
