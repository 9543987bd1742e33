#pragma once

#include <QString>
#include <QStringList>

// The statements of the first tab, in the order they must run. A selector's text goes between
// single quotes with its own quotes doubled, so a name holding a quote neither breaks the
// statement nor widens it; texts without quotes give the statements unchanged.
class TaskStatements {
public:
    // The task list query: every ua_tasklog row, with or without its ua_task row.
    static QString taskQuery();
    // Deletes the tasks whose state is 5 and above or below 0: ua_task first, since its
    // task ids are taken from the ua_tasklog rows the second statement removes.
    static QStringList clearAbnormal();
    static QStringList clearAll();
    // The task-id selector's text: "系统管理" deletes the system-management log rows only,
    // any other text the task of that id from both tables.
    static QStringList clearById(const QString& taskId);
    static QStringList clearByStation(const QString& station);

    // The text the list and the task-id selector show for a task without a task id.
    static QString systemManagement();
};
