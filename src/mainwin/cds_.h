#pragma once

#include "editors/MainForm.h"
#include "mainwin/SecondaryWindows.h"
#include "platform/Platform.h"

#include <QMainWindow>
#include <exception>
#include <vector>

class QAction;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QVBoxLayout;
class DBGrid;
class DBMemo;
class TDataModule2;
class CatalogueSearch;
class TFormEstadisticas;
class TFormRepetidos;
class TFormExportarCatalogo;
namespace store {
class TableCursor;
}

// The main window: the CDs, programs and queries pages, the menus, the status bar, the
// deletions and the application's error handler. Built in pieces by job: the frame and the
// error handler (cds_.cpp), the pages and their buttons (MainPages.cpp), the queries page
// (QueriesPage.cpp), the menu (MainMenu.cpp), the commands (MainCommands.cpp), the tools
// (Herramientas.cpp), and the grids' keys and the window's remembered place (MainHabits.cpp).
class TForm1 : public QMainWindow, public MainForm {
    Q_OBJECT
public:
    // The grids and comment boxes show the data module's sources; its catalogue need not be
    // open yet. `makeWindows` makes the windows it opens, once it is whole.
    TForm1(platform::Services services, TDataModule2 &data, const MakeSecondaryWindows &makeWindows,
           QWidget *parent = nullptr);
    ~TForm1() override;

    // Shows what failed in an error box; the failed operation stays abandoned.
    void TratarErrores(QObject *Sender, std::exception_ptr E);
    // The text of a status bar panel (0 or 1).
    QString statusText(int panel) const;
    platform::Services &services() { return services_; }

    void FormCreate();
    void FormClose();

    // "ALTAS" on the CDs page: opens New CD.
    void SpeedButton1Click(QObject *Sender = nullptr);
    // "BAJAS" on the CDs page: deletes the current CD once the user confirms.
    void SpeedButton2Click(QObject *Sender = nullptr);
    // "MODIFICACIONES" on the CDs page: opens Modify CD on the current CD.
    void SpeedButton3Click(QObject *Sender = nullptr);
    // "ALTAS" on the programs page: opens New program.
    void SpeedButton4Click(QObject *Sender = nullptr);
    // "BAJAS" on the programs page: deletes the current program once the user confirms.
    void SpeedButton5Click(QObject *Sender = nullptr);
    // "MODIFICACIONES" on the programs page: opens Modify program on the current program.
    void SpeedButton6Click(QObject *Sender = nullptr);
    // "Archivo" > "Nuevo CD": brings the CDs page to the front and opens New CD.
    void NuevoCd1Click(QObject *Sender = nullptr);
    // "Archivo" > "Nuevo Programa": brings the programs page to the front and opens New program.
    void NuevoPrograma1Click(QObject *Sender = nullptr);
    void CatalogarDisco1Click(QObject *Sender = nullptr);
    // "Archivo" > "Abrir catálogo ...": the folder chooser; the chosen catalogue replaces the
    // open one (catalogueChosen).
    void AbrirCatalogo1Click(QObject *Sender = nullptr);
    // "Archivo" > "Salir": closes the main window, and with it the program.
    void Salir1Click(QObject *Sender = nullptr);
    // "Ver" > "CDs": brings the CDs page to the front.
    void CDs1Click(QObject *Sender = nullptr);
    // "Ver" > "Programas": brings the programs page to the front.
    void Programas1Click(QObject *Sender = nullptr);
    // "Ver" > "Consultas": brings the queries page to the front.
    void Consultas1Click(QObject *Sender = nullptr);
    // "Ver" > "Buscar en Consultas": the queries page, with the typing cursor in "Buscar :".
    void Buscar1Click(QObject *Sender = nullptr);
    // "Ver" > "Buscar en todo el catálogo": the search in every field, beside this window.
    void BuscarTodo1Click(QObject *Sender = nullptr);
    // "Archivo" > "Exportar catálogo ...": the catalogue, or the queries page's rows, as CSV, an
    // HTML or PDF report, or the report printed.
    void ExportarCatalogo1Click(QObject *Sender = nullptr);
    // "Archivo" > "Importar desde CSV ...": a CSV file chosen, checked and, when sound, stored.
    void ImportarCsv1Click(QObject *Sender = nullptr);
    // "Ver" > "Estadísticas": the catalogue counted, with charts.
    void Estadisticas1Click(QObject *Sender = nullptr);
    // "Ver" > "Programas repetidos": the names kept on more than one CD.
    void Repetidos1Click(QObject *Sender = nullptr);
    // "Ver" > "Recordar ventana y página": whether the next run starts where this one ends
    // (place on the desktop and page) instead of centred on the CDs page.
    void RecordarVentana1Click(QObject *Sender = nullptr);

