#include "cds_.h"

#include "ACd.h"
#include "AProg.h"
#include "Acerca.h"
#include "ClickableImage.h"
#include "Conversions.h"
#include "DBGrid.h"
#include "DBMemo.h"
#include "ErrorMessages.h"
#include "Guard.h"
#include "Look.h"
#include "MCD.h"
#include "MProg.h"
#include "Modulo.h"
#include "ayuda.h"
#include "backup.h"
#include "exportar.h"
#include "verdatos.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

TForm1 *Form1 = nullptr;

namespace {

const QString kCaption = QStringLiteral("Vadrel v1.0");

// The columns of the queries page: what each choice of "Ordenado por :" orders and searches by.
const struct {
    const char *field;
    const char *title;
    int width;
} kQueryColumns[] = {
    {"NroDisco", "Nro. CD", 50},
    {"DescripcionDisco", "CD", 100},
    {"NombrePrograma", "Programa", 200},
    {"Version", "Versión", 80},
    {"Empresa", "Empresa", 80},
    {"Licencia", "Licencia", 80},
    {"Anio", "Año", 30},
    {"Link", "Link", 350},
};
const QString kAll = QStringLiteral("Todos");

// The small coloured panel with a page's 32 x 32 icon; decoration only.
QFrame *iconPanel(const QString &name, const QString &iconName, const QString &icon,
                  QWidget *parent) {
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFixedSize(44, 44);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, QColor(0x3a, 0x6e, 0xa5));
    panel->setPalette(colours);
    auto *picture = new QLabel(panel);
    picture->setObjectName(iconName);
    picture->setPixmap(QPixmap(icon));
    picture->setGeometry(6, 6, 32, 32);
    return panel;
}

} // namespace

TForm1::TForm1(platform::Services services, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint)
    , services_(services) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    buildPages();
    buildMenu();
    buildStatusBar();
    // The client area (pages and status bar) is 729 x 517; the menu bar comes on top of it.
    setFixedSize(729, 517 + menuBar()->sizeHint().height());
    platform::centreOnFirstShow(this);
    FormCreate();
}

TForm1::~TForm1() {
    if (Form1 == this)
        platform::installErrorHandler(nullptr);
}

QWidget *TForm1::buildListPage(const QString &name, const QString &panelName,
                               const QString &iconName, const QString &icon, int firstButton,
                               const QString &gridBox, DBGrid *grid, const QString &memoBox,
                               DBMemo *memo) {
    auto *page = new QWidget;
    page->setObjectName(name);
    auto *layout = new QVBoxLayout(page);

    auto *top = new QHBoxLayout;
    top->addWidget(iconPanel(panelName, iconName, icon, page));

    const QString captions[] = {QStringLiteral("    ALTAS    "), QStringLiteral("    BAJAS    "),
                                QStringLiteral("    MODIFICACIONES    ")};
    const QString pictures[] = {QStringLiteral(":/icons/alta.png"),
                                QStringLiteral(":/icons/baja.png"),
                                QStringLiteral(":/icons/modificar.png")};
    for (int i = 0; i < 3; ++i) {
        auto *button = new QToolButton(page);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(firstButton + i));
        button->setText(captions[i]);
        button->setIcon(QIcon(pictures[i]));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(209, 33);
        platform::setBold(button);
        SpeedButtons[firstButton - 1 + i] = button;
        top->addWidget(button);
    }
    top->addStretch();
    layout->addLayout(top);

    auto *frame = new QGroupBox(page);
    frame->setObjectName(gridBox);
    auto *frameLayout = new QVBoxLayout(frame);
    grid->setParent(frame);
    frameLayout->addWidget(grid);
    layout->addWidget(frame, 3);

    auto *comment = new QGroupBox(QStringLiteral(" Comentario : "), page);
    comment->setObjectName(memoBox);
    auto *commentLayout = new QVBoxLayout(comment);
    memo->setParent(comment);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    commentLayout->addWidget(memo);
    layout->addWidget(comment, 2);
    return page;
}

