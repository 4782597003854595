#include "reports/ExportarCatalogo.h"

#include "platform/Guard.h"
#include "platform/LongWork.h"
#include "platform/Look.h"
#include "reports/ReportPages.h"
#include "store/catalogue/Modulo.h"
#include "store/exchange/CatalogueCsv.h"
#include "store/exchange/CatalogueOds.h"
#include "store/exchange/CatalogueReport.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QGroupBox *choices(const QString &title, std::initializer_list<QRadioButton *> buttons,
                   QWidget *parent) {
    auto *box = new QGroupBox(title, parent);
    auto *layout = new QVBoxLayout(box);
    for (QRadioButton *button : buttons) {
        button->setParent(box);
        layout->addWidget(button);
    }
    buttons.begin()[0]->setChecked(true);
    return box;
}

QRadioButton *option(const char *name, const QString &caption) {
    auto *button = new QRadioButton(caption);
    button->setObjectName(QLatin1String(name));
    return button;
}

// Where files are offered: the documents folder, or the home folder when there is none.
QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists()
               ? documents
               : QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

// What the progress window says while a file is written or pages are made: the rows, and for
// pages the counting pass first and then the page being painted.
class Steps {
public:
    explicit Steps(platform::LongWork &work)
        : work_(work) {}
    store::ExportProgress rows() {
        return [this](qint64 done, qint64 total) {
            const QLocale locale;
            if (!paged_)
                return work_.step(done, total,
                                  QStringLiteral("Exportando: %1 de %2 filas")
                                      .arg(locale.toString(done), locale.toString(total)));
            if (pages_ == 0)
                return work_.step(done, 2 * total, QStringLiteral("Preparando las páginas ..."));
            return work_.step(total + done, 2 * total,
                              QStringLiteral("Página %1 de %2")
                                  .arg(locale.toString(page_), locale.toString(pages_)));
        };
    }
    PageProgress pages() {
        paged_ = true;
        return [this](int page, int pages) {
            page_ = page;
            pages_ = pages;
        };
    }

private:
    platform::LongWork &work_;
    bool paged_ = false;
    int page_ = 0;
    int pages_ = 0;
};

// Keeps the queries page on its row while a report walks the view.
class KeepRow {
public:
    explicit KeepRow(store::TableCursor &view)
        : view_(view)
        , row_(view.currentIndex()) {}
    ~KeepRow() {
        if (row_ >= 0 && row_ < view_.visibleCount() && view_.currentIndex() != row_)
            view_.moveTo(row_);
    }

private:
    store::TableCursor &view_;
    int row_;
};

} // namespace

