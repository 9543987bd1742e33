#pragma once

#include <functional>

// Ends the program at once: nothing is asked or saved. By default the application's event
// loop is left, and main() then unloads the windows. Tests put their own action in place so
// that an exit path can be observed without ending the test process.
class ProgramEnd {
public:
    static void now();
    // An empty action restores the default.
    static void setAction(std::function<void()> action);

private:
    static std::function<void()>& action();
};
