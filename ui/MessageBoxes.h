#pragma once

#include <QString>

class QWidget;

// The program's modal message boxes. Each is a real QMessageBox run with exec(), so the caller
// waits for the answer exactly as it would on any other box.
class MessageBoxes {
public:
    // Outcome and information messages: "提示", information icon, OK.
    static void information(QWidget* parent, const QString& text);
    // The Yes/No confirmation under "警告", Yes the default; true when the user answers Yes.
    static bool question(QWidget* parent, const QString& text);
    // A failure caught by a handler's error guard: "错误", critical icon.
    static void error(QWidget* parent, const QString& text);
    // A failed login: the error's description alone, under an empty title.
    static void loginFailure(QWidget* parent, const QString& text);
};