TFormExportarCatalogo::TFormExportarCatalogo(platform::Services services, TDataModule2 &data,
                                             QWidget *parent)
    : QDialog(parent)
    , services_(services)
    , data_(data) {
    setObjectName(QStringLiteral("FormExportarCatalogo"));
    setWindowTitle(QStringLiteral("Exportar catálogo"));
    platform::openOverOpener(this);
    auto *layout = new QVBoxLayout(this);
    Todo = option("Todo", QStringLiteral("Todo el catálogo: cada CD y cada programa"));
    Consulta = option("Consulta",
                      QStringLiteral("Las filas de Consultas, en su orden y con su filtro de CD"));
    layout->addWidget(choices(QStringLiteral("Qué se exporta"), {Todo, Consulta}, this));
    Csv = option("Csv", QStringLiteral("CSV (UTF-8, separado por comas), para una hoja de "
                                       "cálculo u otro catálogo de Vadrel"));
    Ods = option("Ods", QStringLiteral("Hoja de cálculo ODS, con cada texto tal como está (también "
                                       "versiones como 007 o 1.10)"));
    Html = option("Html", QStringLiteral("Informe HTML, una sección por CD, para leer o imprimir"));
    Pdf = option("Pdf", QStringLiteral("Informe PDF, el mismo informe en páginas A4"));
    layout->addWidget(choices(QStringLiteral("Formato"), {Csv, Ods, Html, Pdf}, this));
    // Spreadsheets read versions such as 007, 1.10 or 3/4 as numbers or dates unless told.
    auto *note = new QLabel(QStringLiteral("Al abrir el CSV en una hoja de cálculo, importe las "
                                           "columnas como Texto para que versiones como 007, "
                                           "1.10 o 3/4 queden tal como están; el formato ODS "
                                           "ya las guarda así."),
                            this);
    note->setObjectName(QStringLiteral("NotaCsv"));
    note->setWordWrap(true);
    layout->addWidget(note);

    auto *buttons = new QHBoxLayout;
    auto *print = new QPushButton(QStringLiteral("Imprimir ..."), this);
    print->setObjectName(QStringLiteral("Imprimir"));
    auto *write = new QPushButton(QStringLiteral("Exportar ..."), this);
    write->setObjectName(QStringLiteral("Exportar"));
    write->setDefault(true);
    auto *close = new QPushButton(QStringLiteral("Cerrar"), this);
    close->setObjectName(QStringLiteral("Cerrar"));
    buttons->addWidget(print);
    buttons->addStretch();
    buttons->addWidget(write);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    platform::connectGuarded(write, &QPushButton::clicked, this, [this] { exportChosen(); });
    platform::connectGuarded(print, &QPushButton::clicked, this, [this] { printChosen(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFormExportarCatalogo::reportTitle() const {
    return Todo->isChecked() ? QStringLiteral("Catálogo de CDs")
                             : QStringLiteral("Programas de la consulta");
}

void TFormExportarCatalogo::exportChosen() {
    const struct {
        QRadioButton *button;
        const char *suffix;
        const char *filter;
    } formats[] = {{Csv, "csv", "CSV (*.csv)"},
                   {Ods, "ods", "Hoja de cálculo ODS (*.ods)"},
                   {Html, "html", "HTML (*.html *.htm)"},
                   {Pdf, "pdf", "PDF (*.pdf)"}};
    const auto &format = *std::find_if(std::begin(formats), std::end(formats),
                                       [](const auto &f) { return f.button->isChecked(); });
    const QString suggested =
        documentsFolder() +
        (Todo->isChecked() ? QStringLiteral("/catalogo.") : QStringLiteral("/consulta.")) +
        QLatin1String(format.suffix);
    const QByteArray chosen = services_.dialogs.chooseFileToSave(
        this, QStringLiteral("Exportar catálogo"), suggested,
        QLatin1String(format.filter) + QStringLiteral(";;Todos los archivos (*)"));
    if (chosen.isEmpty())
        return;
    // The chosen name by its bytes: a folder whose name is not valid text is still written.
    const store::FilePath file(chosen, QFile::decodeName(chosen));
    store::TableCursor &view = data_.TProgDisc;
    KeepRow keep(view);
    platform::LongWork work(this, QStringLiteral("Exportar catálogo"),
                            QStringLiteral("Exportando ..."));
    Steps steps(work);
    const PageProgress pages = Pdf->isChecked() ? steps.pages() : PageProgress();
    const store::ReportSource report =
        Todo->isChecked() ? store::wholeCatalogueReport(data_.ADOConnection, steps.rows())
                          : store::queryReport(view, data_.ADOConnection, steps.rows());
    try {
        if (Csv->isChecked() && Todo->isChecked())
            store::writeCatalogueCsv(data_.ADOConnection, file, services_.files, steps.rows());
        else if (Csv->isChecked())
            store::writeCatalogueCsv(view, file, services_.files, steps.rows());
        else if (Ods->isChecked() && Todo->isChecked())
            store::writeCatalogueOds(data_.ADOConnection, file, services_.files, steps.rows());
        else if (Ods->isChecked())
            store::writeCatalogueOds(view, file, services_.files, steps.rows());
        else if (Html->isChecked())
            store::writeReportHtml(report, reportTitle(), file, services_.files);
        else
            writeReportPdf(report, reportTitle(), file, services_.files, pages);
    } catch (const store::ExportCancelled &) {
        return; // nothing written; the window stays for another choice
    }
    work.finish();
    services_.dialogs.information(this, QStringLiteral(" El catálogo se exportó en \"%1\" ")
                                            .arg(QDir::toNativeSeparators(file.text)));
    accept();
}

void TFormExportarCatalogo::printChosen() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(reportTitle());
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    // Without printers the dialog can only print to a file: offer one in the documents folder
    // rather than in the working folder. (With printers, naming a file would choose that.)
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        printer.setOutputFileName(documentsFolder() + QLatin1Char('/') + reportTitle() +
                                  QStringLiteral(".pdf"));
    if (!services_.dialogs.choosePrinter(this, printer))
        return;
    store::TableCursor &view = data_.TProgDisc;
    KeepRow keep(view);
    platform::LongWork work(this, QStringLiteral("Imprimir catálogo"),
                            QStringLiteral("Preparando las páginas ..."));
    Steps steps(work);
    const PageProgress pages = steps.pages();
    const store::ReportSource report =
        Todo->isChecked() ? store::wholeCatalogueReport(data_.ADOConnection, steps.rows())
                          : store::queryReport(view, data_.ADOConnection, steps.rows());
    bool printed = false;
    try {
        // Printed to a file, the pages are the PDF writer's: whole or not at all, as an export.
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
            writeReportPdf(report, reportTitle(), store::FilePath(printer.outputFileName()),
                           services_.files, pages, printer.pageLayout());
            printed = true;
        } else {
            printed = paintReport(report, reportTitle(), printer, pages);
        }
    } catch (const store::ExportCancelled &) {
        return;
    }
    work.finish();
    if (!printed) {
        services_.dialogs.error(this,
                                QStringLiteral(" No se pudo imprimir en \"%1\" ")
                                    .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                                         : printer.printerName()));
        return;
    }
    accept();
}
