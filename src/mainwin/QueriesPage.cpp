// The queries page: every program with its CD, searched, ordered and filtered by CD.
#include "mainwin/cds_.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"
#include "widgets/ClickableImage.h"
#include "widgets/DBGrid.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <vector>

namespace joined = store::schema::joined;

namespace {

using Handler = void (TForm1::*)(QObject *);

// The columns of the list, which are also the choices of "Ordenado por :": the joined view's
// field each orders and searches by, its title and width, and for a number column the longest
// whole number "Buscar :" looks for (0 for a text column).
const struct {
    joined::Field field;
    const char16_t *title;
    int width;
    int numberLength;
} kQueryColumns[] = {
    {joined::Cd, u"Nro. CD", 50, 5},        {joined::CdDescription, u"CD", 100, 0},
    {joined::Name, u"Programa", 200, 0},    {joined::Version, u"Versión", 80, 0},
    {joined::Publisher, u"Empresa", 80, 0}, {joined::Licence, u"Licencia", 80, 0},
    {joined::Year, u"Año", 30, 4},          {joined::Link, u"Link", 350, 0},
};
const QString kAll = QStringLiteral("Todos");

// The icons of the page, left to right: object name, picture, hint, and what a click runs.
const struct {
    const char *name;
    const char *picture;
    const char16_t *hint;
    Handler handler;
} kIcons[] = {
    {"VerProg", ":/icons/ver.png", u"Ver datos del Programa", &TForm1::VerProgClick},
    {"Navegar", ":/icons/navegar.png", u"Ir a link del Programa", &TForm1::NavegarClick},
    {"ExportarProg", ":/icons/exportar.png", u"Exportar Listado de Programas",
     &TForm1::ExportarProgClick},
};

} // namespace

void TForm1::buildQueriesPage() {
    const auto [page, layout, top] = startPage(2);
    TabSheet3 = page;
    top->addSpacing(12);
    std::vector<ClickableImage *> icons;
    for (const auto &entry : kIcons)
        icons.push_back(new ClickableImage(QLatin1String(entry.name), QLatin1String(entry.picture),
                                           QString::fromUtf16(entry.hint), TabSheet3));
    for (ClickableImage *image : icons) {
        catalogueWidgets_.push_back(image);
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
        ComboBox1->addItem(QString::fromUtf16(column.title));
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
            {store::schema::field(column.field), QString::fromUtf16(column.title), column.width});
    DBGrid1->setColumns(columns);
    frameLayout->addWidget(DBGrid1);
    layout->addWidget(frame, 1);

    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, DBGrid1);
    // The icons come after the controls the page starts with, for keyboard users.
    QWidget *previous = DBGrid1;
    for (ClickableImage *image : icons) {
        setTabOrder(previous, image);
        previous = image;
    }

    platform::connectGuarded(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(Edit1); });
    // Only a choice by the user counts as a change, not one made by the program.
    platform::connectGuarded(ComboBox1, &QComboBox::activated, this,
                             [this] { ComboBox1Change(ComboBox1); });
    platform::connectGuarded(ComboBox2, &QComboBox::activated, this,
                             [this] { ComboBox2Change(ComboBox2); });
    for (size_t i = 0; i < icons.size(); ++i)
        platform::connectGuarded(
            icons[i], &ClickableImage::clicked, this,
            [this, image = icons[i], handler = kIcons[i].handler] { (this->*handler)(image); });
}

void TForm1::TabSheet3Show(QObject *) {
    store::TableCursor &progDisc = data_.TProgDisc;
    // Nothing to prepare without a catalogue; the page stays empty.
    if (!data_.TDiscos.Active()) {
        Edit1->setFocus();
        return;
    }
    progDisc.setIndexFieldNames(store::schema::field(joined::Cd));
    progDisc.setFiltered(false);
    progDisc.setFilter(QString());
    progDisc.setFiltered(true);
    ComboBox1->setCurrentIndex(0);
    ComboBox2->clear();
    ComboBox2->addItem(kAll);
    extraercds(ComboBox2, data_.TDiscos);
    ComboBox2->setCurrentIndex(0);
    Edit1->clear();
    Edit1->setFocus();
}

void TForm1::ComboBox1Change(QObject *) {
    Edit1->clear();
    const int column = ComboBox1->currentIndex();
    if (column >= 0 && column < int(std::size(kQueryColumns)))
        data_.TProgDisc.setIndexFieldNames(store::schema::field(kQueryColumns[column].field));
    Edit1->setFocus();
}

void TForm1::Edit1Change(QObject *) {
    const QString text = Edit1->text();
    if (text.isEmpty())
        return;
    const int column = ComboBox1->currentIndex();
    if (column < 0 || column >= int(std::size(kQueryColumns)))
        return;
    const QString field = store::schema::field(kQueryColumns[column].field);
    store::TableCursor &progDisc = data_.TProgDisc;
    // The number columns take whole numbers of limited length; other texts are ignored.
    if (const int length = kQueryColumns[column].numberLength) {
        if (Validar(text, length))
            progDisc.FindRow(field, *store::parseWholeNumber(text), true);
        return;
    }
    progDisc.FindRow(field, text, true);
}

void TForm1::ComboBox2Change(QObject *) {
    Edit1->clear();
    store::TableCursor &progDisc = data_.TProgDisc;
    progDisc.setFiltered(false);
    const QString cd = ComboBox2->currentText();
    if (cd != kAll)
        progDisc.setFilterEquals(store::schema::field(joined::Cd), cd);
    else
        progDisc.setFilter(QString());
    progDisc.setFiltered(true);
    Edit1->setFocus();
}
