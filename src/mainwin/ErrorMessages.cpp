#include "mainwin/ErrorMessages.h"

#include "store/engine/DatabaseError.h"
#include "store/files/FileError.h"

#include <QDir>
#include <new>

namespace {

using store::DatabaseError;
using Cause = DatabaseError::Cause;
using Kind = DatabaseError::Kind;

QString box(const QString &sentence, const QString &detail = {}) {
    return errorText(sentence, detail);
}

QString file(const DatabaseError &error) {
    return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(error.path()));
}

QString databaseMessage(const DatabaseError &error) {
    switch (error.cause()) {
    case Cause::HasChildren:
        return QStringLiteral(" La operación no puede realizarse debido a que existe "
                              "información (Programas) asociada a este registro ");
    case Cause::FileMissing:
        return box(QStringLiteral("No se encuentra la base de datos %1").arg(file(error)));
    case Cause::PathTooLong:
        return box(QStringLiteral("No se puede abrir la base de datos %1: su ruta es más larga "
                                  "de lo que admite el motor de la base de datos (512 bytes); "
                                  "lleve el catálogo a una carpeta de ruta más corta")
                       .arg(file(error)));
    case Cause::NotAllowed:
        return box(QStringLiteral("El servidor del catálogo %1 no le permite modificarlo: su "
                                  "usuario sólo puede consultarlo")
                       .arg(file(error)),
                   error.engineMessage());
    case Cause::ReadOnly:
        return box(QStringLiteral("No se puede escribir en la base de datos %1: el archivo o su "
                                  "carpeta son de sólo lectura")
                       .arg(file(error)));
    case Cause::DiskFull:
        return box(
            QStringLiteral("No se puede escribir en la base de datos %1: el disco está lleno")
                .arg(file(error)));
    case Cause::NotDatabase:
        return box(QStringLiteral("El archivo %1 no es una base de datos válida o está dañado")
                       .arg(file(error)));
    case Cause::Locked:
        return box(QStringLiteral("La base de datos %1 está bloqueada por otro programa; intente "
                                  "nuevamente")
                       .arg(file(error)));
    case Cause::MissingTable:
        return box(QStringLiteral("La base de datos %1 no contiene la tabla o consulta %2")
                       .arg(file(error), error.table()));
    case Cause::MissingField:
        return box(QStringLiteral("La tabla o consulta %1 de la base de datos %2 no tiene el "
                                  "campo %3")
                       .arg(error.table(), file(error), error.field()));
    case Cause::Relation:
    case Cause::MissingParent:
        return box(QStringLiteral("No se pudo guardar el registro: el CD indicado no existe"));
    case Cause::DuplicateKey:
        return box(QStringLiteral("No se pudo guardar el registro: ya existe uno con ese número"));
    case Cause::MissingValue:
        return box(QStringLiteral("No se pudo guardar el registro: falta un dato obligatorio"),
                   error.engineMessage());
    case Cause::OutOfRange:
        return box(QStringLiteral("No se pudo guardar el registro: un número está fuera del "
                                  "rango que admite la base de datos"),
                   error.engineMessage());
    case Cause::DeleteRefused:
        return box(QStringLiteral("La base de datos no permitió eliminar el registro de %1")
                       .arg(error.table()),
                   error.engineMessage());
    case Cause::RowGone:
        return box(QStringLiteral("No se pudo guardar el registro: ya no está en la base de datos "
                                  "(otro programa lo eliminó)"));
    case Cause::ChangedElsewhere:
        return box(QStringLiteral("Otro programa cambió o borró este registro mientras usted lo "
                                  "tenía abierto; no se hizo ningún cambio. Los datos se leyeron "
                                  "de nuevo: revíselos antes de intentarlo otra vez%1")
                       .arg(error.field().isEmpty()
                                ? QString()
                                : QStringLiteral(" (cambió el campo %1)").arg(error.field())));
    case Cause::NotAWholeNumber:
        return box(QStringLiteral("'%1' no es un número entero válido para el campo %2")
                       .arg(error.value(), error.field()));
    case Cause::NotADate:
        return box(QStringLiteral("'%1' no es una fecha válida para el campo %2")
                       .arg(error.value(), error.field()));
    case Cause::ServerUnreachable:
        return box(
            QStringLiteral("No se pudo conectar con el servidor del catálogo %1").arg(file(error)),
            error.engineMessage());
    case Cause::ConnectionLost:
        return box(QStringLiteral("Se perdió la conexión con el servidor del catálogo %1; la "
                                  "operación no se realizó. Se volverá a conectar en la próxima "
                                  "operación")
                       .arg(file(error)),
                   error.engineMessage());
    case Cause::Timeout:
        return box(QStringLiteral("El servidor del catálogo %1 tardó demasiado en responder; la "
                                  "operación no se realizó")
                       .arg(file(error)),
                   error.engineMessage());
    case Cause::Unknown:
        break;
    }
    switch (error.kind()) {
    case Kind::NotOpen:
        return box(QStringLiteral("La operación no puede realizarse porque la base de datos no "
                                  "está abierta"));
    case Kind::Refused:
        return box(QStringLiteral("La base de datos no aceptó los datos del registro"),
                   error.engineMessage());
    case Kind::Io:
        return box(
            QStringLiteral("Error de lectura o escritura en la base de datos %1").arg(file(error)),
            error.engineMessage());
    case Kind::Busy:    // always with the cause Locked
    case Kind::Corrupt: // always with the cause NotDatabase
    case Kind::Conversion:
    case Kind::Other:
        break;
    }
    return box(QStringLiteral("La operación no pudo realizarse por un error interno del programa"),
               error.engineMessage());
}

QString fileMessage(const store::FileError &error) {
    using Cause = store::FileError::Cause;
    const QString file = QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(error.path()));
    switch (error.cause()) {
    case Cause::NotWritable:
        return box(QStringLiteral("No se puede escribir el archivo %1: la carpeta o el archivo "
                                  "son de sólo lectura")
                       .arg(file));
    case Cause::DiskFull:
        return box(
            QStringLiteral("No se puede escribir el archivo %1: el disco está lleno").arg(file),
            error.detail());
    case Cause::FolderMissing:
        return box(
            QStringLiteral("No se puede escribir el archivo %1: la carpeta no existe").arg(file));
    case Cause::CheckFailed:
        return box(QStringLiteral("La copia %1 no resultó igual al original; no se guardó y el "
                                  "archivo anterior quedó como estaba")
                       .arg(file),
                   error.detail());
    case Cause::Other:
        break;
    }
    return box(QStringLiteral("No se puede escribir el archivo %1").arg(file), error.detail());
}

} // namespace

QString errorMessage(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const DatabaseError &error) {
        return databaseMessage(error);
    } catch (const store::FileError &error) {
        return fileMessage(error);
    } catch (const std::bad_alloc &) {
        return box(QStringLiteral("No hay memoria suficiente para completar la operación"));
    } catch (const std::exception &error) {
        return box(QStringLiteral("La operación no pudo realizarse por un error interno del "
                                  "programa"),
                   QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return box(QStringLiteral("La operación no pudo realizarse por un error desconocido"));
    }
}

QString errorText(const QString &sentence, const QString &detail) {
    QString text = u' ' + sentence + u' ';
    if (!detail.isEmpty()) {
        constexpr int kLongest = 160; // a hint for whoever helps the user, not a report
        const QString shown = detail.size() > kLongest ? detail.left(kLongest) + u'…' : detail;
        text += QStringLiteral("\r\n Detalle técnico: ") + shown + u' ';
    }
    return text;
}
