#include "editors/AProg.h"

#include "editors/MainForm.h"
#include "platform/Guard.h"
#include "store/catalogue/CatalogueWrites.h"
#include "store/catalogue/NextNumber.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <limits>
#include <tuple>

namespace {

QLineEdit *edit(const char *name, QWidget *parent) {
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(std::numeric_limits<int>::max()); // Qt's own limit would cut a long text
    return box;
}

} // namespace

TForm4::TForm4(platform::Services services, store::TableCursor &cds, store::TableCursor &programs,
               CatalogueWrites &catalogue, MainForm &form1, QWidget *parent)
    : DialogBase(QStringLiteral("Form4"), QStringLiteral("Nuevo Programa"), QSize(434, 440), parent)
    , services_(services)
    , cds_(cds)
    , programs_(programs)
    , catalogue_(catalogue)
    , form1_(form1) {
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = edit("Edit1", GroupBox1);
    Edit2 = edit("Edit2", GroupBox1);
    Edit3 = edit("Edit3", GroupBox1);
    ComboBox1 = choiceList("ComboBox1", GroupBox1);
    ComboBox1->addItems(store::schema::licences());
    Edit4 = edit("Edit4", GroupBox1);
    Edit4->setMaxLength(4);
    Edit4->setFixedWidth(60);
    Edit5 = edit("Edit5", GroupBox1);
    ComboBox2 = choiceList("ComboBox2", GroupBox1);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    prepareMemo(Memo1);
    layRows(GroupBox1, {{QStringLiteral("Programa :"), Edit1},
                        {QStringLiteral("Versión :"), Edit2},
                        {QStringLiteral("Empresa :"), Edit3},
                        {QStringLiteral("Licencia :"), ComboBox1},
                        {QStringLiteral("Año :"), Edit4},
                        {QStringLiteral("Link :"), Edit5},
                        {QStringLiteral("Nro. CD :"), ComboBox2},
                        {QStringLiteral("Comentario :"), Memo1}});

    std::tie(SpeedButton1, SpeedButton2) = acceptAndCancel(
        GroupBox1, [this] { SpeedButton1Click(); }, [this] { SpeedButton2Click(); });
}

void TForm4::Limpiar() {
    for (QLineEdit *box : {Edit1, Edit2, Edit3, Edit4, Edit5})
        box->clear();
    Memo1->clear();
    ComboBox1->setCurrentIndex(0);
    ComboBox2->clear();
    form1_.extraercds(ComboBox2, cds_);
    // The CD with the highest number; nothing when no CD is recorded.
    ComboBox2->setCurrentIndex(ComboBox2->count() - 1);
    Edit1->setFocus();
}

void TForm4::FormActivate() {
    Limpiar();
}

void TForm4::SpeedButton1Click() {
    QString errors;
    if (Edit1->text().isEmpty())
        errors += QStringLiteral("- Programa\r\n");
    if (ComboBox2->currentText().isEmpty())
        errors += QStringLiteral("- Nro. CD\r\n");
    if (!Edit4->text().isEmpty()) {
        if (!form1_.Validar(Edit4->text(), 4))
            errors += QStringLiteral("- Año") + QStringLiteral("\r\n");
    } else {
        Edit4->setText(QStringLiteral("0"));
    }
    if (!errors.isEmpty()) {
        services_.dialogs.error(
            this, QStringLiteral("\r\n Se encontraron errores en los siguientes campos: \r\n\r\n") +
                      errors);
        return;
    }

    store::NextNumber number;
    auto add = [&] {
        store::TableCursor &programas = programs_;
        number = store::nextNumber(programas, std::numeric_limits<qint64>::max());
        if (!number.next)
            return;
        // The list holds the stored CD numbers as decimal text, whole; the year passed Validar
        // (or is the 0 put there above).
        programas.InsertRow({*number.next, ComboBox2->currentText().toLongLong(), Edit1->text(),
                             Edit2->text(), Edit3->text(), ComboBox1->currentText(),
                             *store::parseWholeNumber(Edit4->text()), Edit5->text(),
                             store::toStoredLines(Memo1->toPlainText())});
    };
    // Another program added a program since the programs were read. The number is never shown,
    // so there is nothing for the user to review: the next free one is taken.
    storeUnlessTaken([&] { catalogue_.writingPrograms(add); },
                     [&] {
                         programs_.reread();
                         catalogue_.writingPrograms(add);
                     });
    if (!number.next) {
        services_.dialogs.error(
            this, QStringLiteral(" No hay un número para el nuevo programa: el último programa "
                                 "tiene el número %1 ")
                      .arg(number.highest));
        return;
    }
    services_.dialogs.information(
        this, QStringLiteral("\r\n Los datos del Programa se guardaron correctamente \r\n"));
    Limpiar();
}

void TForm4::SpeedButton2Click() {
    close();
}
