#include "exportar.h"

#include "Conversions.h"
#include "Guard.h"
#include "Listing.h"
#include "Modulo.h"
#include "ReplacementFile.h"
#include "WorkingDirectory.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <unistd.h>

TForm8 *Form8 = nullptr;

namespace {

// The optional columns in the order of the heading and of every line: box, heading piece, field
// of the joined view (by position) and whether it is read as a whole number.
struct Column {
    QCheckBox *TForm8::*box;
    const char16_t *heading;
    int field;
    bool number;
};
const Column kColumns[] = {
    {&TForm8::CheckBox2, u"Versión      ", 3, false},
    {&TForm8::CheckBox3, u"Empresa      ", 4, false},
    {&TForm8::CheckBox4, u"Licencia      ", 5, false},
    {&TForm8::CheckBox5, u"Año      ", 6, true},
    {&TForm8::CheckBox6, u"Link      ", 7, false},
    {&TForm8::CheckBox7, u"Nro. CD      ", 0, true},
    {&TForm8::CheckBox8, u"CD      ", 1, false},
};
constexpr int kNameField = 2;

} // namespace

TForm8::TForm8(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form8"), QStringLiteral("Exportar ..."), QSize(281, 239), parent)
    , services_(services) {
    GroupBox1 =
        new QGroupBox(QStringLiteral(" Seleccione los campos a incluir en el listado : "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *grid = new QGridLayout(GroupBox1);
    const char16_t *captions[] = {u"Programa", u"Versión", u"Empresa", u"Licencia",
                                  u"Año",      u"Link",    u"Nro. CD", u"CD"};
    QCheckBox **boxes[] = {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                           &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox8};
    for (int i = 0; i < 8; ++i) {
        auto *box = new QCheckBox(QString::fromUtf16(captions[i]), GroupBox1);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        grid->addWidget(box, i % 4, i / 4); // two columns of four
        if (i > 0)
            setTabOrder(*boxes[i - 1], box);
        *boxes[i] = box;
    }
    // The program name is always listed.
    CheckBox1->setChecked(true);
    CheckBox1->setEnabled(false);
    Label1 = new QLabel(QStringLiteral("NOTA: El archivo se generará en la carpeta donde se está "
                                       "ejecutando la aplicación."),
                        GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    grid->addWidget(Label1, 4, 0, 1, 2);

    SpeedButton1 = flatButton(QStringLiteral("SpeedButton1"), QStringLiteral("GENERAR"),
                              [this] { SpeedButton1Click(); });
    SpeedButton2 = flatButton(QStringLiteral("SpeedButton2"), QStringLiteral("CANCELAR"),
                              [this] { SpeedButton2Click(); });
    layFrameAndButtons(GroupBox1, {SpeedButton1, SpeedButton2});
}

void TForm8::FormActivate() {
    for (const Column &column : kColumns)
        (this->*column.box)->setChecked(false);
}

void TForm8::SpeedButton1Click() {
    store::TableCursor &progDisc = DataModule2->TProgDisc;
    std::vector<const Column *> chosen;
    QString heading = QStringLiteral(" Programa      ");
    for (const Column &column : kColumns) {
        if ((this->*column.box)->isChecked()) {
            chosen.push_back(&column);
            heading += QString::fromUtf16(column.heading);
        }
    }
    const QString separator(109, u'-');
    const QString path = TDataModule2::Ruta() + QDir::separator() + QStringLiteral("Listado.txt");

    // Written beside the old listing and put in its place only when whole: a failure leaves the
    // earlier listing as it was.
    store::ReplacementFile file(path, services_.files);
    store::ListingLines lines([&](const QByteArray &bytes) { file.write(bytes); });
    lines.line(QStringLiteral("LISTADO DE PROGRAMAS :"));
    lines.line(separator);
    progDisc.GoFirst();
    for (const QString &text : {heading, separator, QString()})
        lines.line(text);
    // Rows are read by position among the visible rows: the same rows, in the same order, as
    // the walk from the first row to the last, without moving the grid at every one of them.
    const int rows = progDisc.visibleCount();
    // A field stored as the column expects is copied as it is; one of another kind (a view of
    // the file's own making) goes through the usual conversions.
    auto stored = [&](int field, bool number) {
        if (field >= progDisc.fieldCount())
            return false;
        const store::FieldKind kind = progDisc.fieldDef(field).kind;
        return number ? kind == store::FieldKind::Integer
                      : kind == store::FieldKind::Text || kind == store::FieldKind::Memo;
    };
    auto cell = [&](int row, int field, bool number, bool asStored) {
        if (asStored && number) {
            lines.cell(progDisc.numberAt(row, field)); // empty reads as 0
        } else if (asStored) {
            lines.cell(progDisc.utf8At(row, field));
        } else {
            const QString text = progDisc.displayText(row, field);
            if (number)
                lines.cell(qint64(store::parseWholeNumber(text).value_or(0)));
            else
                lines.cell(text.toUtf8().toStdString());
        }
    };
    const bool nameStored = stored(kNameField, false);
    std::vector<bool> asStored;
    for (const Column *column : chosen)
        asStored.push_back(stored(column->field, column->number));
    for (int row = 0; row < rows; ++row) {
        lines.beginRow();
        cell(row, kNameField, false, nameStored);
        for (size_t i = 0; i < chosen.size(); ++i)
            cell(row, chosen[i]->field, chosen[i]->number, asStored[i]);
        lines.endRow();
    }
    lines.finish();
    file.commit();
    progDisc.GoLast(); // where the walk leaves the cursor

    services_.dialogs.information(this,
                                  QStringLiteral("\r\n El Listado de Programas se generó en ") +
                                      path + QStringLiteral(" \r\n"));
    if (::access(store::fileSystemPath(path).constData(), F_OK) == 0 &&
        services_.dialogs.confirm(this, QStringLiteral("\r\n Desea ver el Listado ?\r\n")))
        services_.shell.open(parentWidget(), path, QStringLiteral("open"), platform::Shell::Normal);
}

void TForm8::SpeedButton2Click() {
    close();
}
