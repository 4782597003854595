#include "reports/Estadisticas.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "store/cursor/TableCursor.h"
#include "store/files/ReplacementFile.h"
#include "store/schema/Schema.h"
#include "store/summary/CatalogueFigures.h"

#include <QAbstractTableModel>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace {

using Counts = std::vector<std::pair<QString, qint64>>;

// Past this many bars the names no longer fit under a chart of the window's size, even standing:
// it shows the largest and sums the rest as "Otros"; its table keeps every one.
constexpr int kMostBars = 12;
// The widest name under a bar, in pixels; a longer one is cut, and whole in the bar's tooltip.
constexpr int kLabelWidth = 100;
// The plot's width when the window opens, to tell whether the names fit across.
constexpr int kPlotWidth = 520;

// The kMostBars largest in their own order, then the sum of the rest as "Otros".
Counts largestAndRest(const Counts &counts) {
    if (counts.size() <= size_t(kMostBars) + 1)
        return counts;
    std::vector<size_t> order(counts.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return counts[a].second > counts[b].second; });
    std::vector<bool> kept(counts.size());
    for (size_t i = 0; i < size_t(kMostBars); ++i)
        kept[order[i]] = true;
    Counts shown;
    qint64 rest = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        if (kept[i])
            shown.push_back(counts[i]);
        else
            rest += counts[i].second;
    }
    shown.emplace_back(QStringLiteral("Otros"), rest);
    return shown;
}

// After 1, 2, 5, 10, 20, 50 ... the next one.
qint64 nextRound(qint64 value) {
    qint64 power = 1;
    while (power * 10 <= value)
        power *= 10;
    return value / power == 2 ? power * 5 : value * 2;
}

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Years as a time line: every year from the first to the last, empty ones too, or spans of 2, 5,
// 10, 20, 50 ... years from a round one when they would not fit; the programs without a year
// first.
Counts yearBars(const std::vector<std::pair<qint64, qint64>> &perYear) {
    Counts bars;
    std::vector<std::pair<qint64, qint64>> known;
    for (const auto &entry : perYear) {
        if (entry.first == 0)
            bars.emplace_back(QStringLiteral("(sin año)"), entry.second);
        else
            known.push_back(entry);
    }
    if (known.empty())
        return bars;
    const qint64 first = known.front().first;
    const qint64 last = known.back().first;
    qint64 span = 1;
    while (floorDiv(last, span) - floorDiv(first, span) + 1 > kMostBars)
        span = nextRound(span);
    const qint64 from = floorDiv(first, span);
    std::vector<qint64> sums(size_t(floorDiv(last, span) - from + 1));
    for (const auto &[year, count] : known)
        sums[size_t(floorDiv(year, span) - from)] += count;
    for (size_t i = 0; i < sums.size(); ++i) {
        const qint64 start = (from + qint64(i)) * span;
        bars.emplace_back(span == 1 ? QString::number(start)
                                    : QStringLiteral("%1–%2").arg(start).arg(start + span - 1),
                          sums[i]);
    }
    return bars;
}

// A whole step of 1, 2 or 5 times a power of ten, and a top that is a whole number of steps above
// the highest count, with room for the numbers over the bars; at most eight steps.
std::pair<qint64, qint64> countScale(qint64 highest) {
    qint64 step = 1;
    while (highest / step + 1 > 8)
        step = nextRound(step);
    return {step, (highest / step + 1) * step};
}

// Two columns, name and programs, over counts held by the model.
class CountsModel : public QAbstractTableModel {
public:
    CountsModel(Counts counts, QString heading, QObject *parent)
        : QAbstractTableModel(parent)
        , counts_(std::move(counts))
        , heading_(std::move(heading)) {}
    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : int(counts_.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex &index, int role) const override {
        if (role == Qt::TextAlignmentRole && index.column() == 1)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        const auto &[name, count] = counts_[size_t(index.row())];
        return index.column() == 0 ? name : QLocale().toString(count);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? heading_ : QStringLiteral("Programas");
    }

private:
    Counts counts_;
    QString heading_;
};

