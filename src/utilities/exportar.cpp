#include "utilities/exportar.h"

#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "store/catalogue/ProgramListing.h"
#include "store/files/WorkingDirectory.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <unistd.h>

TForm8::TForm8(platform::Services services, store::TableCursor &joined, QWidget *parent)
    : DialogBase(QStringLiteral("Form8"), QStringLiteral("Exportar ..."), QSize(281, 239), parent)
    , services_(services)
    , joined_(joined) {
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

std::vector<std::pair<QCheckBox *, store::ListingColumn>> TForm8::optionalColumns() const {
    using store::ListingColumn;
    return {{CheckBox2, ListingColumn::Version}, {CheckBox3, ListingColumn::Publisher},
            {CheckBox4, ListingColumn::Licence}, {CheckBox5, ListingColumn::Year},
            {CheckBox6, ListingColumn::Link},    {CheckBox7, ListingColumn::CdNumber},
            {CheckBox8, ListingColumn::Cd}};
}

void TForm8::FormActivate() {
    for (const auto &[box, column] : optionalColumns())
        box->setChecked(false);
}

void TForm8::SpeedButton1Click() {
    std::vector<store::ListingColumn> chosen;
    for (const auto &[box, column] : optionalColumns())
        if (box->isChecked())
            chosen.push_back(column);
    const QString path = TDataModule2::Ruta() + QDir::separator() + QStringLiteral("Listado.txt");
    store::writeProgramListing(joined_, chosen, path, services_.files);

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
