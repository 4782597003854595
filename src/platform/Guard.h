#pragma once

#include <QObject>
#include <cstddef>
#include <exception>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

// No exception may unwind through Qt's own frames. Every handler runs through `guarded`, which
// hands whatever it catches to the application's error handler. The main window installs that
// handler (TForm1::TratarErrores); the windows below it only know this hook.
namespace platform {

using ErrorHandler = std::function<void(QObject *sender, std::exception_ptr error)>;

// An empty handler uninstalls; errors are then only logged. `owner` is who installed it.
void installErrorHandler(ErrorHandler handler, const void *owner = nullptr);
// Uninstalls the handler `owner` installed; one installed by another since stays.
void uninstallErrorHandler(const void *owner);
void reportError(QObject *sender, std::exception_ptr error);

template <class Fn> void guarded(QObject *sender, Fn &&fn) {
    try {
        std::forward<Fn>(fn)();
    } catch (...) {
        reportError(sender, std::current_exception());
    }
}

namespace detail {

template <class Fn, class Tuple, std::size_t... I> constexpr bool takes(std::index_sequence<I...>) {
    return std::is_invocable_v<const Fn &, std::tuple_element_t<I, Tuple>...>;
}

template <class Fn, class Tuple, std::size_t... I>
void call(const Fn &fn, const Tuple &args, std::index_sequence<I...>) {
    fn(std::get<I>(args)...);
}

// Calls `fn` with as many of the leading arguments as it takes, as Qt calls a slot.
template <class Fn, class Tuple, std::size_t N = std::tuple_size_v<Tuple>>
void callLeading(const Fn &fn, const Tuple &args) {
    if constexpr (takes<Fn, Tuple>(std::make_index_sequence<N>{})) {
        call(fn, args, std::make_index_sequence<N>{});
    } else {
        static_assert(N > 0, "the handler takes none of the signal's arguments");
        callLeading<Fn, Tuple, (N > 0 ? N - 1 : 0)>(fn, args);
    }
}

} // namespace detail

// Connects a signal to a handler that runs guarded, with the signal's sender as the sender. The
// handler takes the signal's leading arguments, as a slot would.
template <class Sender, class Signal, class Fn>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, QObject *context, Fn fn) {
    return QObject::connect(sender, signal, context, [sender, fn](const auto &...args) -> void {
        guarded(sender, [&] { detail::callLeading(fn, std::forward_as_tuple(args...)); });
    });
}

} // namespace platform
