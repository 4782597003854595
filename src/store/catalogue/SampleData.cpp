// The sample catalogue that `vadrel-db init --sample` writes: a realistic collection of
// software CDs, with every licence category, web and local links, comments of several lines,
// accented letters, and one CD that holds no programs yet.
#include "store/catalogue/Catalogue.h"
#include "store/engine/Engine.h"
#include "store/schema/Schema.h"

namespace store {

namespace {

struct SampleCd {
    int number;
    const char *description;
    const char *date;
    const char *comment;
};

struct SampleProgram {
    int cd;
    const char *name;
    const char *version;
    const char *publisher;
    const char *licence;
    int year; // 0: unknown, stored as 0 as the editor does
    const char *link;
    const char *comment;
};

const SampleCd kCds[] = {
    {1, "Utilidades del sistema", "2003-03-15",
     "Compresores, limpiadores y herramientas de disco.\r\nCopiado del CD de la revista de marzo."},
    {2, "Ofimática", "2003-06-02", "Procesadores de texto, hojas de cálculo y lectores de PDF."},
    {3, "Diseño gráfico", "2004-01-20",
     "Editores de imágenes y de gráficos vectoriales.\r\nAlgunos piden registro al instalar."},
    {4, "Internet y comunicaciones", "2004-05-11", nullptr},
    {5, "Programación", "2004-09-30",
     "Compiladores y entornos de desarrollo.\r\nIncluye la documentación en español."},
    {6, "Multimedia: audio y vídeo", "2005-02-14", "Reproductores, códecs y editores de sonido."},
    {7, "Juegos clásicos", "2005-07-08 21:45:00",
     "Juegos de aventura, estrategia y arcade.\r\nAlgunos necesitan DOSBox.\r\nEl disco tiene "
     "una raya pero se lee bien."},
    {8, "Controladores de hardware", "2005-11-23", "Controladores de vídeo, sonido y red."},
    {9, "Educación y referencia", "2006-03-03", nullptr},
    {10, "Seguridad y copias", "2006-08-19",
     "Antivirus, cortafuegos y programas de copia de seguridad."},
    {11, "Linux: utilidades para Windows", "2007-01-12",
     "Programas libres para usar junto a Linux.\r\nArranque dual y acceso a particiones."},
    {12, "Reserva (sin grabar)", "2007-04-01", "CD virgen reservado para las próximas descargas."},
};

const SampleProgram kPrograms[] = {
    // 1: Utilidades del sistema
    {1, "7-Zip", "4.42", "Igor Pavlov", "Freeware", 2006, "https://www.7-zip.org/",
     "Compresor de código abierto.\r\nAbre ZIP, RAR, TAR y su propio formato 7z."},
    {1, "WinRAR", "3.51", "RARLAB", "Shareware", 2005, "https://www.rarlab.com/",
     "Prueba de 40 días."},
    {1, "WinZip", "9.0", "WinZip Computing", "Trial", 2004, "http://www.winzip.com/", nullptr},
    {1, "CCleaner", "1.30", "Piriform", "Freeware", 2006, "https://www.ccleaner.com/",
     "Limpia archivos temporales y el registro."},
    {1, "Defraggler", "1.0", "Piriform", "Freeware", 2007, "https://www.ccleaner.com/defraggler",
     nullptr},
    {1, "Partición Mágica", "8.0", "PowerQuest", "Warez", 2003, nullptr,
     "Copia sin licencia encontrada en un disco prestado.\r\nNo usar."},
    {1, "Administrador de arranque", "2.1", "Utilidades Ibéricas", "Demo", 0,
     "/media/cdrom/utilidades/arranque/LEEME.txt", "Año desconocido."},
    // 2: Ofimática
    {2, "OpenOffice.org", "2.0.4", "Sun Microsystems", "Freeware", 2006,
     "https://www.openoffice.org/es/",
     "Suite completa: Writer, Calc, Impress.\r\nVersión en español."},
    {2, "AbiWord", "2.4", "AbiSource", "Freeware", 2005, "https://www.abisource.com/", nullptr},
    {2, "Adobe Reader", "7.0", "Adobe Systems", "Freeware", 2005,
     "https://get.adobe.com/es/reader/", "Lector de PDF."},
    {2, "Foxit Reader", "2.0", "Foxit Software", "Freeware", 2006, "https://www.foxit.com/",
     "Más liviano que Adobe Reader."},
    {2, "Microsoft Office 2003", "11.0", "Microsoft", "Comercial", 2003,
     "D:\\Instaladores\\Office2003\\SETUP.EXE",
     "Licencia de la oficina.\r\nNúmero de serie en la caja del CD."},
    {2, "Gestor de Facturas Pyme", "3.2", "Contasoft", "Demo", 2004,
     "http://www.contasoft.com.ar/demo", "Limitado a 50 facturas."},
    {2, "Diccionario de la Lengua", "1.0", "Editorial Álamo", "Comercial", 2002, nullptr, nullptr},
    {2, "Agenda Electrónica", "5.1", "Organízate S.A.", "Shareware", 2003,
     "http://www.organizate.es/agenda", nullptr},
    // 3: Diseño gráfico
    {3, "GIMP", "2.2.13", "Proyecto GIMP", "Freeware", 2006, "https://www.gimp.org/",
     "Editor de mapas de bits.\r\nNecesita las bibliotecas GTK+."},
    {3, "Inkscape", "0.44", "Proyecto Inkscape", "Freeware", 2006, "https://inkscape.org/es/",
     "Gráficos vectoriales SVG."},
    {3, "Paint.NET", "3.0", "dotPDN", "Freeware", 2007, "https://www.getpaint.net/", nullptr},
    {3, "IrfanView", "3.99", "Irfan Skiljan", "Freeware", 2006, "https://www.irfanview.com/",
     "Visor rápido; incluye los complementos."},
    {3, "Adobe Photoshop", "7.0", "Adobe Systems", "Trial", 2002, "https://www.adobe.com/es/",
     "Versión de prueba de 30 días."},
    {3, "CorelDRAW", "12", "Corel", "Comercial", 2003, "D:\\Diseño\\Corel12\\Setup.exe",
     "Licencia educativa."},
    {3, "Blender", "2.42", "Blender Foundation", "Freeware", 2006, "https://www.blender.org/",
     "Modelado y animación 3D."},
    {3, "Tipografías Clásicas", "1.0", "Tipos Güemes", "Warez", 0, nullptr,
     "Colección de fuentes de origen dudoso."},
    // 4: Internet y comunicaciones
    {4, "Mozilla Firefox", "2.0", "Fundación Mozilla", "Freeware", 2006,
     "https://www.mozilla.org/es-AR/firefox/", "Navegador.\r\nCon el corrector en español."},
    {4, "Mozilla Thunderbird", "1.5", "Fundación Mozilla", "Freeware", 2006,
     "https://www.thunderbird.net/es-ES/", "Cliente de correo."},
    {4, "FileZilla", "2.2.30", "Tim Kosse", "Freeware", 2006, "https://filezilla-project.org/",
     nullptr},
    {4, "PuTTY", "0.59", "Simon Tatham", "Freeware", 2007,
     "https://www.chiark.greenend.org.uk/~sgtatham/putty/", "Cliente SSH y Telnet."},
    {4, "mIRC", "6.21", "mIRC Co.", "Shareware", 2006, "https://www.mirc.com/", nullptr},
    {4, "Opera", "9.0", "Opera Software", "Freeware", 2006, "https://www.opera.com/es", nullptr},
    {4, "Acelerador de Descargas", "4.5", "Rápido.net", "Trial", 2005,
     "http://www.rapido.net/acelerador", "Muestra publicidad al terminar la prueba."},
    {4, "Marcador Telefónico", "1.2", "Conexiones del Sur", "Demo", 2002, nullptr,
     "Para módem de 56k."},
    // 5: Programación
    {5, "Free Pascal", "2.0.4", "Equipo Free Pascal", "Freeware", 2006,
     "https://www.freepascal.org/", "Compilador de Pascal y Object Pascal."},
    {5, "Lazarus", "0.9.20", "Equipo Lazarus", "Freeware", 2006, "https://www.lazarus-ide.org/",
     "Entorno visual para Free Pascal."},
    {5, "Dev-C++", "4.9.9.2", "Bloodshed Software", "Freeware", 2005, "https://www.bloodshed.net/",
     nullptr},
    {5, "Code::Blocks", "1.0rc2", "Equipo Code::Blocks", "Freeware", 2005,
     "https://www.codeblocks.org/", nullptr},
    {5, "Python", "2.5", "Python Software Foundation", "Freeware", 2006, "https://www.python.org/",
     "Intérprete y documentación."},
    {5, "Eclipse", "3.2", "Fundación Eclipse", "Freeware", 2006, "https://www.eclipse.org/",
     "Necesita Java 5."},
    {5, "NetBeans", "5.5", "Sun Microsystems", "Freeware", 2006, "https://netbeans.apache.org/",
     nullptr},
    {5, "Delphi Personal", "7.0", "Borland", "Comercial", 2002,
     "D:\\Programacion\\Delphi7\\install.exe",
     "Edición personal.\r\nSin componentes de base de datos."},
    {5, "Visual Studio Express", "2005", "Microsoft", "Freeware", 2005,
     "https://visualstudio.microsoft.com/es/", nullptr},
    {5, "Manual de SQL", "1.0", "Editorial Álamo", "Shareware", 2004, nullptr,
     "Libro electrónico en PDF."},
    // 6: Multimedia
    {6, "VLC media player", "0.8.6", "VideoLAN", "Freeware", 2006, "https://www.videolan.org/",
     "Reproduce casi cualquier formato."},
    {6, "Winamp", "5.32", "Nullsoft", "Freeware", 2006, "https://www.winamp.com/", nullptr},
    {6, "Audacity", "1.2.6", "Equipo Audacity", "Freeware", 2006, "https://www.audacityteam.org/",
     "Editor de sonido.\r\nAgregar el codificador LAME para MP3."},
    {6, "foobar2000", "0.9.4", "Peter Pawlowski", "Freeware", 2006, "https://www.foobar2000.org/",
     nullptr},
    {6, "K-Lite Codec Pack", "3.0", "Codec Guide", "Freeware", 2007, "https://codecguide.com/",
     nullptr},
    {6, "Nero Burning ROM", "7.0", "Nero AG", "Trial", 2006, "https://www.nero.com/esp/",
     "Prueba de 15 días."},
    {6, "Editor de Vídeo Casero", "2.0", "Imagen y Sonido S.L.", "Demo", 2005,
     "http://www.imagenysonido.es/editor", "Marca de agua en los vídeos."},
    {6, "Estudio de Grabación Pro", "6.0", "Sonido Austral", "Warez", 2004, nullptr,
     "Copia pirata; borrar."},
    // 7: Juegos clásicos
    {7, "DOSBox", "0.70", "Equipo DOSBox", "Freeware", 2007, "https://www.dosbox.com/",
     "Emulador de MS-DOS para los juegos viejos."},
    {7, "ScummVM", "0.9.1", "Equipo ScummVM", "Freeware", 2006, "https://www.scummvm.org/",
     nullptr},
    {7, "OpenTTD", "0.5.0", "Equipo OpenTTD", "Freeware", 2007, "https://www.openttd.org/",
     "Necesita los archivos del juego original."},
    {7, "Ajedrez Maestro", "3.0", "Tablero Soft", "Shareware", 2001, "http://www.tablerosoft.com/",
     nullptr},
    {7, "Buscaminas Plus", "1.1", "Tablero Soft", "Demo", 2000, nullptr, "Sólo nivel fácil."},
    {7, "Carreras Extremas", "2.0", "Velocidad Digital", "Warez", 2003, nullptr, nullptr},
    {7, "Aventura en la Cueva", "1.0", "Espeleo Juegos", "Demo", 1997,
     "/media/cdrom/juegos/cueva/LEEME.TXT", "Solo el primer nivel."},
    {7, "Solitario Español", "1.3", "Naipes S.L.", "Freeware", 1999, nullptr,
     "Baraja española de 40 cartas."},
    // 8: Controladores
    {8, "Controlador de vídeo GeForce", "93.71", "NVIDIA", "Freeware", 2006,
     "https://www.nvidia.com/es-la/drivers/", "Para Windows XP."},
    {8, "Catalyst", "6.12", "ATI Technologies", "Freeware", 2006, "https://www.amd.com/es/support",
     nullptr},
    {8, "Controlador de sonido AC'97", "4.06", "Realtek", "Freeware", 2006,
     "D:\\Drivers\\Audio\\setup.exe", "Para la placa de la computadora de la oficina."},
    {8, "Controlador de red", "5.6", "Realtek", "Freeware", 2005, "D:\\Drivers\\Red\\setup.exe",
     nullptr},
    {8, "Impresora multifunción", "2.3", "Impresoras del Plata", "Freeware", 2004,
     "/media/cdrom/drivers/impresora/instalar.sh", "Incluye el programa de escaneo."},
    {8, "Utilidad de módem", "1.0", "Conexiones del Sur", "Comercial", 2002, nullptr, nullptr},
    // 9: Educación y referencia
    {9, "Atlas Universal", "2005", "Geografía Viva", "Comercial", 2005, nullptr,
     "Mapas físicos y políticos.\r\nRequiere el CD para funcionar."},
    {9, "Tux Paint", "0.9.16", "New Breed Software", "Freeware", 2006, "https://tuxpaint.org/",
     "Dibujo para los chicos."},
    {9, "Stellarium", "0.8.2", "Equipo Stellarium", "Freeware", 2006, "https://stellarium.org/es/",
     "Planetario."},
    {9, "Curso de Inglés Interactivo", "3.0", "Academia Digital", "Demo", 2004,
     "http://www.academiadigital.com/ingles", "Tres lecciones de muestra."},
    {9, "Mecanografía Rápida", "2.5", "Academia Digital", "Shareware", 2003, nullptr, nullptr},
    {9, "Enciclopedia Temática", "2004", "Editorial Álamo", "Trial", 2004, nullptr,
     "Búsqueda limitada en la versión de prueba."},
    {9, "Tabla Periódica", "1.4", "Química Fácil", "Freeware", 2001, nullptr, nullptr},
    // 10: Seguridad y copias
    {10, "AVG Anti-Virus", "7.5", "Grisoft", "Freeware", 2006, "https://www.avg.com/es-es/",
     "Edición gratuita.\r\nActualizar las firmas después de instalar."},
    {10, "Avast!", "4.7", "ALWIL Software", "Freeware", 2006, "https://www.avast.com/es-es/",
     nullptr},
    {10, "ZoneAlarm", "6.5", "Zone Labs", "Freeware", 2006, "https://www.zonealarm.com/",
     "Cortafuegos."},
    {10, "Norton Antivirus", "2006", "Symantec", "Trial", 2005, "https://es.norton.com/",
     "Prueba de 90 días."},
    {10, "Cobian Backup", "8.0", "Luis Cobián", "Freeware", 2006, "https://www.cobiansoft.com/",
     "Copias programadas."},
    {10, "Spybot - Search & Destroy", "1.4", "Safer-Networking", "Freeware", 2006,
     "https://www.safer-networking.org/", nullptr},
    {10, "Recuperador de Archivos", "3.1", "Datos Seguros", "Shareware", 2005,
     "http://www.datosseguros.com/recuperador", "Recupera archivos borrados de la papelera."},
    {10, "Llavero de Contraseñas", "1.0", "Claves S.A.", "Demo", 2004, nullptr, nullptr},
    // 11: Linux: utilidades para Windows
    {11, "GRUB para DOS", "0.4.2", "Proyecto GNU", "Freeware", 2006,
     "https://www.gnu.org/software/grub/", "Cargador de arranque."},
    {11, "Ext2 IFS", "1.10", "Stephan Schreiber", "Freeware", 2006, "https://www.fs-driver.org/",
     "Leer particiones ext2 desde Windows."},
    {11, "Cygwin", "1.5.24", "Red Hat", "Freeware", 2007, "https://www.cygwin.com/", nullptr},
    {11, "Xming", "6.9", "Colin Harrison", "Freeware", 2007,
     "https://sourceforge.net/projects/xming/", "Servidor X para Windows."},
    {11, "WinSCP", "3.8", "Martin Přikryl", "Freeware", 2006, "https://winscp.net/eng/",
     "Copia de archivos por SSH."},
    {11, "Notas de instalación", "1.0", nullptr, "Freeware", 0, "/media/cdrom/LEEME.html",
     "Instrucciones paso a paso.\r\nLeer antes de particionar."},
};

void bindText(engine::Statement &statement, int index, const char *text) {
    if (text)
        statement.bindText(index, QByteArray(text));
    else
        statement.bindNull(index);
}

} // namespace

void insertSampleData(engine::Database *db, const QString &path) {
    engine::Statement cd(db, schema::insertSql(schema::cds::table, 4), path);
    for (const SampleCd &row : kCds) {
        cd.bindInt(1, row.number);
        bindText(cd, 2, row.description);
        bindText(cd, 3, row.date);
        bindText(cd, 4, row.comment);
        cd.step();
        cd.reset();
    }
    engine::Statement program(db, schema::insertSql(schema::programs::table, 9), path);
    int number = 0;
    for (const SampleProgram &row : kPrograms) {
        program.bindInt(1, ++number);
        program.bindInt(2, row.cd);
        bindText(program, 3, row.name);
        bindText(program, 4, row.version);
        bindText(program, 5, row.publisher);
        bindText(program, 6, row.licence);
        program.bindInt(7, row.year);
        bindText(program, 8, row.link);
        bindText(program, 9, row.comment);
        program.step();
        program.reset();
    }
}

} // namespace store
