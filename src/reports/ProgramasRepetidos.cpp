#include "reports/ProgramasRepetidos.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/Modulo.h"
#include "store/search/RepeatedNames.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_map>

namespace programs = store::schema::programs;
namespace cds = store::schema::cds;

namespace {

struct Program {
    qint64 number = 0;
    qint64 cd = 0;
    QString name;
    QString version;
    QString cdDescription;
};

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QString counted(qint64 count, const char *one, const char *many) {
    return QStringLiteral("%1 %2").arg(QLocale().toString(count),
                                       QLatin1String(count == 1 ? one : many));
}

} // namespace

// One line per name, in bold, followed by one line per program of that name. A flat list: a
// tree's expanded groups would cost Qt a tracked index each, too many at a million programs.
class TFormRepetidos::Groups : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    std::vector<std::vector<Program>> groups;
    struct Line {
        int group;
        int program; // -1: the name's own line
    };
    std::vector<Line> lines;

    void show(std::vector<std::vector<Program>> found) {
        beginResetModel();
        groups = std::move(found);
        lines.clear();
        for (int g = 0; g < int(groups.size()); ++g) {
            lines.push_back({g, -1});
            for (int p = 0; p < int(groups[size_t(g)].size()); ++p)
                lines.push_back({g, p});
        }
        endResetModel();
    }
    const Program *program(int row) const {
        if (row < 0 || row >= int(lines.size()) || lines[size_t(row)].program < 0)
            return nullptr;
        const Line &line = lines[size_t(row)];
        return &groups[size_t(line.group)][size_t(line.program)];
    }
    int rowCount(const QModelIndex &parent) const override {
        return parent.isValid() ? 0 : int(lines.size());
    }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid())
            return {};
        const Line &line = lines[size_t(index.row())];
        if (line.program < 0) {
            if (role == Qt::FontRole) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            if (role != Qt::DisplayRole || index.column() > 1)
                return {};
            const auto &group = groups[size_t(line.group)];
            if (index.column() == 0)
                return group.front().name;
            qint64 cdsHolding = 0;
            for (size_t i = 0; i < group.size(); ++i)
                cdsHolding += i == 0 || group[i].cd != group[i - 1].cd;
            return QStringLiteral("%1 en %2")
                .arg(counted(qint64(group.size()), "programa", "programas"),
                     counted(cdsHolding, "CD", "CDs"));
        }
        if (role != Qt::DisplayRole)
            return {};
        const Program &p = *program(index.row());
        switch (index.column()) {
        case 0:
            return QStringLiteral("    ") + p.name; // under its name's line
        case 1:
            return p.version;
        case 2:
            return QString::number(p.cd);
        default:
            return p.cdDescription;
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char *const titles[] = {"Programa", "Versión", "Nro. CD", "CD"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QString::fromUtf8(titles[section]);
        return {};
    }
};

TFormRepetidos::TFormRepetidos(platform::Services services, TDataModule2 &data,
                               std::function<void(qint64)> openProgram, QWidget *parent)
    : QDialog(parent)
    , services_(services)
    , data_(data)
    , openProgram_(std::move(openProgram)) {
    setObjectName(QStringLiteral("FormRepetidos"));
    setWindowTitle(QStringLiteral("Programas repetidos"));
    resize(720, 480);
    platform::openOverOpener(this, &services_.preferences);
    Cuenta = new QLabel(this);
    Cuenta->setObjectName(QStringLiteral("Cuenta"));
    Cuenta->setWordWrap(true);
    Grupos = new QTableView(this);
    Grupos->setObjectName(QStringLiteral("Grupos"));
    Grupos->setAccessibleName(QStringLiteral("Programas repetidos"));
    groups_ = new Groups(this);
    Grupos->setModel(groups_);
    Grupos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grupos->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grupos->setSelectionMode(QAbstractItemView::SingleSelection);
    Grupos->setWordWrap(false);
    Grupos->setShowGrid(false);
    Grupos->verticalHeader()->hide();
    // Rows of one height: tens of thousands of them must not be measured.
    Grupos->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grupos->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Grupos->horizontalHeader()->setStretchLastSection(true);
    Grupos->horizontalHeader()->resizeSection(0, 280);
    Grupos->horizontalHeader()->resizeSection(1, 150);
    Grupos->horizontalHeader()->resizeSection(2, 70);
    Cuenta->setBuddy(Grupos);
    auto *close = new QPushButton(QStringLiteral("Cerrar"), this);
    close->setObjectName(QStringLiteral("Cerrar"));
    close->setAutoDefault(false); // Enter belongs to the list
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Cuenta);
    layout->addWidget(Grupos, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Enter and a double-click activate a row; a name's own line opens nothing.
    platform::connectGuarded(Grupos, &QAbstractItemView::activated, this,
                             [this](const QModelIndex &row) { openRow(row); });
}

TFormRepetidos::~TFormRepetidos() = default;

void TFormRepetidos::refresh() {
    const store::TableCursor &rows = data_.TProgramas;
    const int count = rows.Active() ? data_.TProgramas.RecordCount() : 0;
    const auto found = store::search::findRepeatedNames(
        count, [&rows](int row) { return rows.utf8At(row, programs::Name); },
        [&rows](int row) { return rows.numberAt(row, programs::Cd); });

    std::unordered_map<qint64, QString> descriptions;
    for (const auto &group : found)
        for (int row : group)
            descriptions.emplace(rows.numberAt(row, programs::Cd), QString());
    const store::TableCursor &discs = data_.TDiscos;
    for (int row = 0, end = discs.Active() ? data_.TDiscos.RecordCount() : 0; row < end; ++row)
        if (auto wanted = descriptions.find(discs.numberAt(row, cds::Number));
            wanted != descriptions.end())
            wanted->second = text(discs.utf8At(row, cds::Description));

    std::vector<std::vector<Program>> shown;
    shown.reserve(found.size());
    qint64 programsShown = 0;
    for (const auto &group : found) {
        std::vector<Program> &programsOfName = shown.emplace_back();
        for (int row : group) {
            const qint64 cd = rows.numberAt(row, programs::Cd);
            programsOfName.push_back({rows.numberAt(row, programs::Number), cd,
                                      text(rows.utf8At(row, programs::Name)),
                                      text(rows.utf8At(row, programs::Version)), descriptions[cd]});
        }
        programsShown += qint64(group.size());
    }
    // After a change the list stays near the name it showed.
    const int currentRow = Grupos->currentIndex().row();
    const int currentGroup = currentRow >= 0 && currentRow < int(groups_->lines.size())
                                 ? groups_->lines[size_t(currentRow)].group
                                 : 0;
    groups_->show(std::move(shown));
    if (groups_->groups.empty()) {
        Cuenta->setText(
            QStringLiteral("Ningún programa está en más de un CD con el mismo nombre."));
        return;
    }
    Cuenta->setText(
        QStringLiteral("%1 en más de un CD: %2.")
            .arg(counted(qint64(groups_->groups.size()), "nombre repetido", "nombres repetidos"),
                 counted(programsShown, "programa", "programas")));
    const int group = std::min(currentGroup, int(groups_->groups.size()) - 1);
    const auto first = std::find_if(
        groups_->lines.begin(), groups_->lines.end(),
        [group](const Groups::Line &line) { return line.group == group && line.program >= 0; });
    Grupos->setCurrentIndex(groups_->index(int(first - groups_->lines.begin()), 0));
}

void TFormRepetidos::openRow(const QModelIndex &row) {
    const Program *program = groups_->program(row.row());
    if (program == nullptr)
        return;
    openProgram_(program->number);
    refresh();
}
