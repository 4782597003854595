#include "editors/verdatos.h"

#include "platform/Guard.h"
#include "store/cursor/DataSource.h"
#include "store/schema/Schema.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QGroupBox>
#include <QToolButton>

namespace schema = store::schema;

TForm5::TForm5(store::TDataSource &joined, QWidget *parent)
    : DialogBase(QStringLiteral("Form5"), QStringLiteral("Ver datos Programa"), QSize(434, 441),
                 parent) {
    store::TDataSource *source = &joined;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    const struct {
        DBEdit **box;
        const char *name;
        schema::joined::Field field;
    } rows[] = {
        {&DBEdit1, "DBEdit1", schema::joined::Name},
        {&DBEdit2, "DBEdit2", schema::joined::Version},
        {&DBEdit3, "DBEdit3", schema::joined::Publisher},
        {&DBEdit4, "DBEdit4", schema::joined::Licence},
        {&DBEdit5, "DBEdit5", schema::joined::Year},
        {&DBEdit6, "DBEdit6", schema::joined::Link},
        {&DBEdit7, "DBEdit7", schema::joined::Cd},
    };
    for (const auto &row : rows) {
        *row.box = boundEdit(row.name, source, schema::field(row.field), GroupBox1);
        (*row.box)->setReadOnly(true); // selectable and copyable, never changed
    }
    DBMemo1 = boundMemo("DBMemo1", source, schema::field(schema::joined::Comment), GroupBox1);
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

    SpeedButton1 = acceptAndCancel(GroupBox1, [this] { SpeedButton1Click(); }).first;
}

void TForm5::SpeedButton1Click() {
    close();
}
