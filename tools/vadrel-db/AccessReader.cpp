#include "vadrel-db/AccessReader.h"

#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
// libmdb's header uses glib's types without including glib itself.
#include <glib.h>
#include <mdbtools.h>

namespace {

MdbColumn *columnAt(MdbTableDef *table, unsigned index) {
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, index));
}

bool holds(AccessReader::Kind kind, int type) {
    switch (kind) {
    case AccessReader::Kind::Number:
        return type == MDB_BYTE || type == MDB_INT || type == MDB_LONGINT;
    case AccessReader::Kind::Date:
        return type == MDB_DATETIME;
    case AccessReader::Kind::Text:
        return type == MDB_TEXT || type == MDB_MEMO;
    }
    return false;
}

const char *kindName(AccessReader::Kind kind) {
    switch (kind) {
    case AccessReader::Kind::Number:
        return "a whole number";
    case AccessReader::Kind::Date:
        return "a date";
    case AccessReader::Kind::Text:
        return "a text";
    }
    return "";
}

} // namespace

struct AccessReader::Private {
    QString path;
    qint64 fileSize = 0;
    MdbHandle *mdb = nullptr;
    struct Prepared {
        MdbTableDef *table = nullptr;
        std::vector<unsigned> places; // of the wanted columns, in the table's own order
    };
    std::map<std::string, Prepared> tables;

    ~Private() {
        for (auto &entry : tables)
            mdb_free_tabledef(entry.second.table);
        if (mdb)
            mdb_close(mdb);
    }

    // How many bytes of a memo the library reaches, following its pages as it reads them:
    // within the row, on one page of its own, or along a chain of pages. A memo whose flags it
    // does not know, or whose pages are missing, gives less than its stored length, and the
    // library then hands over a cut or empty text without a word.
    size_t memoReachable(const MdbField &field) {
        if (field.siz < MDB_MEMO_OVERHEAD)
            return 0;
        const quint32 header = quint32(mdb_get_int32(mdb->pg_buf, field.start));
        if (header & 0x80000000u)
            return size_t(field.siz - MDB_MEMO_OVERHEAD);
        if (header & 0xff000000u && !(header & 0x40000000u))
            return 0;
        const size_t stored = header & 0x3fffffff;
        const bool onePage = header & 0x40000000u;
        int pageRow = int(mdb_get_int32(mdb->pg_buf, field.start + 4));
        size_t reached = 0;
        std::set<int> visited; // a chain that loops is damage too
        while (pageRow != 0 && visited.insert(pageRow).second && reached <= stored) {
            void *page = nullptr;
            int start = 0;
            size_t size = 0;
            if (mdb_find_pg_row(mdb, pageRow, &page, &start, &size) != 0 || start <= 0 ||
                size_t(start) + size > size_t(mdb->fmt->pg_size))
                break;
            if (onePage)
                return size;
            if (size <= 4)
                break;
            reached += size - 4; // each page of the chain starts with the next one's place
            pageRow = int(mdb_get_int32(page, start));
        }
        return reached;
    }

    // A memo the library cannot read whole is damage: it would come across cut or empty.
    void checkMemo(const char *table, const MdbColumn *keyColumn, const AccessValue &key,
                   const MdbColumn *column, const MdbField &field) {
        const size_t stored = field.siz < MDB_MEMO_OVERHEAD
                                  ? 0
                                  : size_t(mdb_get_int32(mdb->pg_buf, field.start)) & 0x3fffffff;
        // A length past the file's end is not followed at all.
        const size_t reached = stored > size_t(fileSize) ? 0 : memoReachable(field);
        if (field.siz >= MDB_MEMO_OVERHEAD && reached == stored)
            return;
        const auto *number = std::get_if<qint64>(&key);
        throw ImportError(QStringLiteral("the memo in the column %1 of the row with %2 %3 of the "
                                         "table %4 of %5 is damaged: its stored length is %6 "
                                         "bytes, but the file gives %7")
                              .arg(QString::fromUtf8(column->name),
                                   QString::fromUtf8(keyColumn->name),
                                   number ? QString::number(*number) : QStringLiteral("NULL"),
                                   QLatin1String(table), path)
                              .arg(stored)
                              .arg(reached)
                              .toStdString());
    }

