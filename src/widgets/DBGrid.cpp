#include "widgets/DBGrid.h"

#include "platform/Preferences.h"
#include "store/cursor/TableCursor.h"

#include <QAction>
#include <QApplication>
#include <QCache>
#include <QFont>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QtMath>

using store::TableCursor;

namespace {
// Wide enough for a date with its time.
constexpr int kDefaultWidth = 150;
// Space between a cell's text and its grid lines. The styles leave 3 pixels or more, which cuts
// a year in its 30-pixel column.
constexpr int kCellMargin = 2;

// Draws the cell as the style does, but the text with the narrow margin, one line placed as
// drawText places it. The text drawn on its own is also cheaper than the style's text layout.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(QObject *parent)
        : QStyledItemDelegate(parent) {
        shaped_.setMaxCost(kShapedCells);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget); // background, focus
        if (text.isEmpty())
            return;
        QPalette::ColorGroup group = QPalette::Disabled;
        if (cell.state & QStyle::State_Enabled)
            group = cell.state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive;
        const QRect area = cell.rect.adjusted(kCellMargin, 0, -kCellMargin, 0);
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(group, cell.state & QStyle::State_Selected
                                                      ? QPalette::HighlightedText
                                                      : QPalette::Text));
        const QStaticText &shaped = shapedText(cell, text, area.width());
        // Placed in the area as drawText places one line.
        const Qt::Alignment alignment =
            QStyle::visualAlignment(cell.direction, cell.displayAlignment);
        const QSizeF size = shaped.size();
        qreal x = area.x(), y = area.y();
        if (alignment & Qt::AlignRight)
            x += area.width() - size.width();
        else if (alignment & Qt::AlignHCenter)
            x += (area.width() - size.width()) / 2;
        if (alignment & Qt::AlignBottom)
            y += area.height() - size.height();
        else if (alignment & Qt::AlignVCenter)
            y += (area.height() - size.height()) / 2;
        painter->drawStaticText(QPointF(x, y), shaped);
        painter->restore();
    }

    // The width the text needs to show whole, rounded up so that a cell this wide never elides.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const int width = qCeil(QFontMetricsF(cell.font).horizontalAdvance(cell.text));
        return {width + 2 * kCellMargin, QStyledItemDelegate::sizeHint(option, index).height()};
    }

private:
    // Shaping a text (and measuring it for elision) costs more than drawing it, and a search or a
    // scroll back shows the same cells again: the texts of the last screens are kept shaped, as
    // they fit their column's width.
    static constexpr int kShapedCells = 2048;

    const QStaticText &shapedText(const QStyleOptionViewItem &cell, const QString &text,
                                  int width) const {
        if (cell.font != shapedFont_ || cell.textElideMode != shapedElision_) {
            shaped_.clear();
            shapedFont_ = cell.font;
            shapedElision_ = cell.textElideMode;
        }
        const ShapedKey key{text, width};
        if (const QStaticText *kept = shaped_.object(key))
            return *kept;
        QString line = cell.fontMetrics.elidedText(text, cell.textElideMode, width);
        for (QChar &c : line)
            if (c == u'\r' || c == u'\n' || c == u'\t')
                c = u' '; // as drawText shows them on a single line
        auto *made = new QStaticText(line);
        made->setTextFormat(Qt::PlainText);
        made->prepare(QTransform(), cell.font);
        shaped_.insert(key, made);
        return *made;
    }

    struct ShapedKey {
        QString text;
        int width;
        bool operator==(const ShapedKey &other) const {
            return width == other.width && text == other.text;
        }
        friend size_t qHash(const ShapedKey &key, size_t seed = 0) {
            return qHashMulti(seed, key.text, key.width);
        }
    };
    mutable QCache<ShapedKey, QStaticText> shaped_;
    mutable QFont shapedFont_;
    mutable Qt::TextElideMode shapedElision_ = Qt::ElideNone;
};
} // namespace

