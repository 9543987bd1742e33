#include "BusyScope.h"

namespace db {

void BusyScope::setHook(Hook hook)
{
    BusyScope::hook() = std::move(hook);
}

BusyScope::BusyScope()
{
    if (depth()++ == 0 && hook())
        hook()(true);
}

BusyScope::~BusyScope()
{
    if (--depth() == 0 && hook())
        hook()(false);
}

BusyScope::Hook& BusyScope::hook()
{
    static Hook current;
    return current;
}

int& BusyScope::depth()
{
    // Every database call runs on the one user-interface thread.
    static int current = 0;
    return current;
}

}  // namespace db
