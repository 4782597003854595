#include "editors/CatalogarDisco.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "store/catalogue/CatalogueWrites.h"
#include "store/catalogue/DiscRecord.h"
#include "store/catalogue/NextNumber.h"
#include "store/cursor/TableCursor.h"
#include "store/disc/DiscScan.h"
#include "store/engine/Connection.h"
#include "store/engine/Conversions.h"
#include "store/engine/DatabaseError.h"
#include "store/schema/Schema.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace {

namespace schema = store::schema;

const char *const kHeaders[] = {"Programa", "Versión", "Empresa",    "Licencia",
                                "Año",      "Link",    "Comentario", "En el disco"};

// The proposal's cells edit as the editors' boxes do: the licence from its list, the year as four
// digits, the comment on several lines.
class ProposalDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override {
        switch (index.column()) {
        case TFormDisco::Licence: {
            auto *list = new QComboBox(parent);
            list->addItems(schema::licences());
            return list;
        }
        case TFormDisco::Year: {
            auto *year = new QLineEdit(parent);
            year->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("\\d{0,4}")), year));
            return year;
        }
        case TFormDisco::Comment: {
            auto *memo = new QPlainTextEdit(parent);
            memo->setTabChangesFocus(true);
            return memo;
        }
        default:
            return QStyledItemDelegate::createEditor(parent, option, index);
        }
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto *list = qobject_cast<QComboBox *>(editor))
            list->setCurrentText(text);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(editor))
            memo->setPlainText(text);
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override {
        if (auto *list = qobject_cast<QComboBox *>(editor))
            model->setData(index, list->currentText());
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(editor))
            model->setData(index, memo->toPlainText());
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }
    // The rows are one line high; a comment is edited in a box of several.
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        if (index.column() == TFormDisco::Comment)
            editor->resize(editor->width(),
                           std::max(editor->height(), 5 * option.fontMetrics.height()));
    }
    // A comment's lines side by side, so that a one-line row shows its start.
    QString displayText(const QVariant &value, const QLocale &locale) const override {
        QString text = QStyledItemDelegate::displayText(value, locale);
        text.replace(QChar::LineSeparator, u' '); // how the base hands over a line break
        text.replace(u'\n', u' ');
        return text;
    }
};

