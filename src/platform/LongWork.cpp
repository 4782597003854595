#include "platform/LongWork.h"

#include "platform/Look.h"

#include <QApplication>
#include <QProgressDialog>
#include <limits>

namespace platform {

namespace {
constexpr qint64 kShowAfterMs = 500;
constexpr qint64 kEventsEveryMs = 30;
constexpr int kBarSteps = 1000;
} // namespace

LongWork::LongWork(QWidget *opener, const QString &title, const QString &text)
    : dialog_(std::make_unique<QProgressDialog>(text, QStringLiteral("Cancelar"), 0, 0, opener)) {
    dialog_->setWindowTitle(title);
    dialog_->setWindowModality(Qt::WindowModal);
    // Shown by step() rather than by Qt's own timer, which needs the event loop to run.
    dialog_->setMinimumDuration(std::numeric_limits<int>::max());
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setMinimumWidth(360);
    dialog_->setAccessibleName(title);
    since_.start();
}

LongWork::~LongWork() {
    finish();
}

bool LongWork::step(qint64 done, qint64 total, const QString &text) {
    const qint64 now = since_.elapsed();
    if (lastEvents_ >= 0 && now - lastEvents_ < kEventsEveryMs)
        return !dialog_->wasCanceled();
    lastEvents_ = now;
    if (total > 0) {
        if (dialog_->maximum() != kBarSteps)
            dialog_->setRange(0, kBarSteps);
        dialog_->setValue(int(std::min<qint64>(kBarSteps, done * kBarSteps / total)));
    }
    if (!text.isEmpty() && text != dialog_->labelText())
        dialog_->setLabelText(text);
    if (now >= kShowAfterMs && !dialog_->isVisible()) {
        centreOver(dialog_.get(), dialog_->parentWidget());
        dialog_->show();
    }
    QApplication::processEvents();
    return !dialog_->wasCanceled();
}

bool LongWork::cancelled() const {
    return dialog_->wasCanceled();
}

bool LongWork::shown() const {
    return dialog_->isVisible();
}

void LongWork::finish() {
    if (dialog_)
        dialog_->close();
}

} // namespace platform
