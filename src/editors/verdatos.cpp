#include "verdatos.h"

#include "DBEdit.h"
#include "DBMemo.h"
#include "Guard.h"
#include "Modulo.h"

#include <QGroupBox>
#include <QToolButton>

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent)
    : DialogBase(QStringLiteral("Form5"), QStringLiteral("Ver datos Programa"), QSize(434, 441),
                 parent) {
    store::TDataSource *source = &DataModule2->DataProgDisc;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    const struct {
        DBEdit **box;
        const char *name;
        const char *field;
    } rows[] = {
        {&DBEdit1, "DBEdit1", "NombrePrograma"}, {&DBEdit2, "DBEdit2", "Version"},
        {&DBEdit3, "DBEdit3", "Empresa"},        {&DBEdit4, "DBEdit4", "Licencia"},
        {&DBEdit5, "DBEdit5", "Anio"},           {&DBEdit6, "DBEdit6", "Link"},
        {&DBEdit7, "DBEdit7", "NroDisco"},
    };
    for (const auto &row : rows) {
        *row.box = boundEdit(row.name, source, row.field, GroupBox1);
        (*row.box)->setReadOnly(true); // selectable and copyable, never changed
    }
    DBMemo1 = boundMemo("DBMemo1", source, "Comentario", GroupBox1);
    DBMemo1->setReadOnly(true);
    DBMemo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layRows(GroupBox1, {{QStringLiteral("Programa :"), DBEdit1},
                        {QStringLiteral("Versión :"), DBEdit2},
                        {QStringLiteral("Empresa :"), DBEdit3},
                        {QStringLiteral("Licencia :"), DBEdit4},
                        {QStringLiteral("Año :"), DBEdit5},
                        {QStringLiteral("Link :"), DBEdit6},
                        {QStringLiteral("Nro. CD :"), DBEdit7},
                        {QStringLiteral("Comentario :"), DBMemo1}});

    SpeedButton1 = flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("ACEPTAR"),
                              [this] { SpeedButton1Click(); });
    layFrameAndButtons(GroupBox1, {SpeedButton1});
}

void TForm5::SpeedButton1Click() {
    close();
}