QString cellText(const QTableWidget *grid, int row, int column) {
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

TFormDisco::TFormDisco(platform::Services services, store::Connection &connection,
                       store::TableCursor &cds, CatalogueWrites &catalogue, QByteArray scanner,
                       QWidget *parent)
    : DialogBase(QStringLiteral("FormDisco"), QStringLiteral("Catalogar un disco"), QSize(860, 680),
                 OwnWindow{&services.preferences}, parent)
    , services_(services)
    , connection_(connection)
    , cds_(cds)
    , catalogue_(catalogue)
    , scanner_(std::move(scanner)) {
    // Every command here is reached with the keyboard too: this window is not bound to the
    // editors' old look.
    const auto button = [this](const char *name, const char *caption, void (TFormDisco::*click)()) {
        QToolButton *made = flatButton(QLatin1String(name), QString::fromUtf8(caption),
                                       [this, click] { (this->*click)(); });
        made->setFocusPolicy(Qt::StrongFocus);
        return made;
    };

    auto *source = new QGroupBox(this);
    source->setObjectName(QStringLiteral("GrupoDisco"));
    ListaDiscos = new QListWidget(source);
    ListaDiscos->setObjectName(QStringLiteral("ListaDiscos"));
    ListaDiscos->setMaximumHeight(64);
    // A list view tells screen readers no label of its own: it takes its name from it.
    ListaDiscos->setAccessibleName(QStringLiteral("Disco"));
    BotonImagen = button("BotonImagen", "Imagen de disco ...", &TFormDisco::BotonImagenClick);
    BotonCarpeta = button("BotonCarpeta", "Carpeta ...", &TFormDisco::BotonCarpetaClick);
    BotonLeer = button("BotonLeer", "LEER", &TFormDisco::BotonLeerClick);
    auto *sourceLayout = new QGridLayout(source);
    sourceLayout->addWidget(platform::boldLabel(QStringLiteral("Disco :"), ListaDiscos, source), 0,
                            0, Qt::AlignRight | Qt::AlignTop);
    sourceLayout->addWidget(ListaDiscos, 0, 1, 1, 3);
    sourceLayout->addWidget(BotonImagen, 1, 1);
    sourceLayout->addWidget(BotonCarpeta, 1, 2);
    sourceLayout->addWidget(BotonLeer, 1, 3);

    auto *cd = new QGroupBox(this);
    cd->setObjectName(QStringLiteral("GrupoCd"));
    EditNumero = new QLineEdit(cd);
    EditNumero->setObjectName(QStringLiteral("EditNumero"));
    EditNumero->setMaximumWidth(120);
    EditDescripcion = new QLineEdit(cd);
    EditDescripcion->setObjectName(QStringLiteral("EditDescripcion"));
    EditDescripcion->setMaxLength(std::numeric_limits<int>::max());
    FechaDisco = new QDateEdit(cd);
    FechaDisco->setObjectName(QStringLiteral("FechaDisco"));
    FechaDisco->setCalendarPopup(true);
    FechaDisco->setDisplayFormat(services_.clock.shortDateFormat());
    MemoComentario = new QPlainTextEdit(cd);
    MemoComentario->setObjectName(QStringLiteral("MemoComentario"));
    prepareMemo(MemoComentario);
    MemoComentario->setMaximumHeight(70);
    layRows(cd, {{QStringLiteral("Nro. CD :"), EditNumero},
                 {QStringLiteral("Descripción :"), EditDescripcion},
                 {QStringLiteral("Fecha :"), FechaDisco},
                 {QStringLiteral("Comentario :"), MemoComentario}});

    NoLeidos = new QLabel(this);
    NoLeidos->setObjectName(QStringLiteral("NoLeidos"));
    NoLeidos->setWordWrap(true);
    NoLeidos->setTextFormat(Qt::PlainText); // a disc's names are not markup
    NoLeidos->setTextInteractionFlags(Qt::TextSelectableByMouse);
    NoLeidos->hide();

    GridProgramas = new QTableWidget(0, ColumnCount, this);
    GridProgramas->setObjectName(QStringLiteral("GridProgramas"));
    QStringList headers;
    for (const char *header : kHeaders)
        headers << QString::fromUtf8(header);
    GridProgramas->setHorizontalHeaderLabels(headers);
    GridProgramas->setItemDelegate(new ProposalDelegate(GridProgramas));
    GridProgramas->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridProgramas->setTabKeyNavigation(false);
    GridProgramas->horizontalHeader()->setStretchLastSection(true);
    GridProgramas->setWordWrap(false);
    GridProgramas->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridProgramas->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    GridProgramas->setAccessibleName(QStringLiteral("Programas propuestos"));
    QLabel *gridLabel =
        platform::boldLabel(QStringLiteral("Programas propuestos :"), GridProgramas, this);
    gridLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A comment is cut in its cell: the current row's is read whole here.
    ComentarioPrograma = new QPlainTextEdit(this);
    ComentarioPrograma->setObjectName(QStringLiteral("ComentarioPrograma"));
    ComentarioPrograma->setReadOnly(true);
    ComentarioPrograma->setTabChangesFocus(true);
    ComentarioPrograma->setMaximumHeight(4 * fontMetrics().height());
    QLabel *commentLabel =
        platform::boldLabel(QStringLiteral("Comentario del programa :"), ComentarioPrograma, this);
    commentLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    platform::connectGuarded(GridProgramas, &QTableWidget::currentCellChanged, this,
                             [this] { showCurrentComment(); });
    platform::connectGuarded(GridProgramas, &QTableWidget::itemChanged, this,
                             [this](QTableWidgetItem *item) {
                                 if (item->column() == Licence)
                                     clearLicenceGuess(item);
                                 if (item->column() != Comment)
                                     return;
                                 if (item->toolTip() != item->text())
                                     item->setToolTip(item->text());
                                 if (item->row() == GridProgramas->currentRow())
                                     showCurrentComment();
                             });
    // Saving stores the proposal of the disc it was read from, and only while that disc is chosen.
    platform::connectGuarded(ListaDiscos, &QListWidget::currentItemChanged, this,
                             [this] { allowSaving(); });

    BotonGuardar = button("BotonGuardar", "GUARDAR", &TFormDisco::BotonGuardarClick);
    BotonCancelar = button("BotonCancelar", "CANCELAR", &TFormDisco::BotonCancelarClick);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BotonGuardar);
    buttons->addWidget(BotonCancelar);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(NoLeidos);
    layout->addWidget(cd);
    layout->addWidget(gridLabel);
    layout->addWidget(GridProgramas, 1);
    layout->addWidget(commentLabel);
    layout->addWidget(ComentarioPrograma);
    layout->addLayout(buttons);
    setTabOrder(ListaDiscos, BotonImagen);
    setTabOrder(BotonImagen, BotonCarpeta);
    setTabOrder(BotonCarpeta, BotonLeer);
    setTabOrder(BotonLeer, EditNumero);
    setTabOrder(MemoComentario, GridProgramas);
    setTabOrder(GridProgramas, ComentarioPrograma);
    setTabOrder(ComentarioPrograma, BotonGuardar);
    setTabOrder(BotonGuardar, BotonCancelar);
}

