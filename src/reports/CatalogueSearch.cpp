#include "reports/CatalogueSearch.h"

#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "store/schema/Schema.h"
#include "store/search/SearchIndex.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

using store::search::SearchIndex;

namespace {

const char *const kHeaders[SearchIndex::FieldCount] = {
    "Programa", "Versión", "Empresa", "Licencia",         "Año", "Link", "Comentario",
    "Nro. CD",  "CD",      "Fecha",   "Comentario del CD"};

// The text's folded form with, for each of its characters, where it came from in the text, so
// that a word found in the folded form can be marked in the original.
struct FoldedText {
    QString folded;
    std::vector<int> origin; // one per character of `folded`
};

FoldedText foldKeepingPlaces(const QString &text) {
    // Characters below the combining marks are folded one by one from a table.
    static const std::array<QString, 0x300> table = [] {
        std::array<QString, 0x300> folded;
        for (char16_t c = 0; c < 0x300; ++c)
            folded[c] = SearchIndex::fold(QString(QChar(c)));
        return folded;
    }();
    FoldedText out;
    out.folded.reserve(text.size());
    out.origin.reserve(size_t(text.size()) + 1);
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const char16_t c = text.at(i).unicode();
        if (c < 0x300 && table[c].size() == 1) { // most characters: one for one
            out.folded += table[c].at(0);
            out.origin.push_back(i);
            ++i;
            continue;
        }
        const QString piece = c < 0x300 ? table[c] : SearchIndex::fold(text.mid(i, length));
        out.folded += piece;
        out.origin.insert(out.origin.end(), size_t(piece.size()), i);
        i += length;
    }
    out.origin.push_back(int(text.size()));
    return out;
}

// Line breaks of a comment would hide the rest of it in a grid cell.
QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QChar(u'\n'), QChar(u' '));
    text.replace(QChar(u'\r'), QChar(u' '));
    return text;
}

// The details of one program with the labels of the queries page's details window, read-only.
class ProgramDetails : public DialogBase {
public:
    ProgramDetails(const SearchIndex &index, int program, QWidget *parent)
        : DialogBase(QStringLiteral("DatosPrograma"), QStringLiteral("Ver datos Programa"),
                     QSize(434, 441), OwnWindow{}, parent) {
        auto *frame = new QGroupBox(this);
        frame->setObjectName(QStringLiteral("GroupBox1"));
        const SearchIndex::Field fields[] = {
            SearchIndex::Name, SearchIndex::Version, SearchIndex::Publisher, SearchIndex::Licence,
            SearchIndex::Year, SearchIndex::Link,    SearchIndex::CdNumber};
        std::array<QLineEdit *, std::size(fields)> boxes{};
        for (size_t i = 0; i < boxes.size(); ++i) {
            boxes[i] = new QLineEdit(index.text(program, fields[i]), frame);
            boxes[i]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
            boxes[i]->setReadOnly(true); // selectable and copyable, never changed
            boxes[i]->setCursorPosition(0);
        }
        auto *memo = new QPlainTextEdit(index.text(program, SearchIndex::Comment), frame);
        memo->setObjectName(QStringLiteral("Memo1"));
        memo->setReadOnly(true);
        prepareMemo(memo);
        layRows(frame, {{QStringLiteral("Programa :"), boxes[0]},
                        {QStringLiteral("Versión :"), boxes[1]},
                        {QStringLiteral("Empresa :"), boxes[2]},
                        {QStringLiteral("Licencia :"), boxes[3]},
                        {QStringLiteral("Año :"), boxes[4]},
                        {QStringLiteral("Link :"), boxes[5]},
                        {QStringLiteral("Nro. CD :"), boxes[6]},
                        {QStringLiteral("Comentario :"), memo}});
        acceptAndCancel(frame, [this] { close(); });
    }
};

} // namespace

// The grid's rows are the match list; cells are read from the index only when painted.
class CatalogueSearch::Matches : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    const SearchIndex *index = nullptr;
    std::vector<int> rows;

    void show(std::vector<int> found) {
        beginResetModel();
        rows = std::move(found);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent) const override {
        return parent.isValid() ? 0 : int(rows.size());
    }
    int columnCount(const QModelIndex &parent) const override {
        return parent.isValid() ? 0 : SearchIndex::FieldCount;
    }
    QVariant data(const QModelIndex &cell, int role) const override {
        if (role != Qt::DisplayRole || index == nullptr)
            return {};
        return oneLine(index->text(rows[size_t(cell.row())], SearchIndex::Field(cell.column())));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QString::fromUtf8(kHeaders[section]);
        return {};
    }
};

