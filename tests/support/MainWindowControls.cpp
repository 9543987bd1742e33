#include "MainWindowControls.h"

#include "ui/main/Form2.h"

#include <QtWidgets>

QWidget* MainWindowControls::find(const QString& name)
{
    auto* widget = Form2::instance().findChild<QWidget*>(name);
    if (!widget)
        qFatal("the main window has no control %s", qPrintable(name));
    return widget;
}

QPushButton* MainWindowControls::command(int number)
{
    return qobject_cast<QPushButton*>(find(QStringLiteral("Command%1").arg(number)));
}

QComboBox* MainWindowControls::combo(int number)
{
    return qobject_cast<QComboBox*>(find(QStringLiteral("Combo%1").arg(number)));
}

QTableWidget* MainWindowControls::list(int number)
{
    return qobject_cast<QTableWidget*>(find(QStringLiteral("ListView%1").arg(number)));
}

QRadioButton* MainWindowControls::option(int number)
{
    return qobject_cast<QRadioButton*>(find(QStringLiteral("Option%1").arg(number)));
}

void MainWindowControls::showTab(int index)
{
    qobject_cast<QTabWidget*>(find(QStringLiteral("SSTab1")))->setCurrentIndex(index);
}

bool MainWindowControls::pick(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchExactly);
    if (index < 0 || !combo->isEnabled())
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

QStringList MainWindowControls::entries(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

QStringList MainWindowControls::rows(const QTableWidget* list)
{
    QStringList texts(list->rowCount());
    for (int column = 0; column < list->columnCount(); ++column) {
        const QStringList cells = MainWindowControls::column(list, column);
        for (int row = 0; row < cells.size(); ++row)
            texts[row] += (column ? QStringLiteral(" ") : QString()) + cells[row];
    }
    return texts;
}

QStringList MainWindowControls::column(const QTableWidget* list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts.append(list->item(row, column) ? list->item(row, column)->text() : QString());
    return texts;
}
