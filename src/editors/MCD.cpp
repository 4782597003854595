#include "MCD.h"

#include "DBEdit.h"
#include "DBMemo.h"
#include "Guard.h"
#include "Modulo.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

TForm3 *Form3 = nullptr;

TForm3::TForm3(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form3"), QStringLiteral("Modificación CD"), QSize(433, 322),
                 parent)
    , services_(services) {
    store::TDataSource *source = &DataModule2->DataDiscos;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto bound = [&](const char *name, const char *field) {
        auto *box = new DBEdit(GroupBox1);
        box->setObjectName(QLatin1String(name));
        box->setDataSource(source);
        box->setDataField(QLatin1String(field));
        return box;
    };
    DBEdit1 = bound("DBEdit1", "NroDisco");
    DBEdit1->setReadOnly(true);
    DBEdit2 = bound("DBEdit2", "DescripcionDisco");
    Date1 = new QDateEdit(GroupBox1);
    Date1->setObjectName(QStringLiteral("Date1"));
    Date1->setCalendarPopup(true);
    Date1->setDisplayFormat(services_.clock.shortDateFormat());
    DBMemo1 = new DBMemo(GroupBox1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setDataSource(source);
    DBMemo1->setDataField(QStringLiteral("Comentario"));
    DBMemo1->setTabChangesFocus(true);
    DBMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Carries the picked date into the row as text just before the post; never seen.
    DBEdit3 = bound("DBEdit3", "FechaDisco");
    DBEdit3->hide();

    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(boldLabel(QStringLiteral("Nro. CD :"), DBEdit1, GroupBox1), 0, 0);
    grid->addWidget(DBEdit1, 0, 1);
    grid->addWidget(boldLabel(QStringLiteral("Descripción :"), DBEdit2, GroupBox1), 1, 0);
    grid->addWidget(DBEdit2, 1, 1);
    grid->addWidget(boldLabel(QStringLiteral("Fecha :"), Date1, GroupBox1), 2, 0);
    grid->addWidget(Date1, 2, 1, Qt::AlignLeft);
    QLabel *comment = boldLabel(QStringLiteral("Comentario :"), DBMemo1, GroupBox1);
    comment->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(comment, 3, 0);
    grid->addWidget(DBMemo1, 3, 1);
    grid->setRowStretch(3, 1);
    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, Date1);
    setTabOrder(Date1, DBMemo1);
    setTabOrder(DBMemo1, DBEdit3);

    SpeedButton1 = flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("ACEPTAR"), this);
    SpeedButton2 = flatButton(QStringLiteral("SpeedButton2"), QStringLiteral("CANCELAR"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);

    connectGuarded(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connectGuarded(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
}

// The picker keeps the CD's stored date that the opener put there, so confirming another change
// does not move the CD's date to today.
void TForm3::FormActivate() {
    DBEdit2->setFocus();
}

void TForm3::SpeedButton1Click() {
    store::TableCursor &discos = DataModule2->TDiscos;
    // There is no CD to change: typing may have begun a new row, which is not this window's job.
    if (discos.RecordCount() == 0 || discos.state() == store::TableCursor::State::Insert) {
        close();
        return;
    }
    discos.EditRow();
    DBEdit3->setText(QLocale().toString(Date1->date(), services_.clock.shortDateFormat()));
    discos.PostRow();
    close();
}

void TForm3::SpeedButton2Click() {
    close();
}

void TForm3::FormClose() {
    DataModule2->TDiscos.CancelRow();
}