void TFormDisco::FormActivate() {
    proposed_ = nullptr; // its item goes with the list
    ListaDiscos->clear();
    for (const platform::Discs::Mounted &mounted : services_.discs.mounted())
        addSource(mounted.label, mounted.path);
    if (ListaDiscos->count() > 0)
        ListaDiscos->setCurrentRow(0);
    clearProposal();
    ListaDiscos->setFocus();
}

void TFormDisco::addSource(const QString &label, const QByteArray &path) {
    auto *item = new QListWidgetItem(label, ListaDiscos);
    item->setData(Qt::UserRole, path);
    ListaDiscos->setCurrentItem(item);
}

void TFormDisco::clearProposal() {
    EditNumero->clear();
    EditDescripcion->clear();
    FechaDisco->setDate(services_.clock.today());
    MemoComentario->clear();
    GridProgramas->setRowCount(0);
    ComentarioPrograma->clear();
    NoLeidos->clear();
    NoLeidos->hide();
    proposed_ = nullptr;
    readCd_ = {};
    allowSaving();
}

void TFormDisco::backToProposed() {
    if (proposed_)
        ListaDiscos->setCurrentItem(proposed_);
}

void TFormDisco::allowSaving() {
    BotonGuardar->setEnabled(proposed_ && ListaDiscos->currentItem() == proposed_);
}

void TFormDisco::showCurrentComment() {
    const int row = GridProgramas->currentRow();
    ComentarioPrograma->setPlainText(row < 0 ? QString() : cellText(GridProgramas, row, Comment));
}

void TFormDisco::BotonImagenClick() {
    const QByteArray image = services_.discs.chooseImage(this);
    if (!image.isEmpty())
        addSource(QFile::decodeName(image), image);
}

void TFormDisco::BotonCarpetaClick() {
    const QByteArray folder = services_.discs.chooseFolder(this);
    if (!folder.isEmpty())
        addSource(QFile::decodeName(folder), folder);
}

