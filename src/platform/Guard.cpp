#include "Guard.h"

#include <QtGlobal>

namespace platform {

namespace {
ErrorHandler &handler() {
    static ErrorHandler installed;
    return installed;
}
} // namespace

void installErrorHandler(ErrorHandler handler_) {
    handler() = std::move(handler_);
}

void reportError(QObject *sender, std::exception_ptr error) {
    if (handler()) {
        handler()(sender, error);
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
