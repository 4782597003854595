#include "platform/Look.h"

#include "platform/Preferences.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace platform {

void applyWindowFont() {
    // Liberation Sans and Arimo are drawn to Arial's widths, and 11 pixels is Arial at 8 points
    // on a 96-dpi screen. Without them, fontconfig still answers with the closest sans face.
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                           QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void setBold(QWidget *widget) {
    QFont bold = widget->font();
    bold.setBold(true);
    widget->setFont(bold);
}

QLabel *boldLabel(const QString &text, QWidget *buddy, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    setBold(label);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    return label;
}

namespace {

// Removes itself after the first showing: from then on Qt keeps the window where it was left.
class FirstShowCentring : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::Show)
            return false;
        auto *window = static_cast<QWidget *>(watched);
        centreOver(window, nullptr);
        deleteLater();
        window->removeEventFilter(this);
        return false;
    }
};

QString sizeKey(const QWidget *window) {
    return QStringLiteral("ventanas/") + window->objectName() + QStringLiteral("/tamano");
}

// Places one of our windows at each opening; with `sizes`, restores the kept size first, so that
// the window is centred at the size it shows.
class OpenerCentring : public QObject {
public:
    OpenerCentring(QWidget *window, Preferences *sizes)
        : QObject(window)
        , sizes_(sizes) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *window = static_cast<QWidget *>(watched);
        // Minimising and restoring show and hide spontaneously: the same opening goes on.
        if (event->spontaneous())
            return false;
        if (event->type() == QEvent::Show) {
            if (sizes_)
                restoreSize(window);
            centreOver(window, window->parentWidget());
        } else if (event->type() == QEvent::Hide && sizes_) {
            sizes_->setValue(sizeKey(window), window->isMaximized()
                                                  ? window->normalGeometry().size()
                                                  : window->size());
            sizes_->sync();
        }
        return false;
    }

private:
    void restoreSize(QWidget *window) const {
        QSize kept = sizes_->value(sizeKey(window)).toSize();
        if (!kept.isValid())
            return;
        // A size kept on a larger screen, or smaller than the window's contents, is not taken
        // whole.
        kept = kept.expandedTo(window->minimumSizeHint()).expandedTo(window->minimumSize());
        if (const QScreen *screen = window->screen())
            kept = kept.boundedTo(screen->availableGeometry().size());
        window->resize(kept.boundedTo(window->maximumSize()));
    }
    Preferences *sizes_;
};

} // namespace

void centreOnFirstShow(QWidget *window) {
    window->installEventFilter(new FirstShowCentring(window));
}

void openOverOpener(QWidget *window, Preferences *sizes) {
    window->installEventFilter(new OpenerCentring(window, sizes));
}

void centreOver(QWidget *window, const QWidget *opener) {
    const QWidget *over = opener ? opener->window() : nullptr;
    if (over && !over->isVisible())
        over = nullptr;
    const QScreen *screen = over ? over->screen() : window->screen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(over ? over->frameGeometry().center() : room.center());
    // On the screen, and its top-left corner (the title bar) first when it is larger than that.
    frame.moveLeft(std::max(room.left(), std::min(frame.left(), room.right() + 1 - frame.width())));
    frame.moveTop(std::max(room.top(), std::min(frame.top(), room.bottom() + 1 - frame.height())));
    window->move(frame.topLeft());
}

} // namespace platform
