#include "MessageBoxes.h"

#include <QMessageBox>

namespace {

int run(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.setTextFormat(Qt::PlainText);  // server texts may contain '<' and must show as written
    return box.exec();
}

}  // namespace

void MessageBoxes::information(QWidget* parent, const QString& text)
{
    run(parent, QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxes::question(QWidget* parent, const QString& text)
{
    return run(parent, QMessageBox::Question, QStringLiteral("警告"), text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::Yes)
        == QMessageBox::Yes;
}

void MessageBoxes::error(QWidget* parent, const QString& text)
{
    run(parent, QMessageBox::Critical, QStringLiteral("错误"), text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxes::loginFailure(QWidget* parent, const QString& text)
{
    run(parent, QMessageBox::Information, QString(), text, QMessageBox::Ok, QMessageBox::Ok);
}
