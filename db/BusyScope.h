#pragma once

#include <functional>

namespace db {

// Marks a call that waits on the database server. Scopes nest: the hook hears true when the
// outermost one begins and false when it ends, on every way out, exceptions included. The
// database layer shows nothing itself; whoever installs the hook decides what the user sees.
class BusyScope {
public:
    using Hook = std::function<void(bool busy)>;
    // Installed once by the application; empty for none. Must not throw.
    static void setHook(Hook hook);

    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    static Hook& hook();
    static int& depth();
};

}  // namespace db
