#pragma once

#include "MessageBoxDriver.h"

#include <QTest>

// An information message as every tab shows it: under "提示", an information icon, OK alone.
inline void verifyInformation(const MessageBoxDriver::Box& box, const QString& text)
{
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}
