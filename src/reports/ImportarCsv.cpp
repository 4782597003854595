#include "reports/ImportarCsv.h"

#include "platform/Guard.h"
#include "platform/LongWork.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "store/exchange/CsvStream.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
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
// Lists beyond these would make a file of thousands of columns unusable (and slow to show):
// the columns with a guessed field come first, then those with a title or content; the rest are
// named as not imported.
constexpr int kMostLists = 40;
constexpr int kNamedLeftOut = 10;

QString counted(qint64 count, const char *one, const char *many) {
    return store::csv::counted(count, one, many);
}
// "«A», «B» y «C»".
QString listed(const QStringList &names, qint64 more) {
    QStringList quoted;
    for (const QString &name : names)
        quoted << QStringLiteral("«%1»").arg(name);
    if (more > 0)
        quoted << QStringLiteral("%1 más").arg(more);
    const QString last = quoted.size() > 1 ? quoted.takeLast() : QString();
    return quoted.join(QStringLiteral(", ")) +
           (last.isEmpty() ? QString() : QStringLiteral(" y ") + last);
}

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
    resize(900, 640);
    platform::openOverOpener(this, &services_.preferences);
    auto *layout = new QVBoxLayout(this);
    auto *reading = new QHBoxLayout;
    Codificacion = new QComboBox(this);
    Codificacion->setObjectName(QStringLiteral("Codificacion"));
    for (store::CsvEncoding encoding : store::kCsvEncodings)
        Codificacion->addItem(store::encodingName(encoding));
    auto *encodingLabel = new QLabel(QStringLiteral("Codificación:"), this);
    encodingLabel->setBuddy(Codificacion);
    reading->addWidget(encodingLabel);
    reading->addWidget(Codificacion);
    Titulos = new QCheckBox(QStringLiteral("La primera fila tiene los títulos"), this);
    Titulos->setObjectName(QStringLiteral("Titulos"));
    reading->addSpacing(16);
    reading->addWidget(Titulos);
    reading->addStretch(1);
    layout->addLayout(reading);
    auto *again = new QHBoxLayout;
    Repetidas = new QComboBox(this);
    Repetidas->setObjectName(QStringLiteral("Repetidas"));
    Repetidas->addItems({QStringLiteral("No importarlas"), QStringLiteral("Importarlas de nuevo")});
    auto *againLabel = new QLabel(
        QStringLiteral("¿Qué hacer con las filas que ya están en el catálogo (el mismo CD, "
                       "programa y versión)?"),
        this);
    againLabel->setBuddy(Repetidas);
    again->addWidget(againLabel);
    again->addWidget(Repetidas);
    again->addStretch(1);
    layout->addLayout(again);
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
    auto problemTable = [&](const char *name, const QString &title) {
        layout->addWidget(new QLabel(title + QStringLiteral(":"), this));
        QTableWidget *made = table(name, title, this);
        made->setColumnCount(2);
        made->setHorizontalHeaderLabels({QStringLiteral("Línea"), QStringLiteral("Motivo")});
        made->horizontalHeader()->setStretchLastSection(true);
        made->verticalHeader()->hide();
        layout->addWidget(made, 2);
        return made;
    };
    Errores = problemTable("Errores", QStringLiteral("Líneas que no se pueden guardar"));
    Avisos = problemTable("Avisos", QStringLiteral("CDs del catálogo que el archivo describe de "
                                                   "otro modo (se dejan como están)"));
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
    platform::connectGuarded(Codificacion, &QComboBox::currentIndexChanged, this,
                             [this] { reread(); });
    platform::connectGuarded(Titulos, &QCheckBox::toggled, this, [this] { reread(); });
    platform::connectGuarded(Repetidas, &QComboBox::currentIndexChanged, this, [this] { check(); });
}

bool TFormImportarCsv::longWork(const QString &text,
                                const std::function<void(const store::CsvProgress &)> &work) {
    platform::LongWork progress(this, windowTitle(), text);
    try {
        work([&](qint64 done, qint64 total) { return progress.step(done, total); });
    } catch (const store::CsvCancelled &) {
        return false;
    }
    return true;
}