QChartView *barChart(const QString &title, const Counts &bars) {
    auto *set = new QBarSet(QStringLiteral("Programas"));
    qint64 highest = 0;
    for (const auto &bar : bars) {
        *set << qreal(bar.second);
        highest = std::max(highest, bar.second);
    }
    auto *series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(18); // whole counts, never in exponent form
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->addSeries(series);
    chart->legend()->hide();
    auto *categories = new QBarCategoryAxis;
    chart->addAxis(categories, Qt::AlignBottom);
    // Names cut to fit, each one different: the axis takes a name only once.
    const QFontMetrics metrics(categories->labelsFont());
    QStringList names;
    int widest = 0;
    for (const auto &bar : bars) {
        const QString cut = metrics.elidedText(bar.first, Qt::ElideRight, kLabelWidth);
        QString name = cut;
        for (int n = 2; names.contains(name); ++n)
            name = QStringLiteral("%1 (%2)").arg(cut).arg(n);
        names << name;
        widest = std::max(widest, metrics.horizontalAdvance(name));
    }
    categories->append(names);
    const bool across = names.isEmpty() || widest + 8 <= kPlotWidth / int(names.size());
    // Upright from the bottom when they do not fit across: slanted, the axis cuts them to the bar.
    categories->setLabelsAngle(across ? 0 : -90);
    series->attachAxis(categories);
    const auto [step, top] = countScale(highest);
    auto *values = new QValueAxis;
    values->setRange(0, qreal(top));
    values->setTickType(QValueAxis::TicksDynamic);
    values->setTickAnchor(0);
    values->setTickInterval(qreal(step));
    values->setMinorTickCount(0);
    values->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
    auto *view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(title);
    // The whole name and count of the bar under the pointer.
    QObject::connect(series, &QBarSeries::hovered, view, [view, bars](bool over, int index) {
        const QString tip =
            over && index >= 0 && size_t(index) < bars.size()
                ? QStringLiteral("%1: %2").arg(bars[size_t(index)].first,
                                               QLocale().toString(bars[size_t(index)].second))
                : QString();
        view->setToolTip(tip);
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), tip, view);
    });
    return view;
}

QWidget *chartPage(const QString &title, const QString &heading, const Counts &counts,
                   const Counts &bars) {
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    QChartView *chart = barChart(title, bars);
    chart->setObjectName(QStringLiteral("Grafico"));
    layout->addWidget(chart, 3);
    auto *table = new QTableView(page);
    table->setObjectName(QStringLiteral("Cifras"));
    table->setAccessibleName(title);
    table->setModel(new CountsModel(counts, heading, table));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(table, 1);
    return page;
}

// What the chart of each page is called in a suggested file name.
const char *const kImageNames[] = {"licencias", "anios", "cds", "empresas"};

} // namespace

