#pragma once

#include <QString>

class MessageBoxDriver;

// Logs in through the real login window as a user would; the given driver answers any box.
class LoginDriver {
public:
    explicit LoginDriver(MessageBoxDriver& boxes) : m_boxes(boxes) {}

    // True when the login window is hidden and the main window shown afterwards.
    bool logIn(const QString& server, const QString& password);
    // The state before start-up: both windows unloaded, every shared connection closed.
    static void reset();

private:
    MessageBoxDriver& m_boxes;
};
