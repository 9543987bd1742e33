#include "ProgramEnd.h"

#include <QCoreApplication>

void ProgramEnd::now()
{
    if (action())
        action()();
    else
        QCoreApplication::exit(0);  // exit(), not quit(): quit() would first offer every window a close
}

void ProgramEnd::setAction(std::function<void()> action)
{
    ProgramEnd::action() = std::move(action);
}

std::function<void()>& ProgramEnd::action()
{
    static std::function<void()> current;
    return current;
}
