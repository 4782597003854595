#include "ACd.h"

#include "Conversions.h"
#include "DatabaseError.h"
#include "Guard.h"
#include "Modulo.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

TForm2 *Form2 = nullptr;

TForm2::TForm2(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form2"), QStringLiteral("Nuevo CD"), QSize(433, 322), parent)
    , services_(services) {
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit2 = new QLineEdit(GroupBox1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Date1 = new QDateEdit(GroupBox1);
    Date1->setObjectName(QStringLiteral("Date1"));
    Date1->setCalendarPopup(true);
    Date1->setDisplayFormat(services_.clock.shortDateFormat());
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(boldLabel(QStringLiteral("Nro. CD :"), Edit1, GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(boldLabel(QStringLiteral("Descripción :"), Edit2, GroupBox1), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(boldLabel(QStringLiteral("Fecha :"), Date1, GroupBox1), 2, 0);
    grid->addWidget(Date1, 2, 1, Qt::AlignLeft);
    QLabel *comment = boldLabel(QStringLiteral("Comentario :"), Memo1, GroupBox1);
    comment->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(comment, 3, 0);
    grid->addWidget(Memo1, 3, 1);
    grid->setRowStretch(3, 1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Date1);
    setTabOrder(Date1, Memo1);

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

void TForm2::Limpiar() {
    store::TableCursor &discos = DataModule2->TDiscos;
    discos.GoLast();
    // The last row carries the highest number: the cursor lists CDs in ascending order.
    Edit1->setText(QString::number(qint64(discos.Fields(0).AsInteger()) + 1));
    Edit2->clear();
    Date1->setDate(services_.clock.today());
    Memo1->clear();
    Edit2->setFocus();
}

void TForm2::FormActivate() {
    Limpiar();
}

void TForm2::SpeedButton1Click() {
    const auto number = store::parseWholeNumber(Edit1->text());
    if (!number)
        throw store::DatabaseError(
            store::DatabaseError::Kind::Conversion,
            QStringLiteral("'%1' no es un número entero válido").arg(Edit1->text()));
    QString comment = Memo1->toPlainText();
    comment.replace(u'\n', QStringLiteral("\r\n"));
    DataModule2->TDiscos.InsertRow(
        {*number, Edit2->text(), QDateTime(Date1->date(), QTime(0, 0)), comment});
    services_.dialogs.information(
        this, QStringLiteral("\r\n Los datos del CD se guardaron correctamente \r\n"));
    Limpiar();
}

void TForm2::SpeedButton2Click() {
    close();
}
