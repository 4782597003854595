#include "verdatos.h"

#include "DBEdit.h"
#include "DBMemo.h"
#include "Guard.h"
#include "Modulo.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent)
    : DialogBase(QStringLiteral("Form5"), QStringLiteral("Ver datos Programa"), QSize(434, 441),
                 parent) {
    store::TDataSource *source = &DataModule2->DataProgDisc;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(GroupBox1);
    const struct {
        DBEdit **box;
        const char *name;
        const char *label;
        const char *field;
    } rows[] = {
        {&DBEdit1, "DBEdit1", "Programa :", "NombrePrograma"},
        {&DBEdit2, "DBEdit2", "Versión :", "Version"},
        {&DBEdit3, "DBEdit3", "Empresa :", "Empresa"},
        {&DBEdit4, "DBEdit4", "Licencia :", "Licencia"},
        {&DBEdit5, "DBEdit5", "Año :", "Anio"},
        {&DBEdit6, "DBEdit6", "Link :", "Link"},
        {&DBEdit7, "DBEdit7", "Nro. CD :", "NroDisco"},
    };
    QWidget *previous = nullptr;
    int line = 0;
    for (const auto &row : rows) {
        auto *box = new DBEdit(GroupBox1);
        box->setObjectName(QLatin1String(row.name));
        box->setReadOnly(true); // selectable and copyable, never changed
        box->setDataSource(source);
        box->setDataField(QLatin1String(row.field));
        *row.box = box;
        grid->addWidget(boldLabel(QString::fromUtf8(row.label), box, GroupBox1), line, 0);
        grid->addWidget(box, line++, 1);
        if (previous)
            setTabOrder(previous, box);
        previous = box;
    }
    DBMemo1 = new DBMemo(GroupBox1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setReadOnly(true);
    DBMemo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    DBMemo1->setTabChangesFocus(true);
    DBMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setDataSource(source);
    DBMemo1->setDataField(QStringLiteral("Comentario"));
    QLabel *comment = boldLabel(QStringLiteral("Comentario :"), DBMemo1, GroupBox1);
    comment->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(comment, line, 0);
    grid->addWidget(DBMemo1, line, 1);
    grid->setRowStretch(line, 1);
    setTabOrder(previous, DBMemo1);

    SpeedButton1 = flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("ACEPTAR"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(SpeedButton1);
    connectGuarded(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
}

void TForm5::SpeedButton1Click() {
    close();
}
