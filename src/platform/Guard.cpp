#include "Guard.h"

#include <QtGlobal>

namespace platform {

namespace {
ErrorHandler &current() {
    static ErrorHandler installed;
    return installed;
}
} // namespace

void installErrorHandler(ErrorHandler handler) {
    current() = std::move(handler);
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
