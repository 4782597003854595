#include "reports/ImportarCsv.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

namespace {

using store::CsvColumn;

// The fields a column may go to, as the choices show them; the first choice leaves it out.
const struct {
    CsvColumn column;
    const char16_t *name;
} kFields[] = {
    {CsvColumn::CdNumber, u"Nro. CD"},
    {CsvColumn::CdDescription, u"Descripción CD"},
    {CsvColumn::CdDate, u"Fecha"},
    {CsvColumn::CdComment, u"Comentario CD"},
    {CsvColumn::ProgramNumber, u"Nro. programa"},
    {CsvColumn::Name, u"Programa"},
    {CsvColumn::Version, u"Versión"},
    {CsvColumn::Publisher, u"Empresa"},
    {CsvColumn::Licence, u"Licencia"},
    {CsvColumn::Year, u"Año"},
    {CsvColumn::Link, u"Link"},
    {CsvColumn::Comment, u"Comentario"},
};
const QString kLeftOut = QStringLiteral("(no se importa)");
// Enough to recognise the file; the check reads every line.
constexpr int kPreviewRows = 20;

QTableWidget *table(const char *name, const QString &accessibleName, QWidget *parent) {
    auto *made = new QTableWidget(parent);
    made->setObjectName(QLatin1String(name));
    made->setAccessibleName(accessibleName);
    made->setEditTriggers(QAbstractItemView::NoEditTriggers);
    made->setSelectionBehavior(QAbstractItemView::SelectRows);
    return made;
}

} // namespace

