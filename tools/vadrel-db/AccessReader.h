#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

// A date as Access keeps it: days since 30 December 1899, the time of day as the fraction.
struct JetDate {
    double days;
};
// A value read from an Access table: NULL, a whole number, a date or a text in UTF-8.
using AccessValue = std::variant<std::monostate, qint64, JetDate, QByteArray>;

// A reason to stop that the user can act on; the message says what and where.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads tables of an old Access catalogue (Jet 3 or Jet 4) through libmdb, which does all the
// reading of the file; this only picks the columns and turns their values into ours.
class AccessReader {
public:
    enum class Kind { Number, Date, Text };
    struct Column {
        const char *name;
        Kind kind;
    };

    // Opens the file by its path's own bytes, so a name that is no valid text is found; the
    // file stays open, so a later change of working directory does not matter. Throws
    // ImportError when the file is missing or is no Access file.
    explicit AccessReader(const QByteArray &path);
    // For a path known to be valid text (benchmarks).
    explicit AccessReader(const QString &path);
    ~AccessReader();
    AccessReader(const AccessReader &) = delete;
    AccessReader &operator=(const AccessReader &) = delete;

    // Finds `table` and `columns` in it (names in any case) and checks that each holds values
    // of its kind; throws ImportError naming what is missing or of another type. Returns the
    // names of the table's other columns, which are not read.
    QStringList prepare(const char *table, const std::vector<Column> &columns);
    // Hands each row of a prepared table to `row`, its values in the order of its columns, and
    // returns how many rows there were.
    qint64 read(const char *table,
                const std::function<void(const std::vector<AccessValue> &)> &row);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};
