#pragma once

#include <QObject>

class QWidget;
namespace Ui { class Form2; }

// The third tab, "清除星桥生成凭证异常": the voucher-export exception rows. Command9's caption
// is the tab's only state: "刷新(&R)" lists the rows, "清除(&C)" deletes them all.
class ExportTab : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of this tab's message boxes.
    ExportTab(Ui::Form2& ui, QWidget* window);

    // The last step of the main window's load: adds the columns of ListView3.
    void NovaTask();

private:
    void Command9_Click();
    void listRows();
    void deleteRows();

    Ui::Form2& m_ui;
    QWidget* m_window;
};