    // The tools, help and About commands (Herramientas.cpp).
    // "Herramientas" > "Bloc de notas": starts the desktop's text editor.
    void Blockdenotas1Click(QObject *Sender = nullptr);
    // "Herramientas" > "Explorador de Windows": starts the desktop's file manager.
    void ExploradordeWindows1Click(QObject *Sender = nullptr);
    // "Herramientas" > "Calculadora": starts a calculator.
    void Calculadorqa1Click(QObject *Sender = nullptr);
    // "Herramientas" > "Navegador (predeterminado)": opens a blank page in the web browser.
    void Navegadorpredeterminado1Click(QObject *Sender = nullptr);
    // "Herramientas" > "Cliente de correo (predeterminado)": opens a new mail message.
    void Clientedecorreo1Click(QObject *Sender = nullptr);
    // "Ayuda" > "Ayuda": shows the help window, or brings it to the front.
    void Ayuda2Click(QObject *Sender = nullptr);
    // "Ayuda" > "Contacto": opens a new mail message to the maker.
    void Contacto1Click(QObject *Sender = nullptr);
    // "Ayuda" > "Acerca de ...": opens the About window.
    void Acercade1Click(QObject *Sender = nullptr);

    // The queries page (QueriesPage.cpp).
    // The queries page comes to the front, by its tab or by "Ver" > "Consultas": every program,
    // ordered by CD number, searching and filtering nothing.
    void TabSheet3Show(QObject *Sender = nullptr);
    // "Ordenado por :" chosen: orders the list by that column and empties "Buscar :".
    void ComboBox1Change(QObject *Sender = nullptr);
    // "Buscar :" typed in: the list moves to the first program the text finds in the column it
    // is ordered by.
    void Edit1Change(QObject *Sender = nullptr);
    // "CD :" chosen: lists the programs of that CD only, or of every CD for "Todos".
    void ComboBox2Change(QObject *Sender = nullptr);
    // "Exportar Listado de Programas" icon on the queries page, or "Archivo" > "Exportar listado
    // de programas ...": opens the export window.
    void ExportarProgClick(QObject *Sender = nullptr);
    // "Herramientas" > "Copia de seguridad (Backup)": opens the backup window.
    void RepararBasededatos1Click(QObject *Sender = nullptr);
    // "Ver datos del Programa" icon on the queries page: opens the current program's details.
    void VerProgClick(QObject *Sender = nullptr);
    // "Ir a link del Programa" icon on the queries page: opens the current program's link.
    void NavegarClick(QObject *Sender = nullptr);

    // Appends the number of every CD of the cursor, as decimal text; leaves the cursor on its
    // last row.
    void extraercds(QComboBox *combo, store::TableCursor &cursor) override;
    // True when the text is a whole number (the store's rule) of at most `maxLength` characters.
    bool Validar(const QString &text, int maxLength) override;

    // Enables the commands that need a catalogue only while one is open. Without `attempted`
    // (the user chose none) the status bar says that none is open instead of naming a folder.
    void showCatalogueState(bool attempted = true);
    // The page the last run ended on, when the user asked for it to be remembered.
    void startOnRememberedPage();

signals:
    // The user chose a catalogue folder (bytes of the file system) that holds a catalogue.
    void catalogueChosen(const QByteArray &folder);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // A page's top row, with its icon panel at the left; the page still without its tab.
    struct PageTop {
        QWidget *page;
        QVBoxLayout *layout;
        QHBoxLayout *top;
    };
    PageTop startPage(int place);
    void buildPages();
    QWidget *buildListPage(int place, const QString &gridBox, DBGrid *grid, const QString &memoBox,
                           DBMemo *memo);
    void buildQueriesPage();
    void buildMenu();
    void buildStatusBar();
    void bindData();
    void openModal(QDialog *window);
    void fillRecentMenu();
    void openRecent(const QByteArray &folder);
    // Enter, double-click, Delete and a title click on the three grids.
    void wireGrids();
    // Where the last run left the window, when it is to be remembered; else centred.
    void placeWindow();
    void rememberPlace();
    bool remembering() const;

    platform::Services services_;
    TDataModule2 &data_;
    SecondaryWindows windows_;
    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QWidget *TabSheet3;
    DBGrid *DBGrid2;
    DBGrid *DBGrid3;
    DBMemo *DBMemo1;
    DBMemo *DBMemo2;
    DBGrid *DBGrid1;
    QLineEdit *Edit1;
    QComboBox *ComboBox1;
    QComboBox *ComboBox2;
    QLabel *statusPanels[2] = {};
    QMenu *recentMenu_ = nullptr;
    // The windows over the whole catalogue, each made at its first opening.
    TFormEstadisticas *estadisticas_ = nullptr;
    TFormRepetidos *repetidos_ = nullptr;
    TFormExportarCatalogo *exportarCatalogo_ = nullptr;
    CatalogueSearch *buscarTodo_ = nullptr;
    std::vector<QAction *> catalogueActions_;
    std::vector<QWidget *> catalogueWidgets_;
};