// Paints a cell with every place where a searched word occurs in bold on a marker colour.
class CatalogueSearch::Marker : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QStringList words; // folded

    // The folded form of the texts painted lately: the rows on screen mostly stay from one
    // keystroke to the next.
    const FoldedText &folded(const QString &text) const {
        if (auto known = folds_.constFind(text); known != folds_.constEnd())
            return *known;
        if (folds_.size() > 4000)
            folds_.clear();
        return *folds_.insert(text, foldKeepingPlaces(text));
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &cell) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, cell);
        const QString text = item.text;
        item.text.clear();
        QStyle *style = item.widget ? item.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

        std::vector<bool> marked(size_t(text.size()), false);
        bool anyMarked = false;
        const FoldedText &folded = this->folded(text);
        for (const QString &word : words)
            for (qsizetype at = folded.folded.indexOf(word); at >= 0;
                 at = folded.folded.indexOf(word, at + 1))
                for (int i = folded.origin[size_t(at)]; i < folded.origin[size_t(at + word.size())];
                     ++i)
                    anyMarked = marked[size_t(i)] = true;

        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget)
                               .adjusted(3, 0, -3, 0);
        painter->save();
        painter->setClipRect(area);
        const QColor rowText = item.palette.color(
            item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
        painter->setPen(rowText);
        if (!anyMarked) { // most cells: the text once, without measuring it first
            painter->setFont(item.font);
            painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
            painter->restore();
            return;
        }
        QFont bold = item.font;
        bold.setBold(true);
        // Dark on the light mark, in a selected row as in any other: the row's own text colour
        // may be light.
        const QColor markText = QColor(20, 20, 20);
        int x = area.left();
        for (int from = 0; from < text.size() && x < area.right();) {
            int to = from;
            while (to < text.size() && marked[size_t(to)] == marked[size_t(from)])
                ++to;
            const QString piece = text.mid(from, to - from);
            const QFont &font = marked[size_t(from)] ? bold : item.font;
            painter->setFont(font);
            const int width = QFontMetrics(font).horizontalAdvance(piece);
            const QRect box(x, area.top(), width, area.height());
            if (marked[size_t(from)])
                painter->fillRect(box, QColor(255, 230, 120));
            painter->setPen(marked[size_t(from)] ? markText : rowText);
            painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, piece);
            x += width;
            from = to;
        }
        painter->restore();
    }

private:
    mutable QHash<QString, FoldedText> folds_;
};

CatalogueSearch::CatalogueSearch(platform::Services services, TDataModule2 &data, QWidget *parent)
    : DialogBase(QStringLiteral("BuscarEnCatalogo"), QStringLiteral("Buscar en todo el catálogo"),
                 QSize(900, 520), OwnWindow{&services.preferences}, parent)
    , services_(services)
    , data_(data) {
    setModal(false); // the user may keep it open beside the main window
    Palabras = new QLineEdit(this);
    Palabras->setObjectName(QStringLiteral("Palabras"));
    Palabras->setAccessibleName(QStringLiteral("Palabras a buscar"));
    Palabras->setPlaceholderText(QStringLiteral("Palabras a buscar en todos los datos"));
    Palabras->setClearButtonEnabled(true);

    Resultados = new QTableView(this);
    Resultados->setObjectName(QStringLiteral("Resultados"));
    Resultados->setAccessibleName(QStringLiteral("Programas encontrados"));
    matches_ = new Matches(this);
    marker_ = new Marker(this);
    Resultados->setModel(matches_);
    Resultados->setItemDelegate(marker_);
    Resultados->setSelectionBehavior(QAbstractItemView::SelectRows);
    Resultados->setSelectionMode(QAbstractItemView::SingleSelection);
    Resultados->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Resultados->setWordWrap(false);
    Resultados->verticalHeader()->hide();
    // Rows of one height: a million of them must not be measured.
    Resultados->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Resultados->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Resultados->horizontalHeader()->setDefaultSectionSize(120);

    Cuenta = new QLabel(this);
    Cuenta->setObjectName(QStringLiteral("Cuenta"));
    Cuenta->setAccessibleName(QStringLiteral("Programas encontrados"));

    poll_ = new QTimer(this);
    poll_->setInterval(30);
    QObject::connect(poll_, &QTimer::timeout, this,
                     [this] { platform::guarded(this, [&] { takeReading(); }); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Palabras);
    layout->addWidget(Resultados, 1);
    layout->addWidget(Cuenta);

    platform::connectGuarded(Palabras, &QLineEdit::textChanged, this,
                             [this] { search(Palabras->text()); });
    platform::connectGuarded(Palabras, &QLineEdit::returnPressed, this, [this] {
        const QModelIndex current = Resultados->currentIndex();
        if (matches_->rowCount({}) > 0)
            showDetails(current.isValid() ? current.row() : 0);
    });
    // Enter on a row and a double-click both activate it.
    platform::connectGuarded(Resultados, &QAbstractItemView::activated, this,
                             [this](const QModelIndex &row) { showDetails(row.row()); });

    QObject::connect(&data_.Reads, &store::CursorSession::changed, this,
                     [this](const store::CursorSession::Change &change) { saved({change}); });
    QObject::connect(&data_, &TDataModule2::othersSaved, this, &CatalogueSearch::saved);
    QObject::connect(&data_, &TDataModule2::everythingReread, this,
                     [this] { platform::guarded(this, [&] { readAgain(); }); });
}

// A reading under way is waited for: it runs on the window's own copy of the file's name.
CatalogueSearch::~CatalogueSearch() = default;

void CatalogueSearch::FormActivate() {
    matches_->index = nullptr;
    index_.reset();
    searched_.clear();
    search(Palabras->text());
    Palabras->setFocus();
    if (reading_.valid())
        readAgain_ = true; // what it reads may be older than this opening
    else
        startReading();
}

void CatalogueSearch::startReading() {
    readAgain_ = false;
    saved_.clear(); // the reading sees them
    // On a connection of the reading's own; a failure to open it reaches the error box too.
    reading_ = std::async(std::launch::async, [open = data_.ADOConnection.another(),
                                               format = services_.clock.shortDateFormat()] {
        return SearchIndex::build(open().get(), format);
    });
    poll_->start();
}

void CatalogueSearch::readAgain() {
    if (!isVisible())
        return; // read in full at the next opening
    if (reading_.valid())
        readAgain_ = true;
    else if (index_ != nullptr)
        startReading(); // the matches shown stay until it ends
}

void CatalogueSearch::saved(const std::vector<store::CursorSession::Change> &changes) {
    if (!isVisible())
        return; // read in full at the next opening
    saved_.insert(saved_.end(), changes.begin(), changes.end());
    if (!patchQueued_) {
        patchQueued_ = true;
        QMetaObject::invokeMethod(
            this, [this] { platform::guarded(this, [&] { patchSaved(); }); }, Qt::QueuedConnection);
    }
}

void CatalogueSearch::patchSaved() {
    patchQueued_ = false;
    if (index_ == nullptr || reading_.valid() || saved_.empty())
        return; // what is being read takes them once it is in
    namespace schema = store::schema;
    std::vector<qint64> programs, cds;
    for (const store::CursorSession::Change &change : std::exchange(saved_, {})) {
        if (change.wide) // a save that reached other rows too
            return startReading();
        if (change.table.compare(QLatin1String(schema::programs::table), Qt::CaseInsensitive) == 0)
            programs.push_back(change.key);
        else if (change.table.compare(QLatin1String(schema::cds::table), Qt::CaseInsensitive) == 0)
            cds.push_back(change.key);
    }
    try {
        index_->patch(data_.ADOConnection.handle(), programs, cds);
    } catch (const std::exception &) {
        return startReading(); // read whole, which says what fails
    }
    // The same program stays current where it went.
    const QModelIndex current = Resultados->currentIndex();
    const int number =
        current.isValid() ? index_->programNumber(matches_->rows[size_t(current.row())]) : -1;
    searched_.clear();
    search(Palabras->text());
    for (size_t row = 0; number >= 0 && row < matches_->rows.size(); ++row)
        if (index_->programNumber(matches_->rows[row]) == number) {
            Resultados->setCurrentIndex(
                matches_->QAbstractTableModel::index(int(row), current.column()));
            break;
        }
}

void CatalogueSearch::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    DialogBase::keyPressEvent(event);
}