store::CsvOptions TFormImportarCsv::options() const {
    store::CsvOptions chosen;
    chosen.encoding = store::kCsvEncodings[std::max(0, Codificacion->currentIndex())];
    chosen.titles = Titulos->isChecked();
    chosen.duplicates =
        Repetidas->currentIndex() == 1 ? store::CsvDuplicates::Add : store::CsvDuplicates::Skip;
    store::CsvMapping mapping;
    mapping.columns.resize(size_t(file_.header.size()));
    for (size_t i = 0; i < Campos.size(); ++i) {
        const int index = Campos[i]->currentIndex();
        if (index > 0)
            mapping.columns[size_t(listed_[i])] = kFields[index - 1].column;
    }
    chosen.mapping = mapping;
    return chosen;
}

void TFormImportarCsv::load(const QByteArray &file) {
    path_ = QFile::decodeName(file);
    cancelled_ = !longWork(QStringLiteral("Leyendo el archivo ..."), [&](const auto &progress) {
        file_ = store::previewCatalogueCsv(path_, {}, kPreviewRows, progress);
    });
    {
        const QSignalBlocker encoding(Codificacion), titles(Titulos);
        Codificacion->setCurrentIndex(int(file_.encoding));
        Titulos->setChecked(file_.titles);
    }
    showColumns();
    check();
}

void TFormImportarCsv::reread() {
    store::CsvOptions chosen;
    chosen.encoding = store::kCsvEncodings[std::max(0, Codificacion->currentIndex())];
    chosen.titles = Titulos->isChecked();
    store::CsvFile read;
    cancelled_ = !longWork(QStringLiteral("Leyendo el archivo ..."), [&](const auto &progress) {
        read = store::previewCatalogueCsv(path_, chosen, kPreviewRows, progress);
    });
    if (!cancelled_)
        file_ = std::move(read);
    showColumns();
    check();
}

void TFormImportarCsv::showColumns() {
    const int columns = int(file_.header.size());
    listed_.clear();
    std::vector<bool> worth(static_cast<size_t>(columns));
    int lists = 0;
    for (int column = 0; column < columns && column < int(file_.mapping.columns.size()); ++column)
        if (file_.mapping.columns[size_t(column)] && lists < kMostLists) {
            worth[size_t(column)] = true;
            ++lists;
        }
    for (int column = 0; column < columns && lists < kMostLists; ++column) {
        bool content = file_.titles && !file_.header[column].isEmpty();
        for (const store::CsvRecord &record : file_.rows)
            content = content || (size_t(column) < record.fields.size() &&
                                  !record.fields[size_t(column)].text.isEmpty());
        if (!worth[size_t(column)] && content) {
            worth[size_t(column)] = true;
            ++lists;
        }
    }
    for (int column = 0; column < columns; ++column)
        if (worth[size_t(column)])
            listed_.push_back(column);

    Vista->clear();
    Vista->setColumnCount(int(listed_.size()));
    Vista->setRowCount(int(file_.rows.size()));
    QStringList titles;
    for (int column : listed_)
        titles << file_.header[column];
    Vista->setHorizontalHeaderLabels(titles);
    // Each column's choice, labelled with the file's own title, four to a row.
    auto *choices = new QWidget;
    auto *grid = new QGridLayout(choices);
    constexpr int kPerRow = 4;
    Campos.clear();
    for (int i = 0; i < int(listed_.size()); ++i) {
        const int column = listed_[size_t(i)];
        auto *choice = new QComboBox(choices);
        choice->setObjectName(QStringLiteral("Campo%1").arg(column));
        choice->addItem(kLeftOut);
        for (const auto &field : kFields)
            choice->addItem(QString::fromUtf16(field.name));
        const std::optional<CsvColumn> guessed = column < int(file_.mapping.columns.size())
                                                     ? file_.mapping.columns[size_t(column)]
                                                     : std::nullopt;
        for (int f = 0; guessed && f < int(std::size(kFields)); ++f)
            if (kFields[f].column == *guessed)
                choice->setCurrentIndex(f + 1);
        platform::connectGuarded(choice, &QComboBox::currentIndexChanged, this,
                                 [this] { check(); });
        auto *label = new QLabel(file_.header[column] + QStringLiteral(" :"), choices);
        label->setBuddy(choice);
        grid->addWidget(label, i / kPerRow, 2 * (i % kPerRow), Qt::AlignRight);
        grid->addWidget(choice, i / kPerRow, 2 * (i % kPerRow) + 1);
        Campos.push_back(choice);
        for (int row = 0; row < Vista->rowCount(); ++row) {
            const store::CsvRecord &record = file_.rows[size_t(row)];
            if (size_t(column) < record.fields.size())
                Vista->setItem(row, i, new QTableWidgetItem(record.fields[size_t(column)].text));
        }
    }
    Eleccion->setWidget(choices); // the last file's choices go with their panel
    for (int row = 0; row < Vista->rowCount(); ++row)
        Vista->setVerticalHeaderItem(
            row, new QTableWidgetItem(QString::number(file_.rows[size_t(row)].line)));
    Vista->resizeColumnsToContents();
}

