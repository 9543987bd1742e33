#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QWidget;

// The loaded main window's controls by their names, and the few things a user does with them.
class MainWindowControls {
public:
    // Aborts the test program when the control is missing.
    static QWidget* find(const QString& name);
    static QPushButton* command(int number);
    static QComboBox* combo(int number);
    static QTableWidget* list(int number);
    static QRadioButton* option(int number);
    static void showTab(int index);

    // As the user's pick from a drop-down list: the entry becomes current, then the click.
    // False when the entry is not there or the list is disabled.
    static bool pick(QComboBox* combo, const QString& text);

    static QStringList entries(const QComboBox* combo);
    // Each row's texts joined by single blanks, top to bottom.
    static QStringList rows(const QTableWidget* list);
    static QStringList column(const QTableWidget* list, int column);
};
