#include "store/disc/ProposalJson.h"

#include "store/schema/Schema.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <initializer_list>
#include <utility>

namespace disc {

namespace {

using Field = std::pair<const char *, QJsonValue>;

// An object with its keys in the order given (a QJsonObject would sort them), so that the lines
// read as documented.
QByteArray object(std::initializer_list<Field> fields) {
    QByteArray out = "{";
    for (const auto &[key, value] : fields) {
        if (out.size() > 1)
            out += ',';
        const QByteArray one = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        out += '"' + QByteArray(key) + "\":" + one.mid(1, one.size() - 2);
    }
    return out + '}';
}

QString text(const QJsonObject &object, const char *key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        throw ProposalFormatError(std::string("the field ") + key + " is not a text");
    return value.toString();
}

} // namespace

QByteArray cdLine(const ProposedCd &cd) {
    const QByteArray fields = object({{"descripcion", cd.description},
                                      {"fecha", cd.date.toString(Qt::ISODate).isEmpty()
                                                    ? QJsonValue()
                                                    : QJsonValue(cd.date.toString(Qt::ISODate))},
                                      {"comentario", cd.comment},
                                      {"bytes", double(cd.bytes)},
                                      {"listado", cd.listing}});
    return "{\"cd\":" + fields + "}\n";
}

QByteArray programLine(const ProposedProgram &program) {
    return object({{"programa", program.name},
                   {"version", program.version},
                   {"empresa", program.publisher},
                   {"licencia", program.licence},
                   {"licencia_supuesta", program.licenceGuessed},
                   {"anio", program.year ? QJsonValue(*program.year) : QJsonValue()},
                   {"link", program.link},
                   {"comentario", program.comment},
                   {"marcado", program.checked},
                   {"origen", program.origin}}) +
           '\n';
}

QByteArray unreadLine(const std::vector<UnreadPart> &unread) {
    QByteArray parts;
    for (const UnreadPart &part : unread)
        parts += (parts.isEmpty() ? "" : ",") + object({{"ruta", part.path}, {"motivo", part.why}});
    return "{\"sin_leer\":[" + parts + "]}\n";
}

QString unreadSummary(const std::vector<UnreadPart> &unread) {
    // A label over the proposal: the first few, and how many more.
    constexpr std::size_t kShown = 5;
    QStringList parts;
    for (std::size_t i = 0; i < unread.size() && i < kShown; ++i)
        parts << (unread[i].path.isEmpty()
                      ? unread[i].why
                      : unread[i].path + QStringLiteral(" (") + unread[i].why + u')');
    if (unread.size() > kShown)
        parts << QStringLiteral("y %1 más").arg(unread.size() - kShown);
    return parts.isEmpty() ? QString()
                           : QStringLiteral("No se leyeron: ") + parts.join(QStringLiteral("; "));
}

Proposal readProposal(const QByteArray &lines) {
    Proposal proposal;
    bool sawCd = false;
    for (const QByteArray &raw : lines.split('\n')) {
        if (raw.trimmed().isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(raw, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            throw ProposalFormatError("a line is not a JSON object");
        const QJsonObject object = document.object();
        if (!sawCd) {
            const QJsonObject cd = object.value(QStringLiteral("cd")).toObject();
            if (cd.isEmpty())
                throw ProposalFormatError("the first line is not the CD");
            proposal.cd.description = text(cd, "descripcion");
            proposal.cd.comment = text(cd, "comentario");
            const QJsonValue date = cd.value(QStringLiteral("fecha"));
            if (date.isString())
                proposal.cd.date = QDate::fromString(date.toString(), Qt::ISODate);
            // Absent in the lines of an older program: the CD is then told apart as before.
            proposal.cd.bytes = qint64(cd.value(QStringLiteral("bytes")).toDouble());
            proposal.cd.listing = cd.value(QStringLiteral("listado")).toString();
            sawCd = true;
            continue;
        }
        if (object.contains(QStringLiteral("sin_leer"))) {
            const QJsonValue parts = object.value(QStringLiteral("sin_leer"));
            if (!parts.isArray())
                throw ProposalFormatError("what was not read is not a list");
            for (const QJsonValue &part : parts.toArray()) {
                if (!part.isObject())
                    throw ProposalFormatError("a part not read is not an object");
                proposal.unread.push_back(
                    {text(part.toObject(), "ruta"), text(part.toObject(), "motivo")});
            }
            continue;
        }
        ProposedProgram program;
        program.name = text(object, "programa");
        program.version = text(object, "version");
        program.publisher = text(object, "empresa");
        program.licence = text(object, "licencia");
        if (!store::schema::licences().contains(program.licence))
            throw ProposalFormatError("a program's licence is not one of the six");
        program.licenceGuessed = object.value(QStringLiteral("licencia_supuesta")).toBool(false);
        const QJsonValue year = object.value(QStringLiteral("anio"));
        if (year.isDouble())
            program.year = year.toInt();
        else if (!year.isNull())
            throw ProposalFormatError("a program's year is neither a number nor null");
        program.link = text(object, "link");
        program.comment = text(object, "comentario");
        program.checked = object.value(QStringLiteral("marcado")).toBool(true);
        program.origin = text(object, "origen");
        proposal.programs.push_back(std::move(program));
    }
    if (!sawCd)
        throw ProposalFormatError("no CD was proposed");
    return proposal;
}

} // namespace disc
