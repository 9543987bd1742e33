#pragma once

#include "MessageBoxes.h"

#include <functional>
#include <type_traits>
#include <utility>

class QWidget;

// The one guard around every event handler: a failure, whatever was thrown, shows its
// description and ends that handler only. Statements already executed stay executed; the
// program goes on.
class ErrorGuard {
public:
    // How a failure is shown: in the error box, unless the handler has a box of its own.
    using Report = void (*)(QWidget* parent, const QString& description);

    // Runs the handler; false when it failed (the user has then seen the report).
    static bool run(QWidget* parent, const std::function<void()>& handler, Report report = &MessageBoxes::error);

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
