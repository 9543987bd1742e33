#pragma once

#include <QObject>
#include <functional>

class QMessageBox;

// Calls back the moment a message box appears, before anyone can answer it, so a test can see
// what the window shows while the box is up (for instance whether a list was refreshed before
// or after its message).
class MessageBoxWatcher : public QObject {
    Q_OBJECT
public:
    explicit MessageBoxWatcher(std::function<void(QMessageBox*)> onShown, QObject* parent = nullptr);
    ~MessageBoxWatcher() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QMessageBox*)> m_onShown;
};
