#pragma once

#include "MainForm.h"
#include "Platform.h"

#include <QMainWindow>
#include <exception>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QToolButton;
class DBGrid;
class DBMemo;
class TDataModule2;
namespace store {
class TableCursor;
}

// The main window: the CDs, programs and queries pages, the menus, the status bar, the
// deletions and the application's error handler.
class TForm1 : public QMainWindow, public MainForm {
    Q_OBJECT
public:
    explicit TForm1(platform::Services services, QWidget *parent = nullptr);
    ~TForm1() override;

    // Binds the grids and comment boxes to the data module's sources (the data module is
    // created after this window, as at start-up).
    void bindData(TDataModule2 &module);
    // Enables the commands whose windows exist.
    void enableCommands();

    // Shows what failed in an error box; the failed operation stays abandoned.
    void TratarErrores(QObject *Sender, std::exception_ptr E);
    // The text of a status bar panel (0 or 1).
    QString statusText(int panel) const;
    platform::Services &services() { return services_; }

    void FormCreate();
    void FormClose();
    void SpeedButton1Click(QObject *Sender = nullptr);
    void SpeedButton2Click(QObject *Sender = nullptr);
    void SpeedButton3Click(QObject *Sender = nullptr);
    void SpeedButton4Click(QObject *Sender = nullptr);
    void SpeedButton5Click(QObject *Sender = nullptr);
    void SpeedButton6Click(QObject *Sender = nullptr);
    void NuevoCd1Click(QObject *Sender = nullptr);
    void NuevoPrograma1Click(QObject *Sender = nullptr);
    void Salir1Click(QObject *Sender = nullptr);
    void CDs1Click(QObject *Sender = nullptr);
    void Programas1Click(QObject *Sender = nullptr);
    void Consultas1Click(QObject *Sender = nullptr);

    // The tools, help and About commands (Herramientas.cpp).
    void Blockdenotas1Click(QObject *Sender = nullptr);
    void ExploradordeWindows1Click(QObject *Sender = nullptr);
    void Calculadorqa1Click(QObject *Sender = nullptr);
    void Navegadorpredeterminado1Click(QObject *Sender = nullptr);
    void Clientedecorreo1Click(QObject *Sender = nullptr);
    void Ayuda2Click(QObject *Sender = nullptr);
    void Contacto1Click(QObject *Sender = nullptr);
    void Acercade1Click(QObject *Sender = nullptr);

    // The queries page.
    void TabSheet3Show(QObject *Sender = nullptr);
    void ComboBox1Change(QObject *Sender = nullptr);
    void Edit1Change(QObject *Sender = nullptr);
    void ComboBox2Change(QObject *Sender = nullptr);
    // The "Exportar Listado de Programas" icon of the queries page.
    void ExportarProgClick(QObject *Sender = nullptr);
    // "Herramientas" > "Copia de seguridad (Backup)".
    void RepararBasededatos1Click(QObject *Sender = nullptr);
    void VerProgClick(QObject *Sender = nullptr);
    void NavegarClick(QObject *Sender = nullptr);

    // Appends the first field of every row of the cursor, as decimal text; leaves the cursor on
    // its last row.
    void extraercds(QComboBox *combo, store::TableCursor &cursor) override;
    // True when the text is a whole number (the store's rule) of at most `maxLength` characters.
    bool Validar(const QString &text, int maxLength) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPages();
    void buildQueriesPage();
    void buildMenu();
    void buildStatusBar();
    QWidget *buildListPage(const QString &name, const QString &panelName, const QString &iconName,
                           const QString &icon, int firstButton, const QString &gridBox,
                           DBGrid *grid, const QString &memoBox, DBMemo *memo);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    void openModal(QDialog *window);

    platform::Services services_;
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
    QToolButton *SpeedButtons[6] = {};
    QLabel *statusPanels[2] = {};
};

extern TForm1 *Form1;