    // The text of a Text or Memo value. The library writes it into a buffer of its bind size
    // and cuts what does not fit without a word, so the size is set from the value's own
    // length first: at most two bytes of UTF-8 for each byte stored.
    QByteArray text(const MdbColumn *column, const MdbField &field) {
        size_t stored = size_t(field.siz);
        if (column->col_type == MDB_MEMO)
            stored = size_t(mdb_get_int32(mdb->pg_buf, field.start)) & 0x3fffffff;
        // A damaged length must not have the buffer sized after it: a memo lies in the file.
        if (stored > size_t(fileSize))
            throw ImportError(QStringLiteral("a value of the column %1 of %2 is damaged")
                                  .arg(QString::fromUtf8(column->name), path)
                                  .toStdString());
        const size_t needed = std::max<size_t>(MDB_BIND_SIZE, 2 * stored + 16);
        if (mdb->bind_size < needed)
            mdb_set_bind_size(mdb, needed);
        char *converted =
            mdb_col_to_string(mdb, mdb->pg_buf, field.start, column->col_type, field.siz);
        const QByteArray value(converted ? converted : "");
        g_free(converted);
        if (size_t(value.size()) + 1 >= mdb->bind_size)
            throw ImportError(
                QStringLiteral("a value of the column %1 is too long to be read whole")
                    .arg(QString::fromUtf8(column->name))
                    .toStdString());
        return value;
    }
};

AccessReader::AccessReader(const QByteArray &path)
    : d_(std::make_unique<Private>()) {
    // The name is only decoded for messages; the file is found by its bytes.
    d_->path = QFile::decodeName(path);
    // Looked at before it is opened: libmdb would wait for ever on a FIFO, and calls whatever
    // it cannot open missing.
    struct stat info;
    auto refuse = [&](const QString &why) { throw ImportError(why.arg(d_->path).toStdString()); };
    if (::stat(path.constData(), &info) != 0)
        refuse(errno == ENOENT ? QStringLiteral("%1 does not exist")
                               : QStringLiteral("%1 cannot be read: ") +
                                     QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(info.st_mode))
        refuse(QStringLiteral("%1 is a folder, not an Access file"));
    if (!S_ISREG(info.st_mode))
        refuse(QStringLiteral("%1 is not a regular file"));
    if (::access(path.constData(), R_OK) != 0)
        refuse(QStringLiteral("%1 cannot be read: ") +
               QString::fromLocal8Bit(std::strerror(errno)));
    d_->fileSize = info.st_size;
    // libmdb hands texts over in the code set MDBICONV names, UTF-8 when unset; ours are UTF-8
    // whatever the user set for mdbtools' own commands.
    ::setenv("MDBICONV", "UTF-8", 1);
    d_->mdb = mdb_open(path.constData(), MDB_NOFLAGS);
    if (!d_->mdb)
        throw ImportError(
            QStringLiteral("%1 is not a Microsoft Access file").arg(d_->path).toStdString());
    // The catalogue is read once: reading a table by name would read it anew and free the
    // entries this holds.
    if (!mdb_read_catalog(d_->mdb, MDB_TABLE))
        throw ImportError(
            QStringLiteral("the list of tables of %1 cannot be read").arg(d_->path).toStdString());
}

AccessReader::AccessReader(const QString &path)
    : AccessReader(QFile::encodeName(path)) {}

AccessReader::~AccessReader() = default;

