#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The catalogue's tables and view, their fields in the places the program reads them, and the
// licence categories in the order the lists offer them. No other file spells them.
namespace store::schema {

namespace cds {
inline constexpr char table[] = "Discos";
enum Field : int { Number, Description, Date, Comment };
inline constexpr const char *fields[] = {"NroDisco", "DescripcionDisco", "FechaDisco",
                                         "Comentario"};
} // namespace cds

namespace programs {
inline constexpr char table[] = "Programas";
enum Field : int { Number, Cd, Name, Version, Publisher, Licence, Year, Link, Comment };
inline constexpr const char *fields[] = {"NroPrograma", "NroDisco", "NombrePrograma",
                                         "Version",     "Empresa",  "Licencia",
                                         "Anio",        "Link",     "Comentario"};
} // namespace programs

// What tells a read disc from another of the same label and date (the CDs of a set): the bytes
// of its files and a digest of its listing. A table of the program's own beside the CD, made
// when a read disc is first stored, so that a catalogue without it is read as it always was.
namespace prints {
inline constexpr char table[] = "HuellasDisco";
enum Field : int { Cd, Bytes, Listing };
inline constexpr const char *fields[] = {"NroDisco", "Bytes", "Listado"};
inline constexpr char createSql[] = "CREATE TABLE IF NOT EXISTS HuellasDisco ("
                                    "NroDisco INTEGER PRIMARY KEY REFERENCES Discos(NroDisco) "
                                    "ON DELETE CASCADE ON UPDATE CASCADE, "
                                    "Bytes BIGINT NOT NULL, Listado TEXT NOT NULL)";
} // namespace prints

// Programs with their CD's description, read-only.
namespace joined {
inline constexpr char table[] = "ProgDisc";
enum Field : int { Cd, CdDescription, Name, Version, Publisher, Licence, Year, Link, Comment };
inline constexpr const char *fields[] = {
    "NroDisco", "DescripcionDisco", "NombrePrograma", "Version", "Empresa", "Licencia", "Anio",
    "Link",     "Comentario"};
} // namespace joined

inline QString field(cds::Field f) {
    return QString::fromLatin1(cds::fields[f]);
}
inline QString field(programs::Field f) {
    return QString::fromLatin1(programs::fields[f]);
}
inline QString field(joined::Field f) {
    return QString::fromLatin1(joined::fields[f]);
}
inline QString table(const char *name) {
    return QString::fromLatin1(name);
}

// "INSERT INTO table VALUES (?, ...)" with one parameter per field.
inline QByteArray insertSql(const char *table, int fields) {
    QByteArray sql = QByteArray("INSERT INTO ") + table + " VALUES (?";
    for (int i = 1; i < fields; ++i)
        sql += ", ?";
    return sql + ')';
}

inline constexpr const char *licenceNames[] = {"Freeware", "Comercial", "Demo",
                                               "Trial",    "Shareware", "Warez"};
inline QStringList licences() {
    QStringList names;
    for (const char *name : licenceNames)
        names.append(QString::fromLatin1(name));
    return names;
}

// What `vadrel-db init` creates: the two tables with their range checks, the relation that
// refuses deleting a CD that still has programs, and the joined view.
inline constexpr char createSql[] = R"sql(
CREATE TABLE Discos (
  NroDisco INTEGER PRIMARY KEY CHECK (NroDisco BETWEEN -2147483648 AND 2147483647),
  DescripcionDisco TEXT, FechaDisco DATE, Comentario MEMO);
CREATE TABLE Programas (
  NroPrograma INTEGER PRIMARY KEY CHECK (NroPrograma BETWEEN -2147483648 AND 2147483647),
  NroDisco INTEGER NOT NULL REFERENCES Discos(NroDisco) ON DELETE RESTRICT,
  NombrePrograma TEXT NOT NULL, Version TEXT, Empresa TEXT, Licencia TEXT,
  Anio INTEGER CHECK (Anio BETWEEN -2147483648 AND 2147483647), Link TEXT, Comentario MEMO);
CREATE INDEX ProgramasNroDisco ON Programas(NroDisco);
CREATE VIEW ProgDisc AS SELECT p.NroDisco, d.DescripcionDisco, p.NombrePrograma,
  p.Version, p.Empresa, p.Licencia, p.Anio, p.Link, p.Comentario
  FROM Programas p LEFT JOIN Discos d ON d.NroDisco = p.NroDisco;
)sql";

} // namespace store::schema
