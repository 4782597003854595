#include "ExportarCatalogo.h"

#include "CatalogueCsv.h"
#include "Guard.h"
#include "Modulo.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

TFormExportarCatalogo::TFormExportarCatalogo(platform::Services services, TDataModule2 &data,
                                             QWidget *parent)
    : QDialog(parent)
    , services_(services)
    , data_(data) {
    setObjectName(QStringLiteral("FormExportarCatalogo"));
    setWindowTitle(QStringLiteral("Exportar catálogo"));
    auto *layout = new QVBoxLayout(this);
    auto *what = new QGroupBox(QStringLiteral("Qué se exporta"), this);
    auto *whatLayout = new QVBoxLayout(what);
    Todo = new QRadioButton(QStringLiteral("Todo el catálogo: cada CD y cada programa"), what);
    Todo->setObjectName(QStringLiteral("Todo"));
    Consulta = new QRadioButton(
        QStringLiteral("Las filas de Consultas, en su orden y con su filtro de CD"), what);
    Consulta->setObjectName(QStringLiteral("Consulta"));
    Todo->setChecked(true);
    whatLayout->addWidget(Todo);
    whatLayout->addWidget(Consulta);
    layout->addWidget(what);
    auto *format = new QLabel(
        QStringLiteral("Formato: CSV (UTF-8, separado por comas), para abrir con una hoja de "
                       "cálculo o importar en otro catálogo de Vadrel."),
        this);
    format->setWordWrap(true);
    layout->addWidget(format);
    auto *buttons = new QHBoxLayout;
    auto *write = new QPushButton(QStringLiteral("Exportar ..."), this);
    write->setObjectName(QStringLiteral("Exportar"));
    write->setDefault(true);
    auto *close = new QPushButton(QStringLiteral("Cerrar"), this);
    close->setObjectName(QStringLiteral("Cerrar"));
    buttons->addStretch();
    buttons->addWidget(write);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    platform::connectGuarded(write, &QPushButton::clicked, this, [this] { exportChosen(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormExportarCatalogo::exportChosen() {
    const QString suggested =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
        (Todo->isChecked() ? QStringLiteral("/catalogo.csv") : QStringLiteral("/consulta.csv"));
    const QByteArray chosen =
        services_.dialogs.chooseFileToSave(this, QStringLiteral("Exportar catálogo"), suggested,
                                           QStringLiteral("CSV (*.csv);;Todos los archivos (*)"));
    if (chosen.isEmpty())
        return;
    const QString file = QFile::decodeName(chosen);
    if (Todo->isChecked()) {
        store::writeCatalogueCsv(data_.ADOConnection, file, services_.files);
    } else {
        // The walk leaves the view on its last row: the queries page gets its row back.
        store::TableCursor &view = data_.TProgDisc;
        const int row = view.currentIndex();
        store::writeCatalogueCsv(view, file, services_.files);
        if (row >= 0 && row < view.RecordCount())
            view.moveTo(row);
    }
    services_.dialogs.information(
        this,
        QStringLiteral(" El catálogo se exportó en \"%1\" ").arg(QDir::toNativeSeparators(file)));
    accept();
}
