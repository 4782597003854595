#include "Guard.h"

#include "cds_.h"

#include <QDebug>

namespace {
TForm1 *errorHandler = nullptr;
}

void installErrorHandler(TForm1 *handler) {
    errorHandler = handler;
}

void reportError(QObject *sender, std::exception_ptr error) {
    if (errorHandler) {
        errorHandler->TratarErrores(sender, error);
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
