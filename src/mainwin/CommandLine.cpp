#include "mainwin/CommandLine.h"

#include "store/server/ServerEngine.h"

#include <cstring>
#include <sys/stat.h>

Invocation readArguments(int argc, char **argv) {
    Invocation invocation;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            invocation.action = Invocation::Action::Help;
            return invocation;
        }
        if (std::strcmp(argument, "--version") == 0) {
            invocation.action = Invocation::Action::Version;
            return invocation;
        }
        if (argument[0] == '-' && argument[1] != '\0') {
            invocation.action = Invocation::Action::Wrong;
            invocation.problem =
                QStringLiteral("opción desconocida: %1").arg(QString::fromLocal8Bit(argument));
            return invocation;
        }
        if (!invocation.folder.isEmpty() || !invocation.server.isEmpty() || argument[0] == '\0') {
            invocation.action = Invocation::Action::Wrong;
            invocation.problem = argument[0] == '\0'
                                     ? QStringLiteral("la carpeta está vacía")
                                     : QStringLiteral("se indicó más de una carpeta");
            return invocation;
        }
        // A folder of that name wins: "a=b" may be one.
        struct stat info;
        if (::stat(argument, &info) != 0 && store::server::isServerAddress(argument))
            invocation.server = argument;
        else
            invocation.folder = argument;
    }
    return invocation;
}

QString usageText() {
    return QStringLiteral(
        "Uso: vadrel [CARPETA]\n"
        "     vadrel postgresql://USUARIO@SERVIDOR/BASE | service=NOMBRE\n"
        "     vadrel --help | --version\n"
        "\n"
        "Vadrel, catálogo de CDs de software. Abre el catálogo db.mdb de CARPETA, o de la\n"
        "carpeta desde la que se inicia cuando no se indica ninguna. Si CARPETA no existe o\n"
        "no tiene catálogo, ofrece crear en ella uno vacío con sus páginas de ayuda.\n"
        "\n"
        "Con la dirección de una base de PostgreSQL (creada con vadrel-db init --servidor)\n"
        "abre el catálogo compartido de ese servidor; el listado y las copias de seguridad\n"
        "quedan en la carpeta propia del usuario ($XDG_DATA_HOME/vadrel).\n"
        "\n"
        "  --help      muestra este texto\n"
        "  --version   muestra la versión\n");
}

QString versionText() {
    return QStringLiteral("vadrel %1\n").arg(QStringLiteral(VADREL_VERSION));
}
