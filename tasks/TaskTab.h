#pragma once

#include <QObject>
#include <QStringList>

class QWidget;
namespace Ui { class Form2; }

// The first tab, "清除异常任务": the task list and the task clearing commands.
class TaskTab : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of this tab's message boxes.
    TaskTab(Ui::Form2& ui, QWidget* window);

    // While the main window loads and after every clearing: reloads the task list without a message.
    void ReTaskA();

private:
    // Reloads the task list; tells the user when there are no tasks, and then leaves the
    // selectors as they were.
    void ReTask();
    void Option1_Click();
    void Option2_Click();
    void Combo1_Click();
    void Combo2_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    void refresh(bool noticeWhenEmpty);
    void fillFromTaskRecordset();
    void executeAll(const QStringList& statements);

    Ui::Form2& m_ui;
    QWidget* m_window;
    // The display texts of the row being added, one per result column.
    QStringList m_taskRow;
};
