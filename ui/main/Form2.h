#pragma once

#include <QDateTime>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class CashierHotkey;
class ExportTab;
class LockTab;
class QLabel;
class TaskTab;
namespace Ui { class Form2; }

// The main window: three tabs, the status bar with date and clock, the exits. It assembles the
// widgets and runs the load sequence; what each tab does lives in that tab's own class.
class Form2 : public QWidget {
    Q_OBJECT
public:
    ~Form2() override;

    // The loaded main window; the first call loads it and runs the load sequence, whose
    // failure propagates to the caller and leaves the window unloaded.
    static Form2& instance();
    static bool isLoaded();
    // Destroys the window without its unload handling (end of the program, tests).
    static void unload();

    // Where the date and the clock read the time; empty restores the system clock.
    static void setClock(std::function<QDateTime()> clock);

    void setTabVisible(int index, bool visible);
    // The text of status bar panel 1, 2 or 3.
    QString panelText(int panel) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Form2();

    void Form_Load();
    void Timer1_Timer();
    void Command7_Click();
    void Command8_Click();
    void Form_Unload();

    void setPanelText(int panel, const QString& text);
    static QDateTime now();

    std::unique_ptr<Ui::Form2> m_ui;
    std::array<QLabel*, 3> m_panels{};
    QTimer m_timer1;
    std::unique_ptr<TaskTab> m_taskTab;
    std::unique_ptr<LockTab> m_lockTab;
    std::unique_ptr<ExportTab> m_exportTab;
    std::unique_ptr<CashierHotkey> m_cashierHotkey;
};
