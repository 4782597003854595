// The main window's menu bar.
#include "mainwin/cds_.h"

#include "mainwin/RecentCatalogues.h"
#include "platform/Guard.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <sys/stat.h>

namespace {

using Handler = void (TForm1::*)(QObject *);

struct Entry {
    enum Kind { Menu, Item, Separator, Recent, Toggle } kind;
    const char *name;
    // '&' marks the letter Alt reaches it by; screen readers are given the caption without it.
    const char16_t *caption;
    Handler handler;
    const char *keys = nullptr;  // the shortcut, as the menu shows it
    bool needsCatalogue = false; // disabled while no catalogue is open
};
constexpr Entry menu(const char *name, const char16_t *caption) {
    return {Entry::Menu, name, caption, nullptr};
}
constexpr Entry item(const char *name, const char16_t *caption, Handler handler,
                     const char *keys = nullptr, bool needsCatalogue = false) {
    return {Entry::Item, name, caption, handler, keys, needsCatalogue};
}
constexpr Entry separator(const char *name) {
    return {Entry::Separator, name, nullptr, nullptr};
}
constexpr bool kNeedsCatalogue = true;

// The menus in the bar's order, each followed by its items.
const Entry kMenu[] = {
    menu("Archivo1", u"&Archivo"),
    item("NuevoCd1", u"&Nuevo CD", &TForm1::NuevoCd1Click, "Ctrl+N", kNeedsCatalogue),
    item("NuevoPrograma1", u"Nuevo &Programa", &TForm1::NuevoPrograma1Click, "Ctrl+Shift+N",
         kNeedsCatalogue),
    item("CatalogarDisco1", u"&Catalogar un disco ...", &TForm1::CatalogarDisco1Click, nullptr,
         kNeedsCatalogue),
    separator("N4"),
    item("AbrirCatalogo1", u"&Abrir catálogo ...", &TForm1::AbrirCatalogo1Click, "Ctrl+O"),
    {Entry::Recent, "CatalogosRecientes1", u"Catálogos &recientes", nullptr},
    separator("N5"),
    // Named for what it writes, beside the catalogue's export.
    item("Exportar1", u"&Exportar listado de programas ...", &TForm1::ExportarProgClick, "Ctrl+E",
         kNeedsCatalogue),
    item("ExportarCatalogo1", u"Exportar ca&tálogo ...", &TForm1::ExportarCatalogo1Click, nullptr,
         kNeedsCatalogue),
    item("ImportarCsv1", u"&Importar desde CSV ...", &TForm1::ImportarCsv1Click, nullptr,
         kNeedsCatalogue),
    separator("N1"),
    item("Salir1", u"&Salir", &TForm1::Salir1Click, "Ctrl+Q"),

    menu("Ver1", u"&Ver"),
    item("CDs1", u"&CDs", &TForm1::CDs1Click, "Ctrl+1"),
    item("Programas1", u"&Programas", &TForm1::Programas1Click, "Ctrl+2"),
    item("Consultas1", u"C&onsultas", &TForm1::Consultas1Click, "Ctrl+3"),
    item("Buscar1", u"&Buscar en Consultas", &TForm1::Buscar1Click, "Ctrl+F"),
    item("BuscarTodo1", u"Buscar en &todo el catálogo", &TForm1::BuscarTodo1Click, "Ctrl+Shift+F",
         kNeedsCatalogue),
    item("Estadisticas1", u"&Estadísticas", &TForm1::Estadisticas1Click, nullptr, kNeedsCatalogue),
    item("Repetidos1", u"Programas &repetidos", &TForm1::Repetidos1Click, nullptr, kNeedsCatalogue),
    separator("N6"),
    {Entry::Toggle, "RecordarVentana1", u"Recordar &ventana y página",
     &TForm1::RecordarVentana1Click},

    menu("Herramientas1", u"&Herramientas"),
    item("RepararBasededatos1", u"&Copia de seguridad (Backup)", &TForm1::RepararBasededatos1Click,
         "Ctrl+B"),
    separator("N2"),
    item("Blockdenotas1", u"&Bloc de notas", &TForm1::Blockdenotas1Click),
    item("ExploradordeWindows1", u"&Explorador de Windows", &TForm1::ExploradordeWindows1Click),
    item("Calculadorqa1", u"C&alculadora", &TForm1::Calculadorqa1Click),
    item("Navegadorpredeterminado1", u"&Navegador (predeterminado)",
         &TForm1::Navegadorpredeterminado1Click),
    item("Clientedecorreo1", u"C&liente de correo (predeterminado)",
         &TForm1::Clientedecorreo1Click),

    menu("Ayuda1", u"A&yuda"),
    item("Ayuda2", u"&Ayuda", &TForm1::Ayuda2Click, "F1"),
    item("Contacto1", u"&Contacto", &TForm1::Contacto1Click),
    separator("N3"),
    item("Acercade1", u"Acerca &de ...", &TForm1::Acercade1Click),
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
        case Entry::Recent:
            recentMenu_ = current->addMenu(QString::fromUtf16(entry.caption));
            recentMenu_->setObjectName(QLatin1String(entry.name));
            recentMenu_->menuAction()->setObjectName(QLatin1String(entry.name));
            // Filled as it opens: a folder may have gone since.
            connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });
            break;
        case Entry::Item:
        case Entry::Toggle: {
            QAction *action = current->addAction(QString::fromUtf16(entry.caption));
            action->setObjectName(QLatin1String(entry.name));
            if (entry.keys)
                action->setShortcut(QKeySequence(QLatin1String(entry.keys)));
            if (entry.kind == Entry::Toggle)
                action->setCheckable(true);
            if (entry.needsCatalogue)
                catalogueActions_.push_back(action);
            platform::connectGuarded(
                action, &QAction::triggered, this,
                [this, action, handler = entry.handler] { (this->*handler)(action); });
            break;
        }
        }
    }
}

void TForm1::fillRecentMenu() {
    recentMenu_->clear();
    const QList<QByteArray> folders = recent::catalogues(services_.preferences);
    for (const QByteArray &folder : folders) {
        QString shown = QDir::toNativeSeparators(QFile::decodeName(folder));
        QAction *action = recentMenu_->addAction(shown.replace(u'&', QStringLiteral("&&")));
        // A catalogue that has gone stays listed, greyed, so the user sees what happened to it.
        struct stat info;
        action->setEnabled(::stat((folder + "/db.mdb").constData(), &info) == 0);
        platform::connectGuarded(action, &QAction::triggered, this,
                                 [this, folder] { openRecent(folder); });
    }
    if (folders.isEmpty())
        recentMenu_->addAction(QStringLiteral("(ninguno)"))->setEnabled(false);
}