CursorTableModel::CursorTableModel(QObject *parent)
    : QAbstractTableModel(parent) {
    titleFont_.setBold(true);
}

TableCursor *CursorTableModel::cursor() const {
    return source_ ? source_->DataSet() : nullptr;
}

void CursorTableModel::setDataSource(store::TDataSource *source) {
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &store::TDataSource::dataSetChanged, this, &CursorTableModel::reset);
        connect(source_, &store::TDataSource::recordChanged, this,
                &CursorTableModel::currentChanged);
        connect(source_, &store::TDataSource::fieldChanged, this, [this](int) {
            if (current_ >= 0 && current_ < rows_)
                emit dataChanged(index(current_, 0), index(current_, columnCount() - 1));
        });
    }
    reset();
}

void CursorTableModel::setColumns(std::vector<GridColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
    reset();
}

void CursorTableModel::reset() {
    beginResetModel();
    TableCursor *c = cursor();
    const bool open = c && c->Active();
    rows_ = open && onScreen_ ? c->visibleCount() : 0;
    current_ = open ? c->currentIndex() : -1;
    fields_.clear();
    for (const GridColumn &column : columns_)
        fields_.push_back(open ? c->fieldIndex(column.field) : -1);
    endResetModel();
}

void CursorTableModel::setOnScreen() {
    if (onScreen_)
        return;
    onScreen_ = true;
    reset();
}

void CursorTableModel::currentChanged() {
    TableCursor *c = cursor();
    const int previous = current_;
    current_ = c && c->Active() ? c->currentIndex() : -1;
    if (previous != current_)
        emit currentRowChanged();
}

int CursorTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : rows_;
}

int CursorTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant CursorTableModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    return cursor()->displayText(index.row(), fields_[index.column()]);
}

QVariant CursorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section == current_ ? QStringLiteral("\u25B6") : QString();
        return {};
    }
    if (section < 0 || section >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return columns_[section].title;
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignCenter);
    case Qt::FontRole:
        return titleFont_;
    default:
        return {};
    }
}

Qt::ItemFlags CursorTableModel::flags(const QModelIndex &index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent)
    , model_(new CursorTableModel(this)) {
    setModel(model_);
    setItemDelegate(new CellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    // Every row the same height: scrolling a million rows stays cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(14);
    QHeaderView *titles = horizontalHeader();
    titles->setHighlightSections(false);
    // Narrow columns (50 pixels for a CD number) still show their whole title.
    titles->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 1px; }"));
    // A double-click on a border fits the column to the rows on screen; by default the view would
    // measure up to a thousand rows, on and off screen.
    titles->setResizeContentsPrecision(0);
    connect(titles, &QHeaderView::sectionResized, this, [this] {
        if (!applyingWidths_)
            keepWidths();
    });
    // Not emitted when a press on a border starts a resize.
    connect(titles, &QHeaderView::sectionClicked, this, &DBGrid::titleClicked);
    auto *reset = new QAction(QStringLiteral("Restablecer columnas"), titles);
    connect(reset, &QAction::triggered, this, &DBGrid::resetWidths);
    titles->addAction(reset);
    titles->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The press of a double-click has already made its row current, unless moving there failed.
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (hasCurrentRecord() && DataSource()->DataSet()->currentIndex() == index.row())
            emit rowActivated();
    });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { followCursor(QAbstractItemView::EnsureVisible); });
    // Reading loops move the cursor over every row, so a move must cost little here: the row
    // header is only repainted for its marker (a header data change would make the view lay
    // itself out again on each move).
    connect(model_, &CursorTableModel::currentRowChanged, this, [this] {
        verticalHeader()->viewport()->update();
        followCursor(QAbstractItemView::EnsureVisible);
    });
}

