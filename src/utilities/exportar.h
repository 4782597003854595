#pragma once

#include "platform/Platform.h"
#include "widgets/DialogBase.h"

#include <utility>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QToolButton;
namespace store {
enum class ListingColumn;
class TableCursor;
} // namespace store

// The export window: writes Listado.txt, the programs of the queries page in its order and under
// its CD filter, with the columns the user checks.
class TForm8 : public DialogBase {
    Q_OBJECT
public:
    // Lists the rows of `joined`, the joined view as the queries page orders and filters it.
    TForm8(platform::Services services, store::TableCursor &joined, QWidget *parent = nullptr);

    // The window is shown by the "Exportar Listado de Programas" icon: only the name is checked.
    void FormActivate() override;
    // "GENERAR": writes the listing and offers to open it.
    void SpeedButton1Click();
    // "CANCELAR": closes.
    void SpeedButton2Click();

private:
    // The boxes of the columns besides the name, in the listing's order.
    std::vector<std::pair<QCheckBox *, store::ListingColumn>> optionalColumns() const;

    QGroupBox *GroupBox1;
    QCheckBox *CheckBox1;
    QCheckBox *CheckBox2;
    QCheckBox *CheckBox3;
    QCheckBox *CheckBox4;
    QCheckBox *CheckBox5;
    QCheckBox *CheckBox6;
    QCheckBox *CheckBox7;
    QCheckBox *CheckBox8;
    QLabel *Label1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    platform::Services services_;
    store::TableCursor &joined_;
};
