#pragma once

#include "db/Connection.h"

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui { class Form3; }

// The cashier-lock window: lists the cashier databases and empties the voucher-making lock table
// of the one picked. Built afresh for every opening and gone when closed, with its connection.
class Form3 : public QDialog {
    Q_OBJECT
public:
    // mainWindow: the window it is modal over and whose icon it takes.
    explicit Form3(QWidget* mainWindow);
    ~Form3() override;

    // Appends a database name to the list; the list keeps no entry picked until the user picks one.
    void addDatabase(const QString& name);

private:
    void Form_Load();
    void Combo1_Click(int index);
    void cmdClear_Click();

    std::unique_ptr<Ui::Form3> m_ui;
    db::Connection m_cashierConnection;
    QString m_cashierConnectionString;
};
