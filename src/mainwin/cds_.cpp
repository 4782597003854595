#include "mainwin/cds_.h"

#include "mainwin/ErrorMessages.h"
#include "mainwin/ReadingStatus.h"
#include "platform/Guard.h"
#include "platform/Look.h"
#include "reports/CatalogueSearch.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTabWidget>

namespace {

const QString kCaption = QStringLiteral("Vadrel v1.0");

} // namespace

TForm1::TForm1(platform::Services services, TDataModule2 &data,
               const MakeSecondaryWindows &makeWindows, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint)
    , services_(services)
    , data_(data) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    buildPages();
    buildMenu();
    buildStatusBar();
    // The client area (pages and status bar) is 729 x 517; the menu bar comes on top of it.
    setFixedSize(729, 517 + menuBar()->sizeHint().height());
    placeWindow();
    FormCreate();
    bindData();
    wireGrids();
    showCatalogueState();
    windows_ = makeWindows(*this);
}

TForm1::~TForm1() {
    platform::uninstallErrorHandler(this);
}

void TForm1::buildStatusBar() {
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        statusPanels[i] = new QLabel(bar);
        statusPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        statusPanels[i]->setFrameShape(QFrame::Panel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
    }
    statusPanels[0]->setFixedWidth(100);
    statusPanels[0]->setAlignment(Qt::AlignCenter);
    statusPanels[0]->setText(kCaption);
    bar->addWidget(statusPanels[0]);
    bar->addWidget(statusPanels[1], 1);
    bar->addPermanentWidget(new ReadingStatus(data_.Reads,
                                              {{&data_.TProgramas, QStringLiteral("los programas")},
                                               {&data_.TProgDisc, QStringLiteral("las consultas")}},
                                              bar));
}

QString TForm1::statusText(int panel) const {
    return panel >= 0 && panel < 2 ? statusPanels[panel]->text() : QString();
}

void TForm1::bindData() {
    DBGrid2->setDataSource(&data_.DataDiscos);
    DBMemo1->setDataSource(&data_.DataDiscos);
    DBMemo1->setDataField(store::schema::field(store::schema::cds::Comment));
    DBGrid3->setDataSource(&data_.DataProg);
    DBGrid1->setDataSource(&data_.DataProgDisc);
    DBMemo2->setDataSource(&data_.DataProg);
    DBMemo2->setDataField(store::schema::field(store::schema::programs::Comment));
    for (store::TDataSource *source : {&data_.DataDiscos, &data_.DataProg, &data_.DataProgDisc})
        connect(source, &store::TDataSource::errorRaised, this,
                [this, source](std::exception_ptr error) { TratarErrores(source, error); });
}

void TForm1::FormCreate() {
    platform::installErrorHandler(
        [this](QObject *sender, std::exception_ptr error) { TratarErrores(sender, error); }, this);
    // A server's catalogue is named by its address, without the password.
    statusPanels[1]->setText(QStringLiteral(" Origen de datos :  \" ") +
                             (data_.onServer() ? data_.ADOConnection.dataSource()
                                               : TDataModule2::Ruta() + QDir::separator()) +
                             QStringLiteral(" \""));
    PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::FormClose() {
    data_.ADOConnection.setConnected(false);
}

void TForm1::closeEvent(QCloseEvent *event) {
    rememberPlace();
    platform::guarded(this, [this] { FormClose(); });
    event->accept();
}

void TForm1::showCatalogueState(bool attempted) {
    const bool open = data_.TDiscos.Active();
    for (QAction *action : catalogueActions_)
        action->setEnabled(open);
    for (QWidget *control : catalogueWidgets_)
        control->setEnabled(open);
    if (!attempted)
        statusPanels[1]->setText(QStringLiteral(" Ningún catálogo abierto"));
    // What it found belongs to the catalogue it read.
    if (buscarTodo_)
        buscarTodo_->hide();
}

void TForm1::TratarErrores(QObject *, std::exception_ptr E) {
    services_.dialogs.error(this, errorMessage(E));
}

void TForm1::extraercds(QComboBox *combo, store::TableCursor &cursor) {
    // The bound grid and comment box need not follow every row: they are told once, at the end.
    cursor.DisableControls();
    const auto enable = qScopeGuard([&] { cursor.EnableControls(); });
    QStringList numbers;
    cursor.GoFirst();
    while (!cursor.AtEnd()) {
        // The stored number as decimal text, whole even past the 32-bit range.
        numbers += cursor.Fields(store::schema::cds::Number).AsString();
        cursor.GoNext();
    }
    combo->addItems(numbers);
}

bool TForm1::Validar(const QString &text, int maxLength) {
    return text.size() <= maxLength && store::parseWholeNumber(text).has_value();
}