TFormEstadisticas::TFormEstadisticas(platform::Services services, TDataModule2 &data,
                                     QWidget *parent)
    : QDialog(parent)
    , services_(services)
    , data_(data) {
    setObjectName(QStringLiteral("FormEstadisticas"));
    setWindowTitle(QStringLiteral("Estadísticas"));
    resize(820, 580);
    platform::openOverOpener(this, &services_.preferences);
    auto *layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("Resumen"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    Graficos = new QTabWidget(this);
    Graficos->setObjectName(QStringLiteral("Graficos"));
    layout->addWidget(Graficos, 1);
    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(QStringLiteral("Guardar imagen ..."), this);
    save->setObjectName(QStringLiteral("GuardarImagen"));
    auto *close = new QPushButton(QStringLiteral("Cerrar"), this);
    close->setObjectName(QStringLiteral("Cerrar"));
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    platform::connectGuarded(save, &QPushButton::clicked, this, [this] { saveImage(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormEstadisticas::refresh() {
    const store::CatalogueFigures figures = store::countCatalogue(data_.TDiscos, data_.TProgramas);
    const QLocale locale;
    const auto line = [&](const QString &what, qint64 count) {
        return QStringLiteral("<tr><td>%1</td><td align=\"right\"><b>%2</b></td></tr>")
            .arg(what, locale.toString(count));
    };
    summary_->setText(
        QStringLiteral("<table cellspacing=\"2\">") + line(QStringLiteral("CDs"), figures.cds) +
        line(QStringLiteral("Programas"), figures.programs) +
        line(QStringLiteral("CDs sin programas"), figures.cdsWithoutPrograms) +
        line(QStringLiteral("CDs sin comentario"), figures.cdsWithoutComment) +
        line(QStringLiteral("Programas sin comentario"), figures.programsWithoutComment) +
        line(QStringLiteral("Programas sin link"), figures.programsWithoutLink) +
        QStringLiteral("</table>"));

    Counts licences = figures.perLicence;
    for (auto &entry : licences)
        if (entry.first.isEmpty())
            entry.first = QStringLiteral("(sin licencia)");
    Counts years;
    for (const auto &[year, count] : figures.perYear)
        years.emplace_back(year == 0 ? QStringLiteral("(sin año)") : QString::number(year), count);
    // A CD by its number and description, as the CDs page lists it.
    std::unordered_map<qint64, QString> descriptions;
    const store::TableCursor &discs = data_.TDiscos;
    for (int row = 0; row < discs.RecordCount(); ++row) {
        const std::string_view text = discs.utf8At(row, store::schema::cds::Description);
        descriptions[discs.numberAt(row, store::schema::cds::Number)] =
            QString::fromUtf8(text.data(), qsizetype(text.size())).simplified();
    }
    Counts cds;
    for (const auto &[cd, count] : figures.perCd) {
        const QString description = descriptions[cd];
        cds.emplace_back(description.isEmpty() ? QString::number(cd)
                                               : QStringLiteral("%1 %2").arg(cd).arg(description),
                         count);
    }

    const int shown = Graficos->currentIndex();
    while (Graficos->count() > 0) {
        QWidget *page = Graficos->widget(0);
        Graficos->removeTab(0);
        delete page;
    }
    Graficos->addTab(chartPage(QStringLiteral("Programas por licencia"), QStringLiteral("Licencia"),
                               licences, largestAndRest(licences)),
                     QStringLiteral("Por licencia"));
    Graficos->addTab(chartPage(QStringLiteral("Programas por año"), QStringLiteral("Año"), years,
                               yearBars(figures.perYear)),
                     QStringLiteral("Por año"));
    Graficos->addTab(chartPage(QStringLiteral("Programas por CD"), QStringLiteral("CD"), cds,
                               largestAndRest(cds)),
                     QStringLiteral("Por CD"));
    Graficos->addTab(chartPage(QStringLiteral("Programas por empresa"), QStringLiteral("Empresa"),
                               figures.perPublisher, largestAndRest(figures.perPublisher)),
                     QStringLiteral("Empresas"));
    Graficos->setCurrentIndex(std::max(shown, 0));
}

void TFormEstadisticas::saveImage() {
    auto *chart =
        Graficos->currentWidget()
            ? Graficos->currentWidget()->findChild<QChartView *>(QStringLiteral("Grafico"))
            : nullptr;
    if (!chart)
        return;
    const QString suggested =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
        QStringLiteral("/vadrel-%1.png").arg(QLatin1String(kImageNames[Graficos->currentIndex()]));
    QByteArray file = services_.dialogs.chooseFileToSave(
        this, QStringLiteral("Guardar imagen"), suggested, QStringLiteral("Imagen PNG (*.png)"));
    if (file.isEmpty())
        return;
    if (!file.toLower().endsWith(".png")) {
        file += ".png";
        // The dialog asked about the name typed, not about this one.
        if (QFileInfo::exists(QFile::decodeName(file)) &&
            !services_.dialogs.confirm(
                this, QStringLiteral("El archivo \"%1\" ya existe. ¿Desea reemplazarlo?")
                          .arg(QDir::toNativeSeparators(QFile::decodeName(file)))))
            return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart->grab().save(&buffer, "PNG");
    // Whole or not at all: an earlier image of that name stays until the new one is complete. A
    // failure reaches the error box, which names the file and why.
    store::ReplacementFile out(store::FilePath(file, QFile::decodeName(file)), services_.files);
    out.write(png);
    out.commit();
}
