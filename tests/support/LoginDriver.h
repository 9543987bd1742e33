#pragma once

#include <QString>

class Form2;
class MessageBoxDriver;

// Logs in through the real login window, as a user would: types the server name and the
// password, presses "确定(&O)". Boxes shown meanwhile are answered by the given driver.
class LoginDriver {
public:
    explicit LoginDriver(MessageBoxDriver& boxes);

    // True when the login window is hidden and the main window shown afterwards.
    bool logIn(const QString& server, const QString& password);
    // The main window after a successful logIn().
    static Form2& mainWindow();
    // Unloads both windows and closes every shared connection: the state before start-up.
    static void reset();

private:
    MessageBoxDriver& m_boxes;
};
