#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

namespace platform {

// A progress window for work that may last: it appears only once the work has taken half a
// second, over its opener, with "Cancelar". The work calls step() often; between steps the
// window answers (events are handled at most every few hundredths of a second, so a tight loop
// pays little for it).
class LongWork {
public:
    LongWork(QWidget *opener, const QString &title, const QString &text);
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;

    // Keeps the window alive; `done` of `total` moves the bar (a total of 0 leaves it busy), a
    // non-empty `text` replaces the label. False once the user pressed "Cancelar".
    bool step(qint64 done = 0, qint64 total = 0, const QString &text = {});
    bool cancelled() const;
    // Whether the window has appeared (the work lasted).
    bool shown() const;
    // Closes the window; the destructor does too.
    void finish();

private:
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer since_;
    qint64 lastEvents_ = -1;
};

} // namespace platform