TFormImportarCsv::TFormImportarCsv(platform::Services services, TDataModule2 &data, QWidget *parent)
    : QDialog(parent)
    , services_(services)
    , data_(data) {
    setObjectName(QStringLiteral("FormImportarCsv"));
    setWindowTitle(QStringLiteral("Importar desde CSV"));
    resize(860, 560);
    platform::openOverOpener(this, &services_.preferences);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Elija a qué dato va cada columna del archivo; debajo, sus primeras filas."),
        this));
    // Beside the preview rather than inside it: a list inside a table's cell is out of reach of
    // screen readers.
    Eleccion = new QScrollArea(this);
    Eleccion->setObjectName(QStringLiteral("Eleccion"));
    Eleccion->setWidgetResizable(true);
    Eleccion->setFrameShape(QFrame::NoFrame);
    Eleccion->setMaximumHeight(120);
    layout->addWidget(Eleccion, 1);
    Vista = table("Vista", QStringLiteral("Primeras filas del archivo"), this);
    layout->addWidget(Vista, 3);
    layout->addWidget(new QLabel(QStringLiteral("Líneas que no se pueden guardar:"), this));
    Errores = table("Errores", QStringLiteral("Líneas que no se pueden guardar"), this);
    Errores->setColumnCount(2);
    Errores->setHorizontalHeaderLabels({QStringLiteral("Línea"), QStringLiteral("Motivo")});
    Errores->horizontalHeader()->setStretchLastSection(true);
    Errores->verticalHeader()->hide();
    layout->addWidget(Errores, 2);
    auto *bottom = new QHBoxLayout;
    Estado = new QLabel(this);
    Estado->setObjectName(QStringLiteral("Estado"));
    Estado->setWordWrap(true);
    bottom->addWidget(Estado, 1);
    Importar = new QPushButton(QStringLiteral("Importar"), this);
    Importar->setObjectName(QStringLiteral("Importar"));
    auto *cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setObjectName(QStringLiteral("Cancelar"));
    bottom->addWidget(Importar);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    platform::connectGuarded(Importar, &QPushButton::clicked, this, [this] { importRows(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormImportarCsv::load(const QByteArray &file) {
    file_ = store::readCatalogueCsvFile(QFile::decodeName(file));
    const int columns = int(file_.header.size());
    Vista->clear();
    Vista->setColumnCount(columns);
    Vista->setRowCount(std::min<int>(kPreviewRows, int(file_.rows.size())));
    Vista->setHorizontalHeaderLabels(file_.header);
    // Each column's choice, labelled with the file's own title, four to a row.
    auto *choices = new QWidget;
    auto *grid = new QGridLayout(choices);
    constexpr int kPerRow = 4;
    Campos.clear();
    for (int column = 0; column < columns; ++column) {
        auto *choice = new QComboBox(choices);
        choice->setObjectName(QStringLiteral("Campo%1").arg(column));
        choice->addItem(kLeftOut);
        for (const auto &field : kFields)
            choice->addItem(QString::fromUtf16(field.name));
        const std::optional<CsvColumn> guessed = column < int(file_.mapping.columns.size())
                                                     ? file_.mapping.columns[size_t(column)]
                                                     : std::nullopt;
        for (int i = 0; guessed && i < int(std::size(kFields)); ++i)
            if (kFields[i].column == *guessed)
                choice->setCurrentIndex(i + 1);
        platform::connectGuarded(choice, &QComboBox::currentIndexChanged, this,
                                 [this] { check(); });
        auto *label = new QLabel(file_.header[column] + QStringLiteral(" :"), choices);
        label->setBuddy(choice);
        grid->addWidget(label, column / kPerRow, 2 * (column % kPerRow), Qt::AlignRight);
        grid->addWidget(choice, column / kPerRow, 2 * (column % kPerRow) + 1);
        Campos.push_back(choice);
    }
    Eleccion->setWidget(choices); // the last file's choices go with their panel
    for (int row = 0; row < Vista->rowCount(); ++row) {
        const store::CsvRecord &record = file_.rows[size_t(row)];
        Vista->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(record.line)));
        for (int column = 0; column < columns && column < int(record.fields.size()); ++column)
            Vista->setItem(row, column, new QTableWidgetItem(record.fields[size_t(column)].text));
    }
    Vista->resizeColumnsToContents();
    check();
}

store::CsvMapping TFormImportarCsv::mapping() const {
    store::CsvMapping chosen;
    for (const QComboBox *choice : Campos) {
        const int index = choice->currentIndex();
        chosen.columns.push_back(index > 0 ? std::optional(kFields[index - 1].column)
                                           : std::nullopt);
    }
    return chosen;
}

void TFormImportarCsv::check() {
    const std::vector<store::CsvProblem> problems = store::checkCsvRows(file_.rows, mapping());
    Errores->setRowCount(int(problems.size()));
    for (int row = 0; row < int(problems.size()); ++row) {
        Errores->setItem(row, 0, new QTableWidgetItem(QString::number(problems[size_t(row)].line)));
        Errores->setItem(row, 1, new QTableWidgetItem(problems[size_t(row)].reason));
    }
    Importar->setEnabled(problems.empty() && !file_.rows.empty());
    if (file_.rows.empty())
        Estado->setText(QStringLiteral("El archivo no tiene filas para importar."));
    else if (!problems.empty()) {
        // A line may have several faults; it is counted once.
        std::set<int> lines;
        for (const store::CsvProblem &problem : problems)
            lines.insert(problem.line);
        Estado->setText(QStringLiteral("%1 de %2 líneas no se pueden guardar; no se importará "
                                       "nada hasta corregirlas en el archivo o en la elección "
                                       "de columnas.")
                            .arg(lines.size())
                            .arg(file_.rows.size()));
    } else
        Estado->setText(QStringLiteral("Se importarán %1 líneas.").arg(file_.rows.size()));
}

void TFormImportarCsv::importRows() {
    // Another program may have written since the file was checked: the store checks again.
    store::CsvImported imported;
    try {
        imported = store::importCatalogueCsv(data_.ADOConnection, file_.rows, mapping());
    } catch (const store::CsvRejected &rejected) {
        Q_UNUSED(rejected);
        check();
        return;
    }
    data_.rereadAll();
    services_.dialogs.information(this,
                                  QStringLiteral(" Se importaron %1 programas; se crearon %2 CDs. ")
                                      .arg(imported.programs)
                                      .arg(imported.addedCds.size()));
    accept();
}
