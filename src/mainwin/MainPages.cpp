// The main window's pages in their tabs, and the buttons of the CDs and programs pages.
#include "mainwin/cds_.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/schema/Schema.h"
#include "widgets/DBGrid.h"
#include "widgets/DBMemo.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace schema = store::schema;

namespace {

using Handler = void (TForm1::*)(QObject *);

// The pages in their tabs' order: object name, tab caption, and the icon panel with its
// picture.
const struct {
    const char *name;
    const char16_t *caption;
    const char *panel;
    const char *iconName;
    const char *icon;
} kPages[] = {
    {"TabSheet1", u" CDs ", "Panel3", "ICD", ":/icons/cd.png"},
    {"TabSheet2", u" Programas ", "Panel2", "IProg", ":/icons/programa.png"},
    {"TabSheet3", u" Consultas ", "Panel1", "IConsulta", ":/icons/consulta.png"},
};

// The buttons of the CDs page (0) and the programs page (1), left to right.
const struct {
    int page;
    const char *name;
    const char16_t *caption;
    const char *icon;
    Handler handler;
} kButtons[] = {
    {0, "SpeedButton1", u"    ALTAS    ", ":/icons/alta.png", &TForm1::SpeedButton1Click},
    {0, "SpeedButton2", u"    BAJAS    ", ":/icons/baja.png", &TForm1::SpeedButton2Click},
    {0, "SpeedButton3", u"    MODIFICACIONES    ", ":/icons/modificar.png",
     &TForm1::SpeedButton3Click},
    {1, "SpeedButton4", u"    ALTAS    ", ":/icons/alta.png", &TForm1::SpeedButton4Click},
    {1, "SpeedButton5", u"    BAJAS    ", ":/icons/baja.png", &TForm1::SpeedButton5Click},
    {1, "SpeedButton6", u"    MODIFICACIONES    ", ":/icons/modificar.png",
     &TForm1::SpeedButton6Click},
};

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

// A list or comment box before its page exists; the page takes it in.
template <class Box> Box *namedBox(const char *name, const char16_t *accessibleName) {
    auto *box = new Box;
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(QString::fromUtf16(accessibleName));
    return box;
}

} // namespace

TForm1::PageTop TForm1::startPage(int place) {
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(kPages[place].name));
    auto *layout = new QVBoxLayout(page);
    auto *top = new QHBoxLayout;
    top->addWidget(iconPanel(QLatin1String(kPages[place].panel),
                             QLatin1String(kPages[place].iconName),
                             QLatin1String(kPages[place].icon), page));
    return {page, layout, top};
}

QWidget *TForm1::buildListPage(int place, const QString &gridBox, DBGrid *grid,
                               const QString &memoBox, DBMemo *memo) {
    const auto [page, layout, top] = startPage(place);
    for (const auto &entry : kButtons) {
        if (entry.page != place)
            continue;
        auto *button = new QToolButton(page);
        button->setObjectName(QLatin1String(entry.name));
        button->setText(QString::fromUtf16(entry.caption));
        button->setIcon(QIcon(QLatin1String(entry.icon)));
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(209, 33);
        platform::setBold(button);
        catalogueWidgets_.push_back(button);
        platform::connectGuarded(
            button, &QToolButton::clicked, this,
            [this, button, handler = entry.handler] { (this->*handler)(button); });
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

    DBGrid2 = namedBox<DBGrid>("DBGrid2", u"Lista de CDs");
    DBMemo1 = namedBox<DBMemo>("DBMemo1", u"Comentario del CD");
    TabSheet1 = buildListPage(0, QStringLiteral("GroupBox3"), DBGrid2, QStringLiteral("GroupBox4"),
                              DBMemo1);
    DBGrid2->setColumns({{schema::field(schema::cds::Number), QStringLiteral("Nro. CD"), 50},
                         {schema::field(schema::cds::Description), QStringLiteral("CD"), 140},
                         {schema::field(schema::cds::Date), QStringLiteral("Fecha"), -1}});

    DBGrid3 = namedBox<DBGrid>("DBGrid3", u"Lista de programas");
    DBMemo2 = namedBox<DBMemo>("DBMemo2", u"Comentario del programa");
    TabSheet2 = buildListPage(1, QStringLiteral("GroupBox5"), DBGrid3, QStringLiteral("GroupBox6"),
                              DBMemo2);
    DBGrid3->setColumns(
        {{schema::field(schema::programs::Name), QStringLiteral("Programa"), 220},
         {schema::field(schema::programs::Version), QStringLiteral("Versión"), 80},
         {schema::field(schema::programs::Publisher), QStringLiteral("Empresa"), 80},
         {schema::field(schema::programs::Licence), QStringLiteral("Licencia"), 80},
         {schema::field(schema::programs::Year), QStringLiteral("Año"), 30},
         {schema::field(schema::programs::Link), QStringLiteral("Link"), 270}});

    buildQueriesPage();

    QWidget *const pages[] = {TabSheet1, TabSheet2, TabSheet3};
    for (int place = 0; place < int(std::size(kPages)); ++place)
        PageControl1->addTab(pages[place], QString::fromUtf16(kPages[place].caption));
    setCentralWidget(PageControl1);
    // The queries page prepares itself each time it is shown, by its tab or by the menu.
    platform::connectGuarded(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (PageControl1->currentWidget() == TabSheet3)
            TabSheet3Show(TabSheet3);
    });
}
