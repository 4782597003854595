#pragma once

#include "platform/Platform.h"

#include <QDialog>

class QChartView;
class QLabel;
class QTabWidget;
class TDataModule2;

// "Ver" > "Estadísticas": the catalogue counted when the window opens. The counts at the top; a
// chart per subject (licences, years, CDs, publishers), each with its numbers in a table beside
// it; "Guardar imagen ..." writes the chart shown as PNG.
class TFormEstadisticas : public QDialog {
    Q_OBJECT
public:
    TFormEstadisticas(platform::Services services, TDataModule2 &data, QWidget *parent = nullptr);

    // Counts the open catalogue again and shows it.
    void refresh();
    // The chart of the page shown, as a PNG file the user chooses.
    void saveImage();

    QTabWidget *Graficos;

private:
    platform::Services services_;
    TDataModule2 &data_;
    QLabel *summary_;
};
