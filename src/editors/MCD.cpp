#include "MCD.h"

#include "Conversions.h"
#include "DBEdit.h"
#include "DBMemo.h"
#include "DatabaseError.h"
#include "Guard.h"
#include "Modulo.h"
#include "Schema.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QToolButton>
#include <tuple>

namespace schema = store::schema;

TForm3::TForm3(platform::Services services, TDataModule2 &data, QWidget *parent)
    : DialogBase(QStringLiteral("Form3"), QStringLiteral("Modificación CD"), QSize(433, 322),
                 parent)
    , services_(services)
    , data_(data) {
    store::TDataSource *source = &data_.DataDiscos;
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto bound = [&](const char *name, schema::cds::Field field) {
        return boundEdit(name, source, schema::field(field), GroupBox1);
    };
    DBEdit1 = bound("DBEdit1", schema::cds::Number);
    DBEdit1->setReadOnly(true);
    DBEdit2 = bound("DBEdit2", schema::cds::Description);
    Date1 = new QDateEdit(GroupBox1);
    Date1->setObjectName(QStringLiteral("Date1"));
    Date1->setCalendarPopup(true);
    Date1->setDisplayFormat(services_.clock.shortDateFormat());
    DBMemo1 = boundMemo("DBMemo1", source, schema::field(schema::cds::Comment), GroupBox1);
    // Carries the picked date into the row as text just before the post; never seen.
    DBEdit3 = bound("DBEdit3", schema::cds::Date);
    DBEdit3->hide();

    layRows(GroupBox1, {{QStringLiteral("Nro. CD :"), DBEdit1},
                        {QStringLiteral("Descripción :"), DBEdit2},
                        {QStringLiteral("Fecha :"), Date1},
                        {QStringLiteral("Comentario :"), DBMemo1}});
    setTabOrder(DBMemo1, DBEdit3);

    std::tie(SpeedButton1, SpeedButton2) = acceptAndCancel(
        GroupBox1, [this] { SpeedButton1Click(); }, [this] { SpeedButton2Click(); });
}

void TForm3::showStoredDate(const QDate &date) {
    Date1->setDate(date);
}

// The picker keeps the CD's stored date that the opener put there, so confirming another change
// does not move the CD's date to today.
void TForm3::FormActivate() {
    DBEdit2->setFocus();
    // A CD without a date the program can read (none, or one stored in another form) keeps it
    // unless the user picks one: the picker's stand-in date is not written.
    dateShown_ = Date1->date();
    rowGone_ = false;
    dateUnread_ =
        data_.TDiscos.RecordCount() > 0 && data_.TDiscos.Fields(schema::cds::Date).IsNull();
}

void TForm3::SpeedButton1Click() {
    store::TableCursor &discos = data_.TDiscos;
    // There is no CD to change: typing may have begun a new row, which is not this window's job.
    if (discos.RecordCount() == 0 || discos.state() == store::TableCursor::State::Insert) {
        // Closing without a word would look like a save.
        services_.dialogs.information(
            this,
            QStringLiteral(
                "\r\n No hay ningún CD para modificar: el catálogo todavía no tiene CDs. \r\n"));
        close();
        return;
    }
    // The CD is no longer in the file: the row the cursor moved to is not this window's.
    if (rowGone_)
        throw store::DatabaseError(store::DatabaseError::Kind::Other,
                                   QStringLiteral("the CD is no longer in the file"), {},
                                   store::DatabaseError::Cause::RowGone)
            .about(schema::table(schema::cds::table));
    discos.EditRow();
    if (!dateUnread_ || Date1->date() != dateShown_)
        DBEdit3->setText(
            store::serialToText(store::toSerial(Date1->date()), services_.clock.shortDateFormat()));
    const QString number = DBEdit1->text(), description = DBEdit2->text(),
                  comment = DBMemo1->text();
    try {
        discos.PostRow();
    } catch (const store::DatabaseError &error) {
        // Another program changed the CD: the cursor read it again and keeps the typing on it.
        // It removed the CD: the boxes keep showing what the user typed, for them to copy.
        if (error.cause() == store::DatabaseError::Cause::RowGone) {
            rowGone_ = true;
            DBEdit1->setText(number);
            DBEdit2->setText(description);
            DBMemo1->setText(comment);
        }
        throw;
    }
    close();
}

void TForm3::SpeedButton2Click() {
    close();
}

void TForm3::FormClose() {
    data_.TDiscos.CancelRow();
}