void TForm1::buildPages() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // Tabs drawn as flat buttons, the chosen one pressed in.
    PageControl1->setDocumentMode(true);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid palette(mid); border-radius: 2px; padding: 4px 14px;"
        " margin: 3px 2px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(midlight); border-style: inset;"
        " border-color: palette(dark); }"));

    DBGrid2 = new DBGrid;
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("Lista de CDs"));
    DBMemo1 = new DBMemo;
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setAccessibleName(QStringLiteral("Comentario del CD"));
    TabSheet1 =
        buildListPage(QStringLiteral("TabSheet1"), QStringLiteral("Panel3"), QStringLiteral("ICD"),
                      QStringLiteral(":/icons/cd.png"), 1, QStringLiteral("GroupBox3"), DBGrid2,
                      QStringLiteral("GroupBox4"), DBMemo1);
    DBGrid2->setColumns({{QStringLiteral("NroDisco"), QStringLiteral("Nro. CD"), 50},
                         {QStringLiteral("DescripcionDisco"), QStringLiteral("CD"), 140},
                         {QStringLiteral("FechaDisco"), QStringLiteral("Fecha"), -1}});

    DBGrid3 = new DBGrid;
    DBGrid3->setObjectName(QStringLiteral("DBGrid3"));
    DBGrid3->setAccessibleName(QStringLiteral("Lista de programas"));
    DBMemo2 = new DBMemo;
    DBMemo2->setObjectName(QStringLiteral("DBMemo2"));
    DBMemo2->setAccessibleName(QStringLiteral("Comentario del programa"));
    TabSheet2 =
        buildListPage(QStringLiteral("TabSheet2"), QStringLiteral("Panel2"),
                      QStringLiteral("IProg"), QStringLiteral(":/icons/programa.png"), 4,
                      QStringLiteral("GroupBox5"), DBGrid3, QStringLiteral("GroupBox6"), DBMemo2);
    DBGrid3->setColumns({{QStringLiteral("NombrePrograma"), QStringLiteral("Programa"), 220},
                         {QStringLiteral("Version"), QStringLiteral("Versión"), 80},
                         {QStringLiteral("Empresa"), QStringLiteral("Empresa"), 80},
                         {QStringLiteral("Licencia"), QStringLiteral("Licencia"), 80},
                         {QStringLiteral("Anio"), QStringLiteral("Año"), 30},
                         {QStringLiteral("Link"), QStringLiteral("Link"), 270}});

    buildQueriesPage();

    PageControl1->addTab(TabSheet1, QStringLiteral(" CDs "));
    PageControl1->addTab(TabSheet2, QStringLiteral(" Programas "));
    PageControl1->addTab(TabSheet3, QStringLiteral(" Consultas "));
    setCentralWidget(PageControl1);
    // The queries page prepares itself each time it is shown, by its tab or by the menu.
    platform::connectGuarded(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (PageControl1->currentWidget() == TabSheet3)
            TabSheet3Show(TabSheet3);
    });

    using Handler = void (TForm1::*)(QObject *);
    const Handler handlers[] = {&TForm1::SpeedButton1Click, &TForm1::SpeedButton2Click,
                                &TForm1::SpeedButton3Click, &TForm1::SpeedButton4Click,
                                &TForm1::SpeedButton5Click, &TForm1::SpeedButton6Click};
    for (int i = 0; i < 6; ++i) {
        QToolButton *button = SpeedButtons[i];
        platform::connectGuarded(
            button, &QToolButton::clicked, this,
            [this, button, handler = handlers[i]] { (this->*handler)(button); });
    }
}