QStringList AccessReader::prepare(const char *table, const std::vector<Column> &columns) {
    MdbCatalogEntry *entry = nullptr;
    for (unsigned i = 0; i < d_->mdb->num_catalog && !entry; ++i) {
        auto *candidate = static_cast<MdbCatalogEntry *>(g_ptr_array_index(d_->mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            QString::fromUtf8(candidate->object_name)
                    .compare(QLatin1String(table), Qt::CaseInsensitive) == 0)
            entry = candidate;
    }
    if (!entry)
        throw ImportError(
            QStringLiteral("%1 has no table %2").arg(d_->path, QLatin1String(table)).toStdString());
    Private::Prepared prepared;
    prepared.table = mdb_read_table(entry);
    if (!prepared.table || !mdb_read_columns(prepared.table)) {
        if (prepared.table)
            mdb_free_tabledef(prepared.table);
        throw ImportError(QStringLiteral("the table %1 of %2 cannot be read")
                              .arg(QLatin1String(table), d_->path)
                              .toStdString());
    }
    auto drop = [&] { mdb_free_tabledef(prepared.table); };
    std::vector<bool> used(prepared.table->num_cols, false);
    for (const Column &wanted : columns) {
        unsigned place = prepared.table->num_cols;
        for (unsigned i = 0; i < prepared.table->num_cols && place == prepared.table->num_cols; ++i)
            if (QString::fromUtf8(columnAt(prepared.table, i)->name)
                    .compare(QLatin1String(wanted.name), Qt::CaseInsensitive) == 0)
                place = i;
        if (place == prepared.table->num_cols) {
            drop();
            throw ImportError(QStringLiteral("the table %1 of %2 has no column %3")
                                  .arg(QLatin1String(table), d_->path, QLatin1String(wanted.name))
                                  .toStdString());
        }
        if (!holds(wanted.kind, columnAt(prepared.table, place)->col_type)) {
            drop();
            throw ImportError(QStringLiteral("the column %1 of the table %2 does not hold %3")
                                  .arg(QLatin1String(wanted.name), QLatin1String(table),
                                       QLatin1String(kindName(wanted.kind)))
                                  .toStdString());
        }
        prepared.places.push_back(place);
        used[place] = true;
    }
    QStringList others;
    for (unsigned i = 0; i < prepared.table->num_cols; ++i)
        if (!used[i])
            others << QString::fromUtf8(columnAt(prepared.table, i)->name);
    auto &slot = d_->tables[table];
    if (slot.table)
        mdb_free_tabledef(slot.table);
    slot = prepared;
    return others;
}

qint64 AccessReader::read(const char *table,
                          const std::function<void(const std::vector<AccessValue> &)> &row) {
    const Private::Prepared &prepared = d_->tables.at(table);
    MdbTableDef *def = prepared.table;
    MdbHandle *mdb = d_->mdb;
    std::vector<MdbField> fields(std::max<unsigned>(def->num_cols, MDB_MAX_COLS));
    std::vector<AccessValue> values(prepared.places.size());
    qint64 count = 0;
    mdb_rewind_table(def);
    // Nothing is bound: each row fetched is taken apart again here, which says which values
    // are NULL (a bound column reads NULL and an empty text alike) and where each one lies.
    while (mdb_fetch_row(def)) {
        int start = 0;
        size_t size = 0;
        // A row said to lie outside its page is damage the library would read blindly.
        if (mdb_find_row(mdb, int(def->cur_row) - 1, &start, &size) != 0 || start <= 0 ||
            size == 0 || size_t(start) + size > size_t(mdb->fmt->pg_size) ||
            mdb_crack_row(def, start, size, fields.data()) < int(def->num_cols))
            throw ImportError(QStringLiteral("a row of the table %1 of %2 cannot be read")
                                  .arg(QLatin1String(table), d_->path)
                                  .toStdString());
        // Memos last: reading one may use the page buffer the other values lie in.
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t i = 0; i < prepared.places.size(); ++i) {
                const MdbColumn *column = columnAt(def, prepared.places[i]);
                const MdbField &field = fields[prepared.places[i]];
                if ((column->col_type == MDB_MEMO) != (pass == 1))
                    continue;
                if (field.is_null) {
                    values[i] = std::monostate();
                    continue;
                }
                if (column->col_type == MDB_MEMO && field.siz > 0)
                    d_->checkMemo(table, columnAt(def, prepared.places[0]), values[0], column,
                                  field);
                switch (column->col_type) {
                case MDB_BYTE:
                    values[i] = qint64(mdb->pg_buf[field.start]);
                    break;
                case MDB_INT:
                    values[i] = qint64(qint16(mdb_get_int16(mdb->pg_buf, field.start)));
                    break;
                case MDB_LONGINT:
                    values[i] = qint64(qint32(mdb_get_int32(mdb->pg_buf, field.start)));
                    break;
                case MDB_DATETIME:
                    values[i] = JetDate{mdb_get_double(mdb->pg_buf, field.start)};
                    break;
                default:
                    values[i] = d_->text(column, field);
                    break;
                }
            }
        }
        row(values);
        ++count;
    }
    // The library reads past the end of a cut file without a word; the table's own count of
    // its rows tells.
    if (count != qint64(def->num_rows))
        throw ImportError(QStringLiteral("the table %1 of %2 counts %3 rows, but %4 were read: "
                                         "the file is damaged")
                              .arg(QLatin1String(table), d_->path)
                              .arg(def->num_rows)
                              .arg(count)
                              .toStdString());
    return count;
}
