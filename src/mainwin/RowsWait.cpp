#include "mainwin/RowsWait.h"

#include <QApplication>
#include <QProgressDialog>

namespace {
// Shorter waits show only the cursor, and events are not handled in the middle of the command.
constexpr int kWindowAfterMs = 400;
} // namespace

RowsWait::RowsWait(QWidget *parent)
    : parent_(parent) {}

RowsWait::~RowsWait() = default;

void RowsWait::operator()(store::CursorSession::Wait step) {
    switch (step) {
    case store::CursorSession::Wait::Begin:
        since_.start();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        break;
    case store::CursorSession::Wait::Tick:
        if (!dialog_ && since_.elapsed() >= kWindowAfterMs) {
            dialog_ = std::make_unique<QProgressDialog>(
                QStringLiteral(" Leyendo el catálogo, un momento ... "), QString(), 0, 0,
                parent_.data());
            dialog_->setObjectName(QStringLiteral("RowsWait"));
            dialog_->setWindowTitle(QStringLiteral("Vadrel v1.0"));
            dialog_->setWindowModality(Qt::ApplicationModal);
            dialog_->setMinimumDuration(0);
            dialog_->show();
        }
        if (dialog_)
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        break;
    case store::CursorSession::Wait::End:
        dialog_.reset();
        QApplication::restoreOverrideCursor();
        break;
    }
}