void TForm1::buildQueriesPage() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto *layout = new QVBoxLayout(TabSheet3);

    auto *top = new QHBoxLayout;
    top->addWidget(iconPanel(QStringLiteral("Panel1"), QStringLiteral("IConsulta"),
                             QStringLiteral(":/icons/consulta.png"), TabSheet3));
    top->addSpacing(12);
    auto *verProg = new ClickableImage(QStringLiteral("VerProg"), QStringLiteral(":/icons/ver.png"),
                                       QStringLiteral("Ver datos del Programa"), TabSheet3);
    auto *navegar =
        new ClickableImage(QStringLiteral("Navegar"), QStringLiteral(":/icons/navegar.png"),
                           QStringLiteral("Ir a link del Programa"), TabSheet3);
    auto *exportar =
        new ClickableImage(QStringLiteral("ExportarProg"), QStringLiteral(":/icons/exportar.png"),
                           QStringLiteral("Exportar Listado de Programas"), TabSheet3);
    for (ClickableImage *image : {verProg, navegar, exportar}) {
        top->addWidget(image);
        top->addSpacing(8);
    }
    top->addStretch();
    layout->addLayout(top);

    auto *choices = new QGroupBox(TabSheet3);
    choices->setObjectName(QStringLiteral("GroupBox2"));
    auto *row = new QHBoxLayout(choices);
    auto label = [choices](const char *name, const QString &text, QWidget *buddy) {
        QLabel *l = platform::boldLabel(text, buddy, choices);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    Edit1 = new QLineEdit(choices);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    ComboBox1 = new QComboBox(choices);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (const auto &column : kQueryColumns)
        ComboBox1->addItem(QString::fromUtf8(column.title));
    ComboBox2 = new QComboBox(choices);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItem(kAll);
    ComboBox2->setMinimumContentsLength(6);
    row->addWidget(label("Label2", QStringLiteral("Buscar :"), Edit1));
    row->addWidget(Edit1, 1);
    row->addSpacing(12);
    row->addWidget(label("Label1", QStringLiteral("Ordenado por :"), ComboBox1));
    row->addWidget(ComboBox1);
    row->addSpacing(12);
    row->addWidget(label("Label3", QStringLiteral("CD :"), ComboBox2));
    row->addWidget(ComboBox2);
    layout->addWidget(choices);

    auto *frame = new QGroupBox(TabSheet3);
    frame->setObjectName(QStringLiteral("GroupBox1"));
    auto *frameLayout = new QVBoxLayout(frame);
    DBGrid1 = new DBGrid(frame);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Programas con sus CDs"));
    std::vector<GridColumn> columns;
    for (const auto &column : kQueryColumns)
        columns.push_back(
            {QLatin1String(column.field), QString::fromUtf8(column.title), column.width});
    DBGrid1->setColumns(columns);
    frameLayout->addWidget(DBGrid1);
    layout->addWidget(frame, 1);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, DBGrid1);
    // The icons come after the controls the page starts with, for keyboard users.
    setTabOrder(DBGrid1, verProg);
    setTabOrder(verProg, navegar);
    setTabOrder(navegar, exportar);

    platform::connectGuarded(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(Edit1); });
    // Only a choice by the user counts as a change, not one made by the program.
    platform::connectGuarded(ComboBox1, &QComboBox::activated, this,
                             [this] { ComboBox1Change(ComboBox1); });
    platform::connectGuarded(ComboBox2, &QComboBox::activated, this,
                             [this] { ComboBox2Change(ComboBox2); });
    platform::connectGuarded(verProg, &ClickableImage::clicked, this,
                             [this, verProg] { VerProgClick(verProg); });
    platform::connectGuarded(navegar, &ClickableImage::clicked, this,
                             [this, navegar] { NavegarClick(navegar); });
    platform::connectGuarded(exportar, &ClickableImage::clicked, this,
                             [this, exportar] { ExportarProgClick(exportar); });
}

