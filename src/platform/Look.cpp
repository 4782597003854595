#include "Look.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QWidget>

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
        if (QScreen *screen = window->screen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        deleteLater();
        window->removeEventFilter(this);
        return false;
    }
};

} // namespace

void centreOnFirstShow(QWidget *window) {
    window->installEventFilter(new FirstShowCentring(window));
}

} // namespace platform
