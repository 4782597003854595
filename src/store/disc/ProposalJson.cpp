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
                                      {"comentario", cd.comment}});
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
            sawCd = true;
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