void TFormImportarCsv::check() {
    store::CsvCheck checked;
    const store::CsvOptions chosen = options();
    // Nothing to check when the reading was cancelled before the file was known.
    if (!file_.header.isEmpty() || file_.binary) {
        cancelled_ =
            !longWork(QStringLiteral("Comprobando las filas ..."), [&](const auto &progress) {
                checked = store::checkCatalogueCsv(&data_.ADOConnection, path_, chosen, progress);
            });
    }
    check_ = std::move(checked);
    auto fill = [](QTableWidget *list, const auto &entries) {
        list->setRowCount(int(entries.size()));
        for (int row = 0; row < int(entries.size()); ++row) {
            list->setItem(row, 0, new QTableWidgetItem(QString::number(entries[size_t(row)].line)));
            list->setItem(row, 1, new QTableWidgetItem(entries[size_t(row)].reason));
        }
    };
    fill(Errores, check_.problems);
    fill(Avisos, check_.changedCds);
    showState();
}

void TFormImportarCsv::showState() {
    const bool skip = Repetidas->currentIndex() == 0;
    const qint64 imported = check_.rows - (skip ? check_.present : 0);
    Importar->setEnabled(!cancelled_ && check_.problemCount == 0 && imported > 0);
    QStringList said;
    if (cancelled_)
        said << QStringLiteral("Se canceló la lectura del archivo; no se importará nada. Cambie "
                               "una elección para leerlo de nuevo.");
    else if (check_.binary)
        said << QStringLiteral("«%1» no es un archivo CSV.").arg(QFileInfo(path_).fileName());
    else if (check_.rows == 0)
        said << QStringLiteral("El archivo no tiene filas para importar.");
    else if (check_.badLines > 0)
        said << QStringLiteral("%1 de %2: no se importará nada hasta %3 en el archivo o en la "
                               "elección de columnas.")
                    .arg(
                        check_.badLines == 1
                            ? QStringLiteral("No se puede guardar 1 línea")
                            : QStringLiteral("No se pueden guardar %1 líneas").arg(check_.badLines))
                    .arg(check_.rows)
                    .arg(check_.badLines == 1 ? QStringLiteral("corregirla")
                                              : QStringLiteral("corregirlas"));
    else if (check_.problemCount > 0) // the file as a whole, not one of its lines
        said << QStringLiteral("No se importará nada: %1.").arg(check_.problems.front().reason);
    else if (imported == 0)
        said << QStringLiteral("No hay filas nuevas para importar.");
    else
        said << (imported == 1 ? QStringLiteral("Se importará 1 línea.")
                               : QStringLiteral("Se importarán %1 líneas.").arg(imported));
    if (check_.problemCount > qint64(check_.problems.size()))
        said << QStringLiteral("La lista muestra los primeros %1 de %2 problemas.")
                    .arg(check_.problems.size())
                    .arg(check_.problemCount);
    if (check_.present > 0)
        said << QStringLiteral("%1 en el catálogo (el mismo CD, programa y versión): %2.")
                    .arg(check_.present == 1
                             ? QStringLiteral("1 fila ya está")
                             : QStringLiteral("%1 filas ya están").arg(check_.present))
                    .arg(skip ? (check_.present == 1 ? QStringLiteral("no se importará")
                                                     : QStringLiteral("no se importarán"))
                              : (check_.present == 1 ? QStringLiteral("se importará de nuevo")
                                                     : QStringLiteral("se importarán de nuevo")));
    if (check_.changedCdCount > 0)
        said << QStringLiteral("El archivo describe de otro modo %1 del catálogo; se deja%2 "
                               "como está%2.")
                    .arg(counted(check_.changedCdCount, "CD", "CDs"),
                         check_.changedCdCount == 1 ? QString() : QStringLiteral("n"));
    if (check_.bareLineFeeds > 0)
        said << QStringLiteral("%1 saltos de línea LF solos; se guardarán como CR LF, como los "
                               "guarda el catálogo.")
                    .arg(check_.bareLineFeeds == 1
                             ? QStringLiteral("1 fila tiene")
                             : QStringLiteral("%1 filas tienen").arg(check_.bareLineFeeds));
    // Never a column dropped without saying so.
    QStringList leftOut;
    qint64 more = 0;
    std::vector<bool> chosen(static_cast<size_t>(file_.header.size()));
    for (size_t i = 0; i < Campos.size(); ++i)
        chosen[size_t(listed_[i])] = Campos[i]->currentIndex() > 0;
    for (int column = 0; column < int(chosen.size()); ++column)
        if (!chosen[size_t(column)] && leftOut.size() < kNamedLeftOut)
            leftOut << file_.header[column];
        else if (!chosen[size_t(column)])
            ++more;
    if (!leftOut.isEmpty() && !check_.binary)
        said << QStringLiteral("No se importa%1 %2: %3.")
                    .arg(leftOut.size() + more == 1 ? QString() : QStringLiteral("n"),
                         leftOut.size() + more == 1 ? QStringLiteral("la columna")
                                                    : QStringLiteral("las columnas"),
                         listed(leftOut, more));
    Estado->setText(said.join(u' '));
}

