#pragma once

#include <QObject>
#include <exception>
#include <functional>
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

// Connects a signal to a handler that runs guarded, with the signal's sender as the sender.
template <class Sender, class Signal, class Fn>
QMetaObject::Connection connectGuarded(Sender *sender, Signal signal, QObject *context, Fn fn) {
    return QObject::connect(sender, signal, context, [sender, fn] { guarded(sender, fn); });
}

} // namespace platform
