#include "LargeCatalogue.h"

#include "store/catalogue/Catalogue.h"
#include "store/engine/Engine.h"

#include <QDir>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <random>
#include <sqlite3.h>

namespace {

const char *const kWords[] = {"Compresor", "Editor",    "Visor",     "Gestor",    "Reproductor",
                              "Conversor", "Antivirus", "Navegador", "Cliente",   "Servidor",
                              "Diseñador", "Utilidad",  "Juego",     "Atlas",     "Curso",
                              "Agenda",    "Monitor",   "Grabador",  "Traductor", "Planetario"};
const char *const kTopics[] = {"de Imágenes", "de Textos", "de Vídeo", "de Sonido", "de Archivos",
                               "de Correo",   "de Redes",  "Gráfico",  "Clásico",   "Portátil",
                               "Profesional", "Español",   "Rápido",   "Libre",     "3D"};
const char *const kLicences[] = {"Freeware", "Comercial", "Demo", "Trial", "Shareware", "Warez"};

} // namespace

void writeLargeCatalogue(const QString &directory, int programs) {
    store::createCatalogue(directory, false);
    const QString path = QDir(directory).filePath(QStringLiteral("db.mdb"));
    store::engine::DbHandle db = store::engine::open(path, false);
    store::engine::exec(db.get(), "PRAGMA synchronous=OFF; BEGIN", path);
    std::mt19937 random(12345);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };

    const int cds = std::max(1, programs / 100);
    {
        store::engine::Statement insert(db.get(), "INSERT INTO Discos VALUES (?,?,?,?)", path);
        for (int cd = 1; cd <= cds; ++cd) {
            insert.bindInt(1, cd);
            insert.bindText(
                2, QStringLiteral("Colección %1 %2").arg(kWords[pick(20)]).arg(cd).toUtf8());
            insert.bindText(3, QStringLiteral("20%1-%2-%3")
                                   .arg(pick(25), 2, 10, QChar(u'0'))
                                   .arg(1 + pick(12), 2, 10, QChar(u'0'))
                                   .arg(1 + pick(28), 2, 10, QChar(u'0'))
                                   .toUtf8());
            if (pick(3) == 0)
                insert.bindNull(4);
            else
                insert.bindText(4, "Copiado de la revista.\r\nRevisado con el antivirus.");
            insert.step();
            insert.reset();
        }
    }
    store::engine::Statement insert(db.get(), "INSERT INTO Programas VALUES (?,?,?,?,?,?,?,?,?)",
                                    path);
    for (int n = 1; n <= programs; ++n) {
        const QString name =
            QStringLiteral("%1 %2 %3").arg(kWords[pick(20)], kTopics[pick(15)]).arg(pick(100000));
        const int publisher = pick(400);
        insert.bindInt(1, n);
        insert.bindInt(2, 1 + qint64(n - 1) * cds / programs);
        insert.bindText(3, name.toUtf8());
        insert.bindText(4, QStringLiteral("%1.%2").arg(pick(12)).arg(pick(100)).toUtf8());
        insert.bindText(5, QStringLiteral("Empresa %1 S.A.").arg(publisher).toUtf8());
        insert.bindText(6, kLicences[pick(6)]);
        insert.bindInt(7, 1985 + pick(40));
        if (pick(5) == 0)
            insert.bindNull(8);
        else
            insert.bindText(8, QStringLiteral("https://www.empresa%1.example/descargas/%2")
                                   .arg(publisher)
                                   .arg(n)
                                   .toUtf8());
        if (pick(2) == 0)
            insert.bindNull(9);
        else
            insert.bindText(9, QStringLiteral("Instalado en la oficina.\r\nNúmero de serie %1.")
                                   .arg(pick(1000000))
                                   .toUtf8());
        insert.step();
        insert.reset();
    }
    store::engine::exec(db.get(), "COMMIT", path);
}

QString largeCatalogueFolder(int programs) {
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    auto &folder = folders[programs];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>();
        writeLargeCatalogue(folder->path(), programs);
    }
    return folder->path();
}
