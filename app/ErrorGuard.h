#pragma once

#include <functional>
#include <type_traits>
#include <utility>

class QWidget;

// The one guard around every event handler: a failure shows its description in the error box
// and ends that handler only. Statements already executed stay executed; the program goes on.
class ErrorGuard {
public:
    // Runs the handler; false when it failed (the user has then seen the error box).
    static bool run(QWidget* parent, const std::function<void()>& handler);

    // A slot for connect(): runs the handler under the guard, passing on the signal's
    // arguments when the handler takes them.
    template <typename Handler>
    static auto wrap(QWidget* parent, Handler handler)
    {
        return [parent, handler = std::move(handler)](auto&&... args) {
            if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                run(parent, [&] { handler(std::forward<decltype(args)>(args)...); });
            else
                run(parent, [&] { handler(); });
        };
    }
};
