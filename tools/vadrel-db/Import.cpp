#include "vadrel-db/Import.h"

#include "store/catalogue/Catalogue.h"
#include "store/catalogue/ServerCatalogue.h"
#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"

#include <cmath>
#include <set>

using Kind = AccessReader::Kind;
namespace schema = store::schema;

// The old catalogue's tables have the same fields as ours, in the same order.
template <size_t N>
std::vector<AccessReader::Column> accessColumns(const char *const (&names)[N],
                                                std::initializer_list<Kind> kinds) {
    std::vector<AccessReader::Column> columns;
    auto kind = kinds.begin();
    for (const char *name : names)
        columns.push_back({name, *kind++});
    return columns;
}
const std::vector<AccessReader::Column> kAccessCdColumns =
    accessColumns(schema::cds::fields, {Kind::Number, Kind::Text, Kind::Date, Kind::Text});
const std::vector<AccessReader::Column> kAccessProgramColumns = accessColumns(
    schema::programs::fields, {Kind::Number, Kind::Number, Kind::Text, Kind::Text, Kind::Text,
                               Kind::Text, Kind::Number, Kind::Text, Kind::Text});

namespace {

// Access keeps the time of day as the fraction, also of days before the date zero: -1.25 is
// 29 December 1899 at 6:00. Rounded to the second, as our dates are kept.
store::DateSerial toSerial(JetDate date) {
    if (!std::isfinite(date.days) || std::fabs(date.days) > 3.0e6)
        throw ImportError("a date outside the years 1 to 9999 cannot be brought across");
    const double whole = std::trunc(date.days);
    const qint64 seconds = std::llround(std::fabs(date.days - whole) * 86400.0);
    return qint64(whole) * 86400 + seconds;
}

store::NewValue toNew(const AccessValue &value) {
    if (const auto *number = std::get_if<qint64>(&value))
        return *number;
    if (const auto *text = std::get_if<QByteArray>(&value))
        return *text;
    if (const auto *date = std::get_if<JetDate>(&value))
        return store::serialToIso(toSerial(*date));
    return std::monostate();
}

template <size_t N> std::array<store::NewValue, N> toRow(const std::vector<AccessValue> &values) {
    std::array<store::NewValue, N> row;
    for (size_t i = 0; i < N; ++i)
        row[i] = toNew(values[i]);
    return row;
}

} // namespace

namespace {

using Fill = std::function<void(store::NewRows &)>;

ImportReport importInto(AccessReader &reader, const std::function<void(const Fill &)> &create) {
    ImportReport report;
    for (const QString &column : reader.prepare(schema::cds::table, kAccessCdColumns))
        report.ignoredColumns << schema::table(schema::cds::table) + u'.' + column;
    for (const QString &column : reader.prepare(schema::programs::table, kAccessProgramColumns))
        report.ignoredColumns << schema::table(schema::programs::table) + u'.' + column;

    // Everything is read before anything is written: a reader that dies on a damaged file
    // leaves no file behind, not even the hidden one a catalogue is built in.
    std::vector<std::array<store::NewValue, 4>> cds;
    std::vector<std::array<store::NewValue, 9>> programs;
    std::set<qint64> numbers;
    report.cdsRead = reader.read(schema::cds::table, [&](const std::vector<AccessValue> &values) {
        cds.push_back(toRow<4>(values));
        if (const auto *number = std::get_if<qint64>(&values[0]))
            numbers.insert(*number);
    });
    report.programsRead =
        reader.read(schema::programs::table, [&](const std::vector<AccessValue> &values) {
            // A file without the relation may hold programs on a CD it lacks: the CD is made, so
            // that no program is lost.
            const auto *cd = std::get_if<qint64>(&values[1]);
            if (cd && numbers.insert(*cd).second) {
                cds.push_back({*cd, QByteArray(""), store::serialToIso(0),
                               QStringLiteral("Añadido al importar el catálogo de Access: tenía "
                                              "programas en este CD, pero no el CD.")
                                   .toUtf8()});
                report.addedCds.push_back(*cd);
            }
            programs.push_back(toRow<9>(values));
        });

    create([&](store::NewRows &rows) {
        for (const auto &cd : cds)
            rows.addCd(cd);
        for (const auto &program : programs)
            rows.addProgram(program);
        report.cdsWritten = rows.count(schema::cds::table);
        report.programsWritten = rows.count(schema::programs::table);
        if (report.cdsWritten != report.cdsRead + qint64(report.addedCds.size()) ||
            report.programsWritten != report.programsRead)
            throw ImportError("the rows written do not match the rows read");
    });
    return report;
}

} // namespace

ImportReport importAccessCatalogue(AccessReader &reader, const QString &directory) {
    return importInto(reader, [&](const Fill &fill) { store::createCatalogue(directory, fill); });
}

ImportReport importAccessCatalogueToServer(AccessReader &reader, const QByteArray &address) {
    return importInto(
        reader, [&](const Fill &fill) { store::createServerCatalogue(address, false, fill); });
}
