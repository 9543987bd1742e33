#pragma once

#include "OdbcApi.h"

#include <QString>
#include <functional>
#include <memory>

namespace db {

// The one way the database layer waits on the server. With a wait hook installed (by the
// application) the work runs on a thread of its own while the hook waits for it on the caller's
// thread, keeping the windows alive; without one (tools, unit tests, benchmarks) it runs inline.
//
// A call the user cancels gets SQLCancel on its statement; if the driver has not returned
// GiveUpMs later, the call is given up and finishes in the background. Work must therefore own
// everything it touches (by value or shared pointer): nothing on the caller's stack outlives it.
// Either way the caller gets CancelledError.
class ServerCall {
public:
    class Wait;
    // Called on the caller's thread; returns once wait.finished().
    using WaitHook = std::function<void(Wait& wait)>;

    static constexpr int GiveUpMs = 1500;
    // How long a call may take before the hook is asked to wait for it.
    static constexpr int QuietWaitMs = 50;

    static void setWaitHook(WaitHook hook);
    // Runs the work, rethrowing what it threw. With answerWithinMs, a driver call that waits
    // longer than that for the server is given up like a cancelled one (the driver's own
    // timeout may wait as long again for the server to acknowledge it): then false.
    [[nodiscard]] static bool run(std::function<void()> work, int answerWithinMs = 0);

    // What the waits inside its scope say they are doing; scopes nest, the innermost speaks.
    class Label {
    public:
        explicit Label(const QString& text);
        ~Label();
        Label(const Label&) = delete;
        Label& operator=(const Label&) = delete;

    private:
        QString m_previous;
    };

    // Marks a driver call on the statement, so that a cancel reaches it and a silent server is
    // noticed. Throws CancelledError when the call was cancelled before the driver call began.
    class InFlight {
    public:
        explicit InFlight(SQLHSTMT statement);
        ~InFlight();
        // Before the handle is freed: no cancel may reach it afterwards.
        static void release(SQLHSTMT statement);
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;
    };

    struct State;
};

// What the wait hook sees of a running call.
class ServerCall::Wait {
public:
    explicit Wait(std::shared_ptr<State> state);

    QString label() const;
    // The work ended, or was given up after a cancel.
    bool finished() const;
    // Called once, when finished(): at once if it already is, else on another thread.
    void whenFinished(std::function<void()> notify);
    // Asks the driver to stop; the call then ends within GiveUpMs, cancelled.
    void cancel();

private:
    std::shared_ptr<State> m_state;
};

}  // namespace db
