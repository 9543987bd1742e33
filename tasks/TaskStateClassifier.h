#pragma once

#include <QString>

// How the task list reads a task's state: the stored text converted leniently to a number
// (leading blanks skipped, the leading number taken, 0 when there is none), normal from 0 up
// to below 5. The server-side deletion of abnormal tasks uses the same bounds.
class TaskStateClassifier {
public:
    static double leadingNumber(const QString& text);
    static bool isNormal(double state);
    // "正常(" + text + ")" for a normal state, "异常" otherwise.
    static QString displayText(const QString& stateText);
};
