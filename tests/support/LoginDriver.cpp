#include "LoginDriver.h"

#include "MessageBoxDriver.h"

#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QtWidgets>

bool LoginDriver::logIn(const QString& server, const QString& password)
{
    Form1& login = Form1::instance();
    login.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(server);
    login.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(password);
    const int boxesBefore = m_boxes.count();
    login.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    return m_boxes.count() == boxesBefore && !login.isVisible() && Form2::isLoaded() && Form2::instance().isVisible();
}

void LoginDriver::reset()
{
    Form2::unload();
    Form1::unload();
    PublicADO::CloseAll();
}