void TFormImportarCsv::importRows() {
    // Another program may have written since the file was checked: the store checks again.
    store::CsvImported imported;
    const store::CsvOptions chosen = options();
    try {
        if (!longWork(QStringLiteral("Importando ..."), [&](const auto &progress) {
                imported = store::importCatalogueCsv(data_.ADOConnection, path_, chosen, progress);
            })) {
            Estado->setText(QStringLiteral("Se canceló la importación; no se guardó nada."));
            return;
        }
    } catch (const store::CsvRejected &) {
        check();
        return;
    }
    data_.rereadAll();
    QString said = imported.programs == 1
                       ? QStringLiteral("Se importó 1 programa")
                       : QStringLiteral("Se importaron %1 programas").arg(imported.programs);
    said += imported.addedCds.size() == 1
                ? QStringLiteral("; se creó 1 CD")
                : QStringLiteral("; se crearon %1 CDs").arg(imported.addedCds.size());
    if (imported.skipped > 0)
        said += imported.skipped == 1
                    ? QStringLiteral("; 1 fila ya estaba en el catálogo y no se importó")
                    : QStringLiteral("; %1 filas ya estaban en el catálogo y no se importaron")
                          .arg(imported.skipped);
    if (imported.renumbered > 0)
        said += imported.renumbered == 1
                    ? QStringLiteral("; 1 programa repetido recibió un número nuevo")
                    : QStringLiteral("; %1 programas repetidos recibieron números nuevos")
                          .arg(imported.renumbered);
    services_.dialogs.information(this, QStringLiteral(" %1. ").arg(said));
    accept();
}