void DBGrid::setDataSource(store::TDataSource *source) {
    if (DataSource())
        disconnect(DataSource(), nullptr, this, nullptr);
    model_->setDataSource(source);
    if (source) {
        connect(source, &store::TDataSource::rowFound, this,
                [this] { followCursor(QAbstractItemView::PositionAtCenter); });
        // Rows still being read: the grid is empty until they come, and says it is busy.
        connect(source, &store::TDataSource::dataSetChanged, this, [this, source] {
            const TableCursor *c = source->DataSet();
            if (c && c->Loading())
                viewport()->setCursor(Qt::BusyCursor);
            else
                viewport()->unsetCursor();
        });
    }
}

void DBGrid::setColumns(std::vector<GridColumn> columns) {
    givenWidths_.clear();
    for (const GridColumn &column : columns)
        givenWidths_.push_back(column.width > 0 ? column.width : kDefaultWidth);
    applyingWidths_ = true; // the reset may resize sections too
    model_->setColumns(std::move(columns));
    applyingWidths_ = false;
    applyWidths();
}

void DBGrid::rememberWidths(platform::Preferences &preferences, const QString &key) {
    preferences_ = &preferences;
    widthsKey_ = QStringLiteral("columnas/") + key;
    applyWidths();
}

// The widths kept for this grid, or none when they are missing, unreadable or for another set
// of columns.
std::vector<int> DBGrid::rememberedWidths() const {
    if (!preferences_)
        return {};
    // A one-number list comes back from the INI file as a plain string: read both as strings.
    const QStringList kept = preferences_->value(widthsKey_).toStringList();
    if (kept.size() != qsizetype(givenWidths_.size()))
        return {};
    std::vector<int> widths;
    for (const QString &text : kept) {
        bool ok = false;
        const int width = text.trimmed().toInt(&ok);
        if (!ok || width <= 0)
            return {};
        widths.push_back(width);
    }
    return widths;
}

void DBGrid::applyWidths() {
    std::vector<int> widths = rememberedWidths();
    if (widths.empty())
        widths = givenWidths_;
    applyingWidths_ = true;
    for (size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(int(i), widths[i]);
    applyingWidths_ = false;
}

void DBGrid::keepWidths() {
    if (!preferences_ || givenWidths_.empty())
        return;
    QVariantList widths;
    for (int i = 0; i < int(givenWidths_.size()); ++i)
        widths.append(columnWidth(i));
    preferences_->setValue(widthsKey_, widths);
}

void DBGrid::resetWidths() {
    if (preferences_)
        preferences_->remove(widthsKey_);
    applyWidths();
}

void DBGrid::followCursor(QAbstractItemView::ScrollHint hint) {
    TableCursor *c = DataSource() ? DataSource()->DataSet() : nullptr;
    const int row = c && c->Active() ? c->currentIndex() : -1;
    following_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const QModelIndex index = model_->index(row, qMax(currentIndex().column(), 0));
        setCurrentIndex(index);
        scrollTo(index, hint);
    } else {
        setCurrentIndex(QModelIndex());
    }
    following_ = false;
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid() || current.row() == previous.row())
        return;
    store::TDataSource *source = DataSource();
    if (!source || !source->DataSet())
        return;
    try {
        source->DataSet()->moveTo(current.row());
    } catch (...) {
        source->reportError(std::current_exception());
        followCursor(QAbstractItemView::EnsureVisible);
    }
}

bool DBGrid::hasCurrentRecord() const {
    const TableCursor *c = DataSource() ? DataSource()->DataSet() : nullptr;
    return c && c->Active() && c->currentIndex() >= 0 && c->currentIndex() < model_->rowCount();
}

void DBGrid::showEvent(QShowEvent *event) {
    model_->setOnScreen();
    QTableView::showEvent(event);
}

void DBGrid::keyPressEvent(QKeyEvent *event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int key = event->key();
    if (plain && hasCurrentRecord()) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit rowActivated();
            return; // taken: a dialog's default button must not answer too
        }
        if (key == Qt::Key_Delete) {
            emit deleteRequested();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
