#include "mainwin/ReadingStatus.h"

namespace {

// Whole numbers grouped by threes with a space, as Spanish writes long numbers.
QString grouped(qint64 number) {
    QString digits = QString::number(number);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QChar(0x00A0));
    return digits;
}

constexpr int kEveryMs = 150;

} // namespace

ReadingStatus::ReadingStatus(store::CursorSession &session,
                             std::vector<std::pair<const store::TableCursor *, QString>> lists,
                             QWidget *parent)
    : QLabel(parent)
    , session_(session)
    , lists_(std::move(lists)) {
    setObjectName(QStringLiteral("LecturaEnCurso"));
    setAccessibleName(QStringLiteral("Lectura del catálogo"));
    hide();
    timer_.setInterval(kEveryMs);
    connect(&timer_, &QTimer::timeout, this, &ReadingStatus::update);
    connect(&session_, &store::CursorSession::readingStarted, this, [this] {
        timer_.start();
        update();
    });
}

QString ReadingStatus::textFor(const store::CursorSession::Reading &reading) const {
    for (const auto &[cursor, name] : lists_) {
        if (cursor != reading.cursor)
            continue;
        QString text = QStringLiteral(" Leyendo ") + name + QStringLiteral(" … ");
        if (reading.expected >= 0)
            text += grouped(reading.read) + QStringLiteral(" de ") + grouped(reading.expected);
        return text + u' ';
    }
    return {};
}

void ReadingStatus::update() {
    const QString text = textFor(session_.reading());
    if (text.isEmpty()) {
        timer_.stop();
        hide();
        return;
    }
    setText(text);
    show();
}