void TFormDisco::BotonLeerClick() {
    QListWidgetItem *chosen = ListaDiscos->currentItem();
    if (!chosen) {
        services_.dialogs.error(this, QStringLiteral(" Elija el disco que desea leer: uno de la "
                                                     "lista, una imagen de disco o una carpeta "));
        return;
    }
    // The progress window appears only when the reading lasts: a small disc is read at once.
    QProgressDialog progress(QStringLiteral("Leyendo el disco ..."), QStringLiteral("Cancelar"), 0,
                             0, this);
    progress.setWindowTitle(QStringLiteral("Catalogar un disco"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(std::numeric_limits<int>::max());
    progress.setMinimumWidth(360); // room for the title and a file's path
    platform::openOverOpener(&progress);
    QElapsedTimer clock;
    clock.start();
    const disc::ScanOutcome scan = disc::scanDisc(
        scanner_, chosen->data(Qt::UserRole).toByteArray(), {}, [&](const QString &reading) {
            if (clock.elapsed() >= 400 && !progress.isVisible())
                progress.show();
            if (progress.isVisible() && !reading.isEmpty())
                progress.setLabelText(QStringLiteral("Leyendo ") + reading);
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.close();
    if (scan.end == disc::ScanEnd::Cancelled) {
        backToProposed();
        return;
    }
    if (scan.end == disc::ScanEnd::Failed) {
        services_.dialogs.error(
            this,
            QStringLiteral(" No se pudo leer el disco %1. %2 ").arg(chosen->text(), scan.error));
        backToProposed();
        return;
    }
    const disc::Proposal &proposal = scan.proposal;
    if (connection_.Connected())
        if (const auto already = store::catalogedDisc(connection_, proposal.cd);
            already &&
            !services_.dialogs.confirm(
                this, QStringLiteral(" Este disco parece estar ya en el catálogo como el CD %1. "
                                     "¿Desea catalogarlo de nuevo? ")
                          .arg(*already))) {
            backToProposed();
            return;
        }
    showProposal(proposal);
    proposed_ = chosen;
    allowSaving();
    if (!proposal.skipped.isEmpty())
        services_.dialogs.information(
            this, QStringLiteral(" Estos archivos del disco no se pudieron leer; se proponen por "
                                 "el nombre de su carpeta: %1 ")
                      .arg(proposal.skipped.join(QStringLiteral(", "))));
}

void TFormDisco::showProposal(const disc::Proposal &proposal) {
    proposeNumber();
    readCd_ = proposal.cd;
    EditDescripcion->setText(proposal.cd.description);
    FechaDisco->setDate(proposal.cd.date.isValid() ? proposal.cd.date : services_.clock.today());
    MemoComentario->setPlainText(proposal.cd.comment);
    const QString unread = disc::unreadSummary(proposal.unread);
    NoLeidos->setText(unread);
    NoLeidos->setAccessibleName(unread);
    NoLeidos->setVisible(!unread.isEmpty());
    GridProgramas->setRowCount(int(proposal.programs.size()));
    int row = 0;
    for (const disc::ProposedProgram &program : proposal.programs) {
        const QString cells[ColumnCount] = {program.name,
                                            program.version,
                                            program.publisher,
                                            program.licence,
                                            program.year ? QString::number(*program.year)
                                                         : QString(),
                                            program.link,
                                            program.comment,
                                            program.origin};
        // A file that could not be read is proposed by its name only: marked, and left out
        // unless the user checks it.
        const QString unread = disc::unreadReason(program);
        for (int column = 0; column < ColumnCount; ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (column == Origin)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (column == Comment)
                item->setToolTip(program.comment);
            else if (!unread.isEmpty())
                item->setToolTip(unread);
            else if (column == Licence && program.licenceGuessed)
                markLicenceGuess(item);
            GridProgramas->setItem(row, column, item);
        }
        QTableWidgetItem *name = GridProgramas->item(row, Name);
        name->setFlags(name->flags() | Qt::ItemIsUserCheckable);
        name->setCheckState(program.checked && unread.isEmpty() ? Qt::Checked : Qt::Unchecked);
        if (!unread.isEmpty()) {
            name->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
            name->setData(Qt::AccessibleDescriptionRole, unread);
        }
        ++row;
    }
    GridProgramas->resizeColumnsToContents();
    for (int column = 0; column < ColumnCount; ++column)
        GridProgramas->setColumnWidth(column, std::min(GridProgramas->columnWidth(column), 220));
    if (GridProgramas->rowCount() > 0)
        GridProgramas->setCurrentCell(0, Name);
    showCurrentComment();
    EditDescripcion->setFocus();
}

namespace {
constexpr int kGuessRole = Qt::UserRole + 1;
const QString kGuess = QStringLiteral("Licencia supuesta: ningún texto del disco la nombra.");
} // namespace

// A licence no word on the disc names shows as a guess until the user chooses one.
void TFormDisco::markLicenceGuess(QTableWidgetItem *item) {
    QFont italic = item->font();
    italic.setItalic(true);
    item->setFont(italic);
    item->setToolTip(kGuess);
    item->setData(Qt::AccessibleDescriptionRole, kGuess);
    item->setData(kGuessRole, item->text());
}

void TFormDisco::clearLicenceGuess(QTableWidgetItem *item) {
    // Showing the row reports a change too: only another licence ends the guess.
    const QString guess = item->data(kGuessRole).toString();
    if (guess.isEmpty() || item->text() == guess)
        return;
    item->setData(kGuessRole, QString());
    QFont upright = item->font();
    upright.setItalic(false);
    item->setFont(upright);
    item->setToolTip(QString());
    item->setData(Qt::AccessibleDescriptionRole, QString());
}

bool TFormDisco::proposeNumber() {
    if (!cds_.Active()) {
        EditNumero->clear();
        return false;
    }
    const store::NextNumber number = store::nextNumber(cds_, std::numeric_limits<qint32>::max());
    EditNumero->setText(number.next ? QString::number(*number.next) : QString());
    return number.next.has_value();
}

std::vector<disc::ProposedProgram> TFormDisco::checkedPrograms() const {
    std::vector<disc::ProposedProgram> programs;
    for (int row = 0; row < GridProgramas->rowCount(); ++row) {
        if (GridProgramas->item(row, Name)->checkState() != Qt::Checked)
            continue;
        disc::ProposedProgram program;
        program.name = cellText(GridProgramas, row, Name);
        program.version = cellText(GridProgramas, row, Version);
        program.publisher = cellText(GridProgramas, row, Publisher);
        program.licence = cellText(GridProgramas, row, Licence);
        if (const QString year = cellText(GridProgramas, row, Year); !year.isEmpty())
            program.year = year.toInt();
        program.link = cellText(GridProgramas, row, Link);
        program.comment = cellText(GridProgramas, row, Comment);
        program.origin = cellText(GridProgramas, row, Origin);
        programs.push_back(program);
    }
    return programs;
}

void TFormDisco::BotonGuardarClick() {
    if (!connection_.Connected()) {
        services_.dialogs.error(this, QStringLiteral(" No hay un catálogo abierto donde guardar "
                                                     "el disco "));
        return;
    }
    const auto number = store::parseWholeNumber(EditNumero->text());
    if (!number) {
        services_.dialogs.error(
            this, QStringLiteral(" El número de CD \"%1\" no es válido ").arg(EditNumero->text()));
        EditNumero->setFocus();
        return;
    }
    const disc::ProposedCd cd{EditDescripcion->text(), FechaDisco->date(),
                              MemoComentario->toPlainText(), readCd_.bytes, readCd_.listing};
    const std::vector<disc::ProposedProgram> programs = checkedPrograms();
    for (int row = 0; row < GridProgramas->rowCount(); ++row)
        if (GridProgramas->item(row, Name)->checkState() == Qt::Checked &&
            cellText(GridProgramas, row, Name).trimmed().isEmpty()) {
            services_.dialogs.error(
                this, QStringLiteral(" El programa de la fila %1 no tiene nombre: escríbalo o "
                                     "quite su marca ")
                          .arg(row + 1));
            GridProgramas->setCurrentCell(row, Name);
            return;
        }
    store::StoredDisc stored;
    try {
        stored = store::storeDisc(connection_, *number, cd, programs);
    } catch (const store::DatabaseError &error) {
        if (error.cause() != store::DatabaseError::Cause::DuplicateKey)
            throw;
        // Another program took the number since it was proposed: the next one is offered, with
        // everything else kept.
        catalogue_.rereadAll();
        proposeNumber();
        services_.dialogs.error(this, QStringLiteral(" El número %1 ya lo tiene otro CD; se "
                                                     "propone el %2. Revise los datos y pulse "
                                                     "GUARDAR de nuevo. ")
                                          .arg(*number)
                                          .arg(EditNumero->text()));
        return;
    }
    catalogue_.rereadAll();
    // The CDs page shows the new CD.
    cds_.FindRow(schema::field(schema::cds::Number), stored.cd, false);
    const qsizetype saved = qsizetype(stored.programs.size());
    services_.dialogs.information(
        this, QStringLiteral(" Se guardaron el CD %1 y %2 %3 ")
                  .arg(stored.cd)
                  .arg(saved)
                  .arg(saved == 1 ? QStringLiteral("programa") : QStringLiteral("programas")));
    close();
}

void TFormDisco::BotonCancelarClick() {
    close();
}
