// The main window's menu bar.
#include "cds_.h"

#include "Guard.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

using Handler = void (TForm1::*)(QObject *);

struct Entry {
    enum Kind { Menu, Item, Separator } kind;
    const char *name;
    const char16_t *caption;
    Handler handler;
};
constexpr Entry menu(const char *name, const char16_t *caption) {
    return {Entry::Menu, name, caption, nullptr};
}
constexpr Entry item(const char *name, const char16_t *caption, Handler handler) {
    return {Entry::Item, name, caption, handler};
}
constexpr Entry separator(const char *name) {
    return {Entry::Separator, name, nullptr, nullptr};
}

// The menus in the bar's order, each followed by its items.
const Entry kMenu[] = {
    menu("Archivo1", u"Archivo"),
    item("NuevoCd1", u"Nuevo CD", &TForm1::NuevoCd1Click),
    item("NuevoPrograma1", u"Nuevo Programa", &TForm1::NuevoPrograma1Click),
    item("CatalogarDisco1", u"Catalogar un disco ...", &TForm1::CatalogarDisco1Click),
    separator("N1"),
    item("Salir1", u"Salir", &TForm1::Salir1Click),

    menu("Ver1", u"Ver"),
    item("CDs1", u"CDs", &TForm1::CDs1Click),
    item("Programas1", u"Programas", &TForm1::Programas1Click),
    item("Consultas1", u"Consultas", &TForm1::Consultas1Click),

    menu("Herramientas1", u"Herramientas"),
    item("RepararBasededatos1", u"Copia de seguridad (Backup)", &TForm1::RepararBasededatos1Click),
    separator("N2"),
    item("Blockdenotas1", u"Bloc de notas", &TForm1::Blockdenotas1Click),
    item("ExploradordeWindows1", u"Explorador de Windows", &TForm1::ExploradordeWindows1Click),
    item("Calculadorqa1", u"Calculadora", &TForm1::Calculadorqa1Click),
    item("Navegadorpredeterminado1", u"Navegador (predeterminado)",
         &TForm1::Navegadorpredeterminado1Click),
    item("Clientedecorreo1", u"Cliente de correo (predeterminado)", &TForm1::Clientedecorreo1Click),

    menu("Ayuda1", u"Ayuda"),
    item("Ayuda2", u"Ayuda", &TForm1::Ayuda2Click),
    item("Contacto1", u"Contacto", &TForm1::Contacto1Click),
    separator("N3"),
    item("Acercade1", u"Acerca de ...", &TForm1::Acercade1Click),
};

} // namespace

void TForm1::buildMenu() {
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *current = nullptr;
    for (const Entry &entry : kMenu) {
        switch (entry.kind) {
        case Entry::Menu:
            current = bar->addMenu(QString::fromUtf16(entry.caption));
            current->setObjectName(QLatin1String(entry.name));
            break;
        case Entry::Separator:
            current->addSeparator()->setObjectName(QLatin1String(entry.name));
            break;
        case Entry::Item: {
            QAction *action = current->addAction(QString::fromUtf16(entry.caption));
            action->setObjectName(QLatin1String(entry.name));
            platform::connectGuarded(
                action, &QAction::triggered, this,
                [this, action, handler = entry.handler] { (this->*handler)(action); });
            break;
        }
        }
    }
}
