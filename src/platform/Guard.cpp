#include "platform/Guard.h"

#include <QtGlobal>

namespace platform {

namespace {
struct Installed {
    ErrorHandler handler;
    const void *owner = nullptr;
};
Installed &installed() {
    static Installed one;
    return one;
}
ErrorHandler &current() {
    return installed().handler;
}
} // namespace

void installErrorHandler(ErrorHandler handler, const void *owner) {
    installed() = {std::move(handler), owner};
}

void uninstallErrorHandler(const void *owner) {
    if (installed().owner == owner)
        installed() = {};
}

void reportError(QObject *sender, std::exception_ptr error) {
    if (current()) {
        current()(sender, error);
        return;
    }
    // Before the main window exists there is nobody to show a box.
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        qWarning("Vadrel: %s", e.what());
    } catch (...) {
        qWarning("Vadrel: unknown error");
    }
}

} // namespace platform
