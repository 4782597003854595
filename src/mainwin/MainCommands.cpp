// What the main window's buttons, menu items and icons do (the tools are in Herramientas.cpp,
// the queries page's own lists in QueriesPage.cpp).
#include "mainwin/cds_.h"

#include "editors/ACd.h"
#include "editors/AProg.h"
#include "editors/CatalogarDisco.h"
#include "editors/MCD.h"
#include "editors/MProg.h"
#include "editors/verdatos.h"
#include "mainwin/CatalogueFolder.h"
#include "reports/CatalogueSearch.h"
#include "reports/Estadisticas.h"
#include "reports/ExportarCatalogo.h"
#include "reports/ImportarCsv.h"
#include "reports/ProgramasRepetidos.h"
#include "store/catalogue/Modulo.h"
#include "store/schema/Schema.h"
#include "utilities/backup.h"
#include "utilities/exportar.h"
#include "widgets/DBGrid.h"

#include <QTabWidget>

void TForm1::openModal(QDialog *window) {
    if (window)
        services_.modal.open(window);
}

void TForm1::SpeedButton1Click(QObject *) {
    openModal(windows_.newCd);
}

void TForm1::SpeedButton2Click(QObject *) {
    store::TableCursor &discos = data_.TDiscos;
    if (discos.RecordCount() == 0)
        return;
    if (services_.dialogs.confirm(this, QStringLiteral("\r\n Confirma la eliminación ?")))
        discos.DeleteRow();
}

void TForm1::SpeedButton3Click(QObject *) {
    windows_.modifyCd->showStoredDate(
        data_.TDiscos.Fields(store::schema::cds::Date).AsDateTime().date());
    openModal(windows_.modifyCd);
}

void TForm1::SpeedButton4Click(QObject *) {
    openModal(windows_.newProgram);
}

void TForm1::SpeedButton5Click(QObject *) {
    store::TableCursor &programas = data_.TProgramas;
    if (programas.RecordCount() == 0)
        return;
    // The joined view is closed before the question and opened again whatever the answer.
    data_.writingPrograms([&] {
        if (services_.dialogs.confirm(this, QStringLiteral("\r\n Confirma la eliminación ?")))
            programas.DeleteRow();
    });
}

void TForm1::SpeedButton6Click(QObject *) {
    openModal(windows_.modifyProgram);
}

void TForm1::NuevoCd1Click(QObject *Sender) {
    PageControl1->setCurrentWidget(TabSheet1);
    SpeedButton1Click(Sender);
}

void TForm1::NuevoPrograma1Click(QObject *Sender) {
    PageControl1->setCurrentWidget(TabSheet2);
    SpeedButton4Click(Sender);
}

void TForm1::CatalogarDisco1Click(QObject *) {
    openModal(windows_.discCatalogue);
}

void TForm1::AbrirCatalogo1Click(QObject *) {
    const QByteArray folder = chooseCatalogueFolder(services_, this);
    if (!folder.isEmpty())
        emit catalogueChosen(folder);
}

void TForm1::openRecent(const QByteArray &folder) {
    // It may have lost its catalogue since the menu was shown: then it is offered one.
    if (prepareCatalogueFolder(folder, services_, this) == FolderReady::Ready)
        emit catalogueChosen(folder);
}

void TForm1::Estadisticas1Click(QObject *) {
    if (!estadisticas_)
        estadisticas_ = new TFormEstadisticas(services_, data_, this);
    estadisticas_->refresh();
    openModal(estadisticas_);
}

void TForm1::Repetidos1Click(QObject *) {
    if (!repetidos_)
        repetidos_ = new TFormRepetidos(
            services_, data_,
            [this](qint64 program) {
                // The programs page's own editor, on that program's row.
                if (data_.TProgramas.FindRow(store::schema::field(store::schema::programs::Number),
                                             program, false))
                    SpeedButton6Click(DBGrid3);
            },
            this);
    repetidos_->refresh();
    openModal(repetidos_);
}

void TForm1::BuscarTodo1Click(QObject *) {
    if (!buscarTodo_)
        buscarTodo_ = new CatalogueSearch(services_, data_, this);
    // It stays open beside the main window, as the help does.
    buscarTodo_->show();
    buscarTodo_->raise();
    buscarTodo_->activateWindow();
}

void TForm1::ExportarCatalogo1Click(QObject *) {
    if (!exportarCatalogo_)
        exportarCatalogo_ = new TFormExportarCatalogo(services_, data_, this);
    openModal(exportarCatalogo_);
}

void TForm1::ImportarCsv1Click(QObject *) {
    const QByteArray file = services_.dialogs.chooseFileToOpen(
        this, QStringLiteral("Importar desde CSV"),
        QStringLiteral("CSV (*.csv *.txt);;Todos los archivos (*)"));
    if (file.isEmpty())
        return;
    // A window per file: nothing of an earlier file's choices is left over.
    TFormImportarCsv window(services_, data_, this);
    window.load(file);
    openModal(&window);
}

void TForm1::Salir1Click(QObject *) {
    close();
}

void TForm1::CDs1Click(QObject *) {
    PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::Programas1Click(QObject *) {
    PageControl1->setCurrentWidget(TabSheet2);
}

void TForm1::Consultas1Click(QObject *) {
    PageControl1->setCurrentWidget(TabSheet3);
}

void TForm1::ExportarProgClick(QObject *) {
    openModal(windows_.exportList);
}

void TForm1::RepararBasededatos1Click(QObject *) {
    openModal(windows_.backup);
}

void TForm1::VerProgClick(QObject *) {
    openModal(windows_.programDetails);
}

void TForm1::NavegarClick(QObject *) {
    const QString link = data_.TProgDisc.Fields(store::schema::joined::Link).AsString();
    if (link.isEmpty())
        return;
    services_.shell.open(this, link, QString(), platform::Shell::Normal);
}
