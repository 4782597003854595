// The commands of the main window that start other programs or open the help and About windows.
#include "mainwin/Herramientas.h"

#include "mainwin/cds_.h"
#include "utilities/Acerca.h"
#include "utilities/Contact.h"
#include "utilities/ayuda.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <unistd.h>
#include <vector>

namespace {

// What the desktop itself names for the tool, tried before the lists below; the calculator has
// no such type.
const std::array<const char *, 3> kDefaultFor = {"text/plain", "inode/directory", nullptr};

// In order of preference: the desktops' own first, then the lighter ones.
const std::array<std::vector<const char *>, 3> kCandidates = {{
    {"gnome-text-editor", "gedit", "mousepad", "kate", "kwrite", "xed", "pluma", "leafpad"},
    {"nautilus", "thunar", "dolphin", "pcmanfm", "nemo", "caja"},
    {"gnome-calculator", "kcalc", "galculator", "qalculate-gtk", "mate-calc"},
}};

} // namespace

QStringList RutaWindows() {
    QByteArray path = qgetenv("PATH");
    if (path.isNull()) {
        const size_t size = ::confstr(_CS_PATH, nullptr, 0);
        if (size > 0) {
            path.resize(qsizetype(size));
            ::confstr(_CS_PATH, path.data(), size);
            path.chop(1); // the terminating zero
        }
    }
    QStringList directories;
    // An empty entry would mean the working directory, the catalogue folder: never a tool's.
    for (const QByteArray &entry : path.split(':'))
        if (!entry.isEmpty())
            directories << QFile::decodeName(entry);
    return directories;
}

QString findTool(const QStringList &directories, Tool tool) {
    for (const char *name : kCandidates[size_t(tool)]) {
        for (const QString &directory : directories) {
            const QFileInfo candidate(QDir(directory).filePath(QLatin1String(name)));
            if (candidate.isFile() && candidate.isExecutable())
                return candidate.filePath();
        }
    }
    return {};
}

void EjecutarHerramienta(platform::Shell &shell, const QStringList &directories, Tool tool) {
    const char *type = kDefaultFor[size_t(tool)];
    if (type && shell.startDefault(QLatin1String(type)))
        return;
    const QString program = findTool(directories, tool);
    if (!program.isEmpty())
        shell.start(program);
}

void TForm1::Blockdenotas1Click(QObject *) {
    EjecutarHerramienta(services_.shell, RutaWindows(), Tool::TextEditor);
}

void TForm1::ExploradordeWindows1Click(QObject *) {
    EjecutarHerramienta(services_.shell, RutaWindows(), Tool::FileManager);
}

void TForm1::Calculadorqa1Click(QObject *) {
    EjecutarHerramienta(services_.shell, RutaWindows(), Tool::Calculator);
}

void TForm1::Navegadorpredeterminado1Click(QObject *) {
    services_.shell.open(this, QStringLiteral("about:blank"), QString(), platform::Shell::Normal);
}

void TForm1::Clientedecorreo1Click(QObject *) {
    services_.shell.open(this, QStringLiteral("mailto:"), QStringLiteral("open"),
                         platform::Shell::Maximized);
}

void TForm1::Contacto1Click(QObject *) {
    writeToMaker(services_.shell, this);
}

void TForm1::Ayuda2Click(QObject *) {
    if (!windows_.help)
        return;
    windows_.help->showHelp();
}

void TForm1::Acercade1Click(QObject *) {
    openModal(windows_.about);
}
