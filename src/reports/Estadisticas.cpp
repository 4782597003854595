#include "reports/Estadisticas.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "store/files/ReplacementFile.h"
#include "store/summary/CatalogueFigures.h"

#include <QAbstractTableModel>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

using Counts = std::vector<std::pair<QString, qint64>>;

// Past this many bars a chart is unreadable: it shows the largest, and its table all of them.
constexpr int kMostBars = 30;

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

QChartView *barChart(const QString &title, const Counts &counts) {
    Counts shown = counts;
    QString heading = title;
    if (shown.size() > size_t(kMostBars)) {
        std::stable_sort(shown.begin(), shown.end(),
                         [](const auto &a, const auto &b) { return a.second > b.second; });
        shown.resize(kMostBars);
        heading = QStringLiteral("%1 (los %2 con más programas)").arg(title).arg(kMostBars);
    }
    auto *set = new QBarSet(QStringLiteral("Programas"));
    QStringList names;
    qint64 highest = 0;
    for (const auto &[name, count] : shown) {
        *set << qreal(count);
        names << name;
        highest = std::max(highest, count);
    }
    auto *series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    auto *chart = new QChart;
    chart->setTitle(heading);
    chart->addSeries(series);
    chart->legend()->hide();
    auto *categories = new QBarCategoryAxis;
    categories->append(names);
    categories->setLabelsAngle(names.size() > 8 ? -60 : 0);
    chart->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    auto *values = new QValueAxis;
    values->setRange(0, qreal(std::max<qint64>(highest, 1)) * 1.15); // room for the labels
    values->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);
    auto *view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(heading);
    return view;
}

QWidget *chartPage(const QString &title, const QString &heading, const Counts &counts) {
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    QChartView *chart = barChart(title, counts);
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
    Counts cds;
    for (const auto &[cd, count] : figures.perCd)
        cds.emplace_back(QString::number(cd), count);

    const int shown = Graficos->currentIndex();
    while (Graficos->count() > 0) {
        QWidget *page = Graficos->widget(0);
        Graficos->removeTab(0);
        delete page;
    }
    Graficos->addTab(
        chartPage(QStringLiteral("Programas por licencia"), QStringLiteral("Licencia"), licences),
        QStringLiteral("Por licencia"));
    Graficos->addTab(chartPage(QStringLiteral("Programas por año"), QStringLiteral("Año"), years),
                     QStringLiteral("Por año"));
    Graficos->addTab(chartPage(QStringLiteral("Programas por CD"), QStringLiteral("Nro. CD"), cds),
                     QStringLiteral("Por CD"));
    Graficos->addTab(chartPage(QStringLiteral("Las diez empresas con más programas"),
                               QStringLiteral("Empresa"), figures.topPublishers),
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
    const QByteArray file = services_.dialogs.chooseFileToSave(
        this, QStringLiteral("Guardar imagen"), suggested, QStringLiteral("Imagen PNG (*.png)"));
    if (file.isEmpty())
        return;
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