QAction *TForm1::addItem(QMenu *menu, const QString &name, const QString &caption) {
    QAction *item = caption == u'-' ? menu->addSeparator() : menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void TForm1::buildMenu() {
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [bar](const QString &name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(name);
        return m;
    };
    QMenu *archivo = menu(QStringLiteral("Archivo1"), QStringLiteral("Archivo"));
    QAction *nuevoCd = addItem(archivo, QStringLiteral("NuevoCd1"), QStringLiteral("Nuevo CD"));
    QAction *nuevoPrograma =
        addItem(archivo, QStringLiteral("NuevoPrograma1"), QStringLiteral("Nuevo Programa"));
    addItem(archivo, QStringLiteral("N1"), QStringLiteral("-"));
    QAction *salir = addItem(archivo, QStringLiteral("Salir1"), QStringLiteral("Salir"));

    QMenu *ver = menu(QStringLiteral("Ver1"), QStringLiteral("Ver"));
    QAction *cds = addItem(ver, QStringLiteral("CDs1"), QStringLiteral("CDs"));
    QAction *programas = addItem(ver, QStringLiteral("Programas1"), QStringLiteral("Programas"));
    QAction *consultas = addItem(ver, QStringLiteral("Consultas1"), QStringLiteral("Consultas"));

    QMenu *herramientas = menu(QStringLiteral("Herramientas1"), QStringLiteral("Herramientas"));
    addItem(herramientas, QStringLiteral("RepararBasededatos1"),
            QStringLiteral("Copia de seguridad (Backup)"));
    addItem(herramientas, QStringLiteral("N2"), QStringLiteral("-"));
    addItem(herramientas, QStringLiteral("Blockdenotas1"), QStringLiteral("Bloc de notas"));
    addItem(herramientas, QStringLiteral("ExploradordeWindows1"),
            QStringLiteral("Explorador de Windows"));
    addItem(herramientas, QStringLiteral("Calculadorqa1"), QStringLiteral("Calculadora"));
    addItem(herramientas, QStringLiteral("Navegadorpredeterminado1"),
            QStringLiteral("Navegador (predeterminado)"));
    addItem(herramientas, QStringLiteral("Clientedecorreo1"),
            QStringLiteral("Cliente de correo (predeterminado)"));

    QMenu *ayuda = menu(QStringLiteral("Ayuda1"), QStringLiteral("Ayuda"));
    addItem(ayuda, QStringLiteral("Ayuda2"), QStringLiteral("Ayuda"));
    addItem(ayuda, QStringLiteral("Contacto1"), QStringLiteral("Contacto"));
    addItem(ayuda, QStringLiteral("N3"), QStringLiteral("-"));
    addItem(ayuda, QStringLiteral("Acercade1"), QStringLiteral("Acerca de ..."));

    // Commands of windows still to come stay visible but disabled.
    for (QAction *item : bar->findChildren<QAction *>())
        if (!item->isSeparator() && !item->menu())
            item->setEnabled(false);
    for (QAction *item : {salir, cds, programas, consultas})
        item->setEnabled(true);

    platform::connectGuarded(nuevoCd, &QAction::triggered, this,
                             [this, nuevoCd] { NuevoCd1Click(nuevoCd); });
    platform::connectGuarded(nuevoPrograma, &QAction::triggered, this,
                             [this, nuevoPrograma] { NuevoPrograma1Click(nuevoPrograma); });
    platform::connectGuarded(salir, &QAction::triggered, this,
                             [this, salir] { Salir1Click(salir); });
    platform::connectGuarded(cds, &QAction::triggered, this, [this, cds] { CDs1Click(cds); });
    platform::connectGuarded(programas, &QAction::triggered, this,
                             [this, programas] { Programas1Click(programas); });
    platform::connectGuarded(consultas, &QAction::triggered, this,
                             [this, consultas] { Consultas1Click(consultas); });

    // The commands that start other programs need no window of their own; help and About wait
    // for theirs (enableCommands).
    using Handler = void (TForm1::*)(QObject *);
    const struct {
        const char *name;
        Handler handler;
        bool enabled;
    } commands[] = {
        {"RepararBasededatos1", &TForm1::RepararBasededatos1Click, false},
        {"Blockdenotas1", &TForm1::Blockdenotas1Click, true},
        {"ExploradordeWindows1", &TForm1::ExploradordeWindows1Click, true},
        {"Calculadorqa1", &TForm1::Calculadorqa1Click, true},
        {"Navegadorpredeterminado1", &TForm1::Navegadorpredeterminado1Click, true},
        {"Clientedecorreo1", &TForm1::Clientedecorreo1Click, true},
        {"Ayuda2", &TForm1::Ayuda2Click, false},
        {"Contacto1", &TForm1::Contacto1Click, true},
        {"Acercade1", &TForm1::Acercade1Click, false},
    };
    for (const auto &command : commands) {
        QAction *item = bar->findChild<QAction *>(QLatin1String(command.name));
        item->setEnabled(command.enabled);
        platform::connectGuarded(
            item, &QAction::triggered, this,
            [this, item, handler = command.handler] { (this->*handler)(item); });
    }
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
}

QString TForm1::statusText(int panel) const {
    return panel >= 0 && panel < 2 ? statusPanels[panel]->text() : QString();
}

void TForm1::bindData(TDataModule2 &module) {
    DBGrid2->setDataSource(&module.DataDiscos);
    DBMemo1->setDataSource(&module.DataDiscos);
    DBMemo1->setDataField(QStringLiteral("Comentario"));
    DBGrid3->setDataSource(&module.DataProg);
    DBGrid1->setDataSource(&module.DataProgDisc);
    DBMemo2->setDataSource(&module.DataProg);
    DBMemo2->setDataField(QStringLiteral("Comentario"));
    for (store::TDataSource *source : {&module.DataDiscos, &module.DataProg, &module.DataProgDisc})
        connect(source, &store::TDataSource::errorRaised, this,
                [this, source](std::exception_ptr error) { TratarErrores(source, error); });
}

void TForm1::enableCommands() {
    auto enable = [this](const char *name, bool on) {
        if (auto *item = menuBar()->findChild<QAction *>(QLatin1String(name)))
            item->setEnabled(on);
    };
    SpeedButtons[0]->setEnabled(Form2 != nullptr);
    enable("NuevoCd1", Form2 != nullptr);
    SpeedButtons[2]->setEnabled(Form3 != nullptr);
    SpeedButtons[3]->setEnabled(Form4 != nullptr);
    enable("NuevoPrograma1", Form4 != nullptr);
    SpeedButtons[5]->setEnabled(Form6 != nullptr);
    enable("Acercade1", Form7 != nullptr);
    enable("RepararBasededatos1", Form9 != nullptr);
    if (auto *exportar = findChild<QWidget *>(QStringLiteral("ExportarProg")))
        exportar->setEnabled(Form8 != nullptr);
    enable("Ayuda2", Form10 != nullptr);
}

void TForm1::FormCreate() {
    platform::installErrorHandler(
        [this](QObject *sender, std::exception_ptr error) { TratarErrores(sender, error); });
    statusPanels[1]->setText(QStringLiteral(" Origen de datos :  \" ") + TDataModule2::Ruta() +
                             QDir::separator() + QStringLiteral(" \""));
    PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::FormClose() {
    DataModule2->ADOConnection.setConnected(false);
}

void TForm1::closeEvent(QCloseEvent *event) {
    platform::guarded(this, [this] { FormClose(); });
    event->accept();
}

void TForm1::TratarErrores(QObject *, std::exception_ptr E) {
    services_.dialogs.error(this, errorMessage(E));
}

void TForm1::openModal(QDialog *window) {
    if (window)
        services_.modal.open(window);
}

void TForm1::SpeedButton1Click(QObject *) {
    openModal(Form2);
}

void TForm1::SpeedButton2Click(QObject *) {
    store::TableCursor &discos = DataModule2->TDiscos;
    if (discos.RecordCount() == 0)
        return;
    if (services_.dialogs.confirm(this, QStringLiteral("\r\n Confirma la eliminación ?")))
        discos.DeleteRow();
}

void TForm1::SpeedButton3Click(QObject *) {
    Form3->Date1->setDate(DataModule2->TDiscos.Fields(2).AsDateTime().date());
    openModal(Form3);
}

void TForm1::SpeedButton4Click(QObject *) {
    openModal(Form4);
}

void TForm1::SpeedButton5Click(QObject *) {
    store::TableCursor &programas = DataModule2->TProgramas;
    if (programas.RecordCount() == 0)
        return;
    // The joined view is closed before the question and opened again whatever the answer.
    DataModule2->writingPrograms([&] {
        if (services_.dialogs.confirm(this, QStringLiteral("\r\n Confirma la eliminación ?")))
            programas.DeleteRow();
    });
}

void TForm1::SpeedButton6Click(QObject *) {
    openModal(Form6);
}

void TForm1::NuevoCd1Click(QObject *Sender) {
    PageControl1->setCurrentWidget(TabSheet1);
    SpeedButton1Click(Sender);
}

void TForm1::NuevoPrograma1Click(QObject *Sender) {
    PageControl1->setCurrentWidget(TabSheet2);
    SpeedButton4Click(Sender);
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

void TForm1::TabSheet3Show(QObject *) {
    store::TableCursor &progDisc = DataModule2->TProgDisc;
    progDisc.setIndexFieldNames(QStringLiteral("NroDisco"));
    progDisc.setFiltered(false);
    progDisc.setFilter(QString());
    progDisc.setFiltered(true);
    ComboBox1->setCurrentIndex(0);
    ComboBox2->clear();
    ComboBox2->addItem(kAll);
    extraercds(ComboBox2, DataModule2->TDiscos);
    ComboBox2->setCurrentIndex(0);
    Edit1->clear();
    Edit1->setFocus();
}

void TForm1::ComboBox1Change(QObject *) {
    Edit1->clear();
    const int column = ComboBox1->currentIndex();
    if (column >= 0 && column < int(std::size(kQueryColumns)))
        DataModule2->TProgDisc.setIndexFieldNames(QLatin1String(kQueryColumns[column].field));
    Edit1->setFocus();
}

void TForm1::Edit1Change(QObject *) {
    const QString text = Edit1->text();
    if (text.isEmpty())
        return;
    const int column = ComboBox1->currentIndex();
    if (column < 0 || column >= int(std::size(kQueryColumns)))
        return;
    const QString field = QLatin1String(kQueryColumns[column].field);
    store::TableCursor &progDisc = DataModule2->TProgDisc;
    // The number columns take whole numbers of limited length; other texts are ignored.
    if (column == 0 || column == 6) {
        if (Validar(text, column == 0 ? 5 : 4))
            progDisc.FindRow(field, *store::parseWholeNumber(text), true);
        return;
    }
    progDisc.FindRow(field, text, true);
}

void TForm1::ComboBox2Change(QObject *) {
    Edit1->clear();
    store::TableCursor &progDisc = DataModule2->TProgDisc;
    progDisc.setFiltered(false);
    const QString cd = ComboBox2->currentText();
    progDisc.setFilter(cd != kAll ? store::TableCursor::equalsFilter(QStringLiteral("NroDisco"), cd)
                                  : QString());
    progDisc.setFiltered(true);
    Edit1->setFocus();
}

void TForm1::ExportarProgClick(QObject *) {
    openModal(Form8);
}

void TForm1::RepararBasededatos1Click(QObject *) {
    openModal(Form9);
}

void TForm1::VerProgClick(QObject *) {
    openModal(Form5);
}

void TForm1::NavegarClick(QObject *) {
    const QString link = DataModule2->TProgDisc.Fields(7).AsString();
    if (link.isEmpty())
        return;
    services_.shell.open(this, link, QString(), platform::Shell::Normal);
}

void TForm1::extraercds(QComboBox *combo, store::TableCursor &cursor) {
    // The bound grid and comment box need not follow every row: they are told once, at the end.
    cursor.DisableControls();
    const auto enable = qScopeGuard([&] { cursor.EnableControls(); });
    QStringList numbers;
    cursor.GoFirst();
    while (!cursor.AtEnd()) {
        // The stored number as decimal text, whole even past the 32-bit range.
        numbers += cursor.Fields(0).AsString();
        cursor.GoNext();
    }
    combo->addItems(numbers);
}

bool TForm1::Validar(const QString &text, int maxLength) {
    return text.size() <= maxLength && store::parseWholeNumber(text).has_value();
}
