#pragma once

class QComboBox;
class QString;
namespace store {
class TableCursor;
}

// What the program editors use of the main window: its CD-number list filler and its number
// check. The main window implements it; the editors, a layer below, only know this.
class MainForm {
public:
    // Appends the number of every CD of the cursor, as decimal text; leaves the cursor on its
    // last row.
    virtual void extraercds(QComboBox *combo, store::TableCursor &cursor) = 0;
    // True when the text is a whole number (the store's rule) of at most `maxLength` characters.
    virtual bool Validar(const QString &text, int maxLength) = 0;

protected:
    ~MainForm() = default;
};
