#include "CashierWindowDriver.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>

CashierWindowDriver::CashierWindowDriver(std::function<void(QDialog&)> action, QObject* parent)
    : QObject(parent)
    , m_action(std::move(action))
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &CashierWindowDriver::poll);
    m_timer.start();
}

QComboBox* CashierWindowDriver::list(QDialog& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("Combo1"));
}

QPushButton* CashierWindowDriver::clearButton(QDialog& window)
{
    return window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
}

bool CashierWindowDriver::pick(QDialog& window, const QString& name)
{
    QComboBox* combo = list(window);
    const int index = combo->findText(name, Qt::MatchExactly);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

void CashierWindowDriver::poll()
{
    auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (m_busy || !window || window == m_handled || window->objectName() != QLatin1String("Form3") || !window->isVisible())
        return;
    m_busy = true;
    m_handled = window;
    ++m_opened;
    m_action(*window);
    window->close();
    m_busy = false;
}
