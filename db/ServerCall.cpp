#include "ServerCall.h"

#include "CancelledError.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace db {

struct ServerCall::State {
    std::function<void()> work;
    QString label;

    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool givenUp = false;
    std::exception_ptr error;
    std::function<void()> notify;

    std::atomic<bool> cancelRequested{false};
    bool noAnswer = false;
    // Apart from the mutex above: SQLCancel may take its time, and the give-up must not wait for it.
    std::mutex statementMutex;
    // The statement of this call that a cancel reaches; written by the worker only.
    SQLHSTMT statement = SQL_NULL_HSTMT;
    // Driver calls begun, and whether one is under way. Atomic, not locked, and no clock read:
    // they change on every row fetched. The watchdog tells the time itself.
    std::atomic<quint64> driverCalls{0};
    std::atomic<bool> inFlight{false};

    // Gives up the call once one driver call has waited answerWithinMs; ends with the call.
    void watch(int answerWithinMs)
    {
        const auto limit = std::chrono::milliseconds(answerWithinMs);
        quint64 seenCalls = driverCalls;
        auto seenAt = std::chrono::steady_clock::now();
        std::unique_lock lock(mutex);
        while (!changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return done || givenUp; })) {
            const auto now = std::chrono::steady_clock::now();
            if (driverCalls != seenCalls) {
                seenCalls = driverCalls;
                seenAt = now;
            } else if (inFlight && now - seenAt > limit) {
                noAnswer = true;
                break;
            }
        }
        lock.unlock();
        if (noAnswer)
            finish(true);
    }

    // Marks the call done or given up; the first of the two wakes the waiter.
    void finish(bool byGivingUp)
    {
        std::function<void()> wake;
        {
            const std::lock_guard lock(mutex);
            const bool wasFinished = done || givenUp;
            (byGivingUp ? givenUp : done) = true;
            if (!wasFinished)
                wake = std::move(notify);
        }
        changed.notify_all();
        if (wake)
            wake();
    }
};

namespace {

ServerCall::WaitHook& waitHook()
{
    static ServerCall::WaitHook hook;
    return hook;
}

QString& currentLabel()
{
    static QString label;
    return label;
}

// The call whose work this thread runs, if any.
thread_local ServerCall::State* runningHere = nullptr;

}  // namespace

void ServerCall::setWaitHook(WaitHook hook)
{
    waitHook() = std::move(hook);
}

bool ServerCall::run(std::function<void()> work, int answerWithinMs)
{
    // Work already on a worker (or no one to keep the windows alive) runs where it is.
    if (!waitHook() || runningHere) {
        work();
        return true;
    }
    auto state = std::make_shared<State>();
    state->work = std::move(work);
    state->label = currentLabel().isEmpty() ? QStringLiteral("正在执行数据库操作 …") : currentLabel();
    std::thread([state] {
        runningHere = state.get();
        try {
            state->work();
        } catch (...) {
            state->error = std::current_exception();
        }
        // What the work held (statements, handles) is freed here, also when no one waits any more.
        state->work = nullptr;
        {
            const std::lock_guard lock(state->statementMutex);
            state->statement = SQL_NULL_HSTMT;
        }
        runningHere = nullptr;
        state->finish(false);
    }).detach();

    std::unique_lock lock(state->mutex);
    // Most answers come at once: those are waited for here, unnoticeably, without a round of
    // events in the middle of the caller's handler.
    if (!state->changed.wait_for(lock, std::chrono::milliseconds(QuietWaitMs), [&] { return state->done; })) {
        lock.unlock();
        if (answerWithinMs > 0)
            std::thread([state, answerWithinMs] { state->watch(answerWithinMs); }).detach();
        Wait wait(state);
        waitHook()(wait);
        lock.lock();
        state->changed.wait(lock, [&] { return state->done || state->givenUp; });
    }
    if (state->cancelRequested)
        throw CancelledError(!state->done);
    if (state->noAnswer && !state->done)
        return false;
    if (state->error)
        std::rethrow_exception(state->error);
    return true;
}

ServerCall::Label::Label(const QString& text)
    : m_previous(currentLabel())
{
    currentLabel() = text;
}

ServerCall::Label::~Label()
{
    currentLabel() = m_previous;
}

// Runs for every row fetched: the lock is taken only when the statement changes.
ServerCall::InFlight::InFlight(SQLHSTMT statement)
{
    State* state = runningHere;
    if (!state)
        return;
    if (state->cancelRequested.load(std::memory_order_relaxed))
        throw CancelledError(false);
    if (state->statement != statement) {
        const std::lock_guard lock(state->statementMutex);
        state->statement = statement;
    }
    // Relaxed: the watchdog only needs to see them change within a tenth of a second.
    state->driverCalls.store(state->driverCalls.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    state->inFlight.store(true, std::memory_order_relaxed);
}

ServerCall::InFlight::~InFlight()
{
    if (State* state = runningHere)
        state->inFlight.store(false, std::memory_order_relaxed);
}

void ServerCall::InFlight::release(SQLHSTMT statement)
{
    State* state = runningHere;
    if (!state || state->statement != statement)
        return;
    // Waits for a cancel that may be using the handle right now.
    const std::lock_guard lock(state->statementMutex);
    state->statement = SQL_NULL_HSTMT;
}

ServerCall::Wait::Wait(std::shared_ptr<State> state)
    : m_state(std::move(state))
{
}

QString ServerCall::Wait::label() const
{
    return m_state->label;
}

bool ServerCall::Wait::finished() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->done || m_state->givenUp;
}

void ServerCall::Wait::whenFinished(std::function<void()> notify)
{
    {
        const std::lock_guard lock(m_state->mutex);
        if (!m_state->done && !m_state->givenUp) {
            m_state->notify = std::move(notify);
            return;
        }
    }
    notify();
}

void ServerCall::Wait::cancel()
{
    if (m_state->cancelRequested.exchange(true))
        return;
    // Both on threads of their own: the caller's thread must stay free whatever the driver does.
    std::thread([state = m_state] {
        const std::lock_guard lock(state->statementMutex);
        if (state->statement != SQL_NULL_HSTMT)
            SQLCancel(state->statement);
    }).detach();
    std::thread([state = m_state] {
        std::unique_lock lock(state->mutex);
        const bool ended = state->changed.wait_for(lock, std::chrono::milliseconds(GiveUpMs), [&] { return state->done; });
        lock.unlock();
        if (!ended)
            state->finish(true);
    }).detach();
}

}  // namespace db
