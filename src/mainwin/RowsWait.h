#pragma once

#include "store/cursor/CursorSession.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <memory>

class QProgressDialog;

// What the user sees while a command waits for rows still being read in the background: a
// wait cursor at once and, when the wait lasts, a small window saying why.
class RowsWait {
public:
    explicit RowsWait(QWidget *parent);
    ~RowsWait();
    void operator()(store::CursorSession::Wait step);

private:
    QPointer<QWidget> parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer since_;
};
