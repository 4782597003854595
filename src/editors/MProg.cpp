#include "editors/MProg.h"

#include "editors/MainForm.h"
#include "platform/Guard.h"
#include "store/catalogue/CatalogueWrites.h"
#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/schema/Schema.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QComboBox>
#include <QGroupBox>
#include <QToolButton>
#include <tuple>

namespace schema = store::schema;

TForm6::TForm6(platform::Services services, store::TDataSource &programs, store::TableCursor &cds,
               CatalogueWrites &catalogue, MainForm &form1, QWidget *parent)
    : DialogBase(QStringLiteral("Form6"), QStringLiteral("Modificación Programa"), QSize(432, 439),
                 parent)
    , services_(services)
    , programs_(*programs.DataSet())
    , cds_(cds)
    , catalogue_(catalogue)
    , form1_(form1) {
    store::TDataSource *source = &programs;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto bound = [&](const char *name, schema::programs::Field field) {
        return boundEdit(name, source, schema::field(field), GroupBox1);
    };
    DBEdit1 = bound("DBEdit1", schema::programs::Name);
    DBEdit2 = bound("DBEdit2", schema::programs::Version);
    DBEdit3 = bound("DBEdit3", schema::programs::Publisher);
    ComboBox1 = choiceList("ComboBox1", GroupBox1); // not bound
    ComboBox1->addItems(schema::licences());
    ComboBox1->setCurrentIndex(-1);
    DBEdit5 = bound("DBEdit5", schema::programs::Year);
    DBEdit5->setFixedWidth(60);
    DBEdit6 = bound("DBEdit6", schema::programs::Link);
    ComboBox2 = choiceList("ComboBox2", GroupBox1);
    DBMemo1 = boundMemo("DBMemo1", source, schema::field(schema::programs::Comment), GroupBox1);
    // Never seen: they show the stored licence and CD to the activation and carry the chosen
    // ones into the row just before the post.
    DBEdit4 = bound("DBEdit4", schema::programs::Licence);
    DBEdit4->hide();
    DBEdit7 = bound("DBEdit7", schema::programs::Cd);
    DBEdit7->hide();

    layRows(GroupBox1, {{QStringLiteral("Programa :"), DBEdit1},
                        {QStringLiteral("Versión :"), DBEdit2},
                        {QStringLiteral("Empresa :"), DBEdit3},
                        {QStringLiteral("Licencia :"), ComboBox1},
                        {QStringLiteral("Año :"), DBEdit5},
                        {QStringLiteral("Link :"), DBEdit6},
                        {QStringLiteral("Nro. CD :"), ComboBox2},
                        {QStringLiteral("Comentario :"), DBMemo1}});
    setTabOrder(DBMemo1, DBEdit4);
    setTabOrder(DBEdit4, DBEdit7);

    std::tie(SpeedButton1, SpeedButton2) = acceptAndCancel(
        GroupBox1, [this] { SpeedButton1Click(); }, [this] { SpeedButton2Click(); });
    editing_ = {&programs_,
                QStringLiteral("\r\n No hay ningún programa para modificar: el catálogo todavía "
                               "no tiene programas. \r\n"),
                schema::table(schema::programs::table),
                QStringLiteral("the program is no longer in the file"),
                {DBEdit1, DBEdit2, DBEdit3, DBEdit5, DBEdit6},
                DBMemo1};
}

// A stored licence or CD that no entry matches leaves its list without a selection, and
// "ACEPTAR" then keeps the stored value: the list never writes an empty value, nor one left from
// an earlier opening.
void TForm6::FormActivate() {
    ComboBox1->setCurrentIndex(schema::licences().indexOf(DBEdit4->text())); // exact, -1 if none
    ComboBox2->clear();
    form1_.extraercds(ComboBox2, cds_);
    ComboBox2->setCurrentIndex(-1);
    const QString cd = DBEdit7->text();
    for (int i = 0; i < ComboBox2->count() && !cd.isEmpty(); ++i) {
        if (ComboBox2->itemText(i) == cd) {
            ComboBox2->setCurrentIndex(i);
            break;
        }
    }
    DBEdit1->setFocus();
    editing_.gone = false;
}

void TForm6::SpeedButton1Click() {
    const auto named = [this] {
        if (!DBEdit1->text().isEmpty())
            return true;
        services_.dialogs.error(this,
                                QStringLiteral("\r\n Debe ingresar un nombre de Programa \r\n"));
        return false;
    };
    saveRowEdit(editing_, services_.dialogs, named, [this] {
        catalogue_.writingPrograms([this] {
            programs_.EditRow();
            if (ComboBox1->currentIndex() >= 0)
                DBEdit4->setText(ComboBox1->currentText());
            if (ComboBox2->currentIndex() >= 0)
                DBEdit7->setText(ComboBox2->currentText());
            programs_.PostRow();
        });
    });
}

void TForm6::SpeedButton2Click() {
    close();
}

void TForm6::FormClose() {
    programs_.CancelRow();
}
