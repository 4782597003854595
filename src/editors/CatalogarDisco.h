#pragma once

#include "platform/Platform.h"
#include "store/disc/DiscProposal.h"
#include "widgets/DialogBase.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTableWidget;
class QTableWidgetItem;
class CatalogueWrites;
namespace store {
class Connection;
class TableCursor;
} // namespace store

// "Catalogar un disco": reads a disc (a mounted one, an image or a folder), proposes its CD and
// programs for the user to check and edit, and stores the CD with the checked programs at once.
class TFormDisco : public DialogBase {
    Q_OBJECT
public:
    // Stores through `connection`, numbering after `cds`. `scanner`: the vadrel-db program that
    // reads discs in a process of its own.
    TFormDisco(platform::Services services, store::Connection &connection, store::TableCursor &cds,
               CatalogueWrites &catalogue, QByteArray scanner, QWidget *parent = nullptr);

    void FormActivate() override;

    enum Column { Name, Version, Publisher, Licence, Year, Link, Comment, Origin, ColumnCount };

    void BotonImagenClick();
    void BotonCarpetaClick();
    void BotonLeerClick();
    void BotonGuardarClick();
    void BotonCancelarClick();

private:
    QListWidget *ListaDiscos;
    QToolButton *BotonImagen;
    QToolButton *BotonCarpeta;
    QToolButton *BotonLeer;
    QLineEdit *EditNumero;
    QLineEdit *EditDescripcion;
    QDateEdit *FechaDisco;
    QPlainTextEdit *MemoComentario;
    QLabel *NoLeidos; // what the disc's listing left out, over the proposal; hidden when nothing
    QTableWidget *GridProgramas;
    QPlainTextEdit *ComentarioPrograma; // the current proposal's whole comment, read-only
    QToolButton *BotonGuardar;
    QToolButton *BotonCancelar;

    void addSource(const QString &label, const QByteArray &path);
    void clearProposal();
    void showProposal(const disc::Proposal &proposal);
    // Back to the disc whose proposal is shown, after another's reading ended without one.
    void backToProposed();
    void allowSaving();
    void showCurrentComment();
    void markLicenceGuess(QTableWidgetItem *item);
    void clearLicenceGuess(QTableWidgetItem *item);
    bool proposeNumber();
    std::vector<disc::ProposedProgram> checkedPrograms() const;

    platform::Services services_;
    store::Connection &connection_;
    store::TableCursor &cds_;
    CatalogueWrites &catalogue_;
    QByteArray scanner_;
    QListWidgetItem *proposed_ = nullptr; // the disc the proposal shown was read from
    disc::ProposedCd readCd_;             // that disc's CD as read, for what tells it apart
};
