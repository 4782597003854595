#pragma once

#include "store/cursor/CursorSession.h"

#include <QLabel>
#include <QString>
#include <QTimer>
#include <utility>
#include <vector>

// A small note in the status bar while rows are still being read in the background: which list,
// and how many of its rows are in ("Leyendo los programas … 340 000 de 1 000 000"). Hidden the
// rest of the time.
class ReadingStatus : public QLabel {
    Q_OBJECT
public:
    // `lists` names each cursor the note may speak of, as the user knows the list.
    ReadingStatus(store::CursorSession &session,
                  std::vector<std::pair<const store::TableCursor *, QString>> lists,
                  QWidget *parent = nullptr);

    // The note for that state of the reading; empty when there is nothing to say.
    QString textFor(const store::CursorSession::Reading &reading) const;

private:
    void update();

    store::CursorSession &session_;
    std::vector<std::pair<const store::TableCursor *, QString>> lists_;
    QTimer timer_;
};