void CatalogueSearch::takeReading() {
    if (!reading_.valid() ||
        reading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    poll_->stop();
    std::future<SearchIndex> done = std::move(reading_);
    if (readAgain_)
        return startReading();
    index_ = std::make_unique<SearchIndex>(done.get()); // a failure reaches the error box
    matches_->index = index_.get();
    searched_.clear();
    search(Palabras->text());
    patchSaved(); // what was saved while it was read
}

void CatalogueSearch::search(const QString &typed) {
    const QStringList words = SearchIndex::words(typed);
    std::vector<int> found;
    if (index_ != nullptr && !words.isEmpty()) {
        // More letters or words only remove programs: look among the ones on the grid.
        const bool narrower = SearchIndex::narrows(searched_, typed);
        found = narrower ? index_->find(typed, &matches_->rows, SearchIndex::words(searched_))
                         : index_->find(typed);
    }
    const int programs = int(found.size());
    const int cds = index_ != nullptr ? index_->cdCount(found) : 0;
    marker_->words = words;
    matches_->show(std::move(found));
    searched_ = typed;

    const QLocale locale;
    if (index_ == nullptr)
        Cuenta->setText(QStringLiteral("Leyendo el catálogo…"));
    else if (words.isEmpty())
        Cuenta->setText(QStringLiteral("Escriba una o más palabras: se buscan en todos los "
                                       "datos de los programas y de sus CDs."));
    else if (programs == 0)
        Cuenta->setText(QStringLiteral("Ningún programa contiene «%1»").arg(typed.simplified()));
    else
        Cuenta->setText(
            QStringLiteral("%1 %2 en %3 %4")
                .arg(locale.toString(programs),
                     programs == 1 ? QStringLiteral("programa") : QStringLiteral("programas"),
                     locale.toString(cds),
                     cds == 1 ? QStringLiteral("CD") : QStringLiteral("CDs")));
}

void CatalogueSearch::showDetails(int row) {
    if (index_ == nullptr || row < 0 || row >= int(matches_->rows.size()))
        return;
    ProgramDetails details(*index_, matches_->rows[size_t(row)], this);
    services_.modal.open(&details);
}
