// What users of any desktop program expect of the main window beyond its commands: rows that
// open with Enter or a double-click, Delete on a row, titles that order, column widths and, when
// asked for, the window's place and page kept between runs.
#include "mainwin/cds_.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>

namespace {

using Handler = void (TForm1::*)(QObject *);

const QString kRemember = QStringLiteral("ventana/recordar");
const QString kPlace = QStringLiteral("ventana/posicion");
const QString kPage = QStringLiteral("ventana/pagina");

} // namespace

void TForm1::wireGrids() {
    const struct {
        DBGrid *grid;
        const char *key;
        Handler open;
        Handler remove; // nullptr: the page has no BAJAS
    } grids[] = {
        {DBGrid2, "cds", &TForm1::SpeedButton3Click, &TForm1::SpeedButton2Click},
        {DBGrid3, "programas", &TForm1::SpeedButton6Click, &TForm1::SpeedButton5Click},
        {DBGrid1, "consultas", &TForm1::VerProgClick, nullptr},
    };
    for (const auto &entry : grids) {
        DBGrid *grid = entry.grid;
        grid->rememberWidths(services_.preferences, QLatin1String(entry.key));
        // An empty list, or none open, has no row to act on.
        auto hasRow = [this, grid] {
            const store::TableCursor *cursor =
                grid->DataSource() ? grid->DataSource()->DataSet() : nullptr;
            return data_.TDiscos.Active() && cursor && cursor->Active() &&
                   cursor->RecordCount() > 0;
        };
        platform::connectGuarded(grid, &DBGrid::rowActivated, this,
                                 [this, grid, hasRow, open = entry.open] {
                                     if (hasRow())
                                         (this->*open)(grid);
                                 });
        if (entry.remove)
            platform::connectGuarded(grid, &DBGrid::deleteRequested, this,
                                     [this, grid, hasRow, remove = entry.remove] {
                                         if (hasRow())
                                             (this->*remove)(grid);
                                     });
    }
    // A title orders the list exactly as choosing it in "Ordenado por :" does, which shows it.
    platform::connectGuarded(DBGrid1, &DBGrid::titleClicked, this, [this](int column) {
        if (column < 0 || column >= ComboBox1->count() || !data_.TDiscos.Active())
            return;
        ComboBox1->setCurrentIndex(column);
        ComboBox1Change(ComboBox1);
    });
}

void TForm1::Buscar1Click(QObject *Sender) {
    Consultas1Click(Sender);
    Edit1->setFocus(Qt::ShortcutFocusReason);
    Edit1->selectAll();
}

bool TForm1::remembering() const {
    return services_.preferences.value(kRemember, false).toBool();
}

void TForm1::RecordarVentana1Click(QObject *) {
    const bool on = !remembering();
    services_.preferences.setValue(kRemember, on);
    services_.preferences.sync();
    findChild<QAction *>(QStringLiteral("RecordarVentana1"))->setChecked(on);
}

void TForm1::placeWindow() {
    findChild<QAction *>(QStringLiteral("RecordarVentana1"))->setChecked(remembering());
    const QPoint place = services_.preferences.value(kPlace).toPoint();
    // A place off every screen (a monitor since unplugged) would hide the window.
    if (remembering() && services_.preferences.value(kPlace).isValid() &&
        QGuiApplication::screenAt(place + QPoint(20, 20))) {
        move(place);
        return;
    }
    platform::centreOnFirstShow(this);
}

void TForm1::rememberPlace() {
    if (!remembering())
        return;
    services_.preferences.setValue(kPlace, pos());
    services_.preferences.setValue(kPage, PageControl1->currentIndex());
    services_.preferences.sync();
}

void TForm1::startOnRememberedPage() {
    const int page = services_.preferences.value(kPage, 0).toInt();
    if (remembering() && page > 0 && page < PageControl1->count())
        PageControl1->setCurrentIndex(page);
}
