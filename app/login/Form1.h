#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>

namespace Ui { class Form1; }

// The login window. Loaded on first use and kept (hidden) after a successful login: its Text1
// and Text2 are the only store of the server name and the password for the rest of the run,
// read through PublicADO by every connection.
class Form1 : public QWidget {
    Q_OBJECT
public:
    ~Form1() override;

    // The loaded login window; the first call loads it, which shows it.
    static Form1& instance();
    static bool isLoaded();
    // Destroys the window without its unload handling (end of the program, tests).
    static void unload();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Form1();

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Form_Unload();

    std::unique_ptr<Ui::Form1> m_ui;
    QPixmap m_background;
};
