#include "editors/MCD.h"

#include "platform/Guard.h"
#include "store/cursor/DataSource.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Conversions.h"
#include "store/schema/Schema.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QToolButton>
#include <tuple>

namespace schema = store::schema;

TForm3::TForm3(platform::Services services, store::TDataSource &cds, QWidget *parent)
    : DialogBase(QStringLiteral("Form3"), QStringLiteral("Modificación CD"), QSize(433, 322),
                 parent)
    , services_(services)
    , cds_(*cds.DataSet()) {
    store::TDataSource *source = &cds;
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
    editing_ = {&cds_,
                QStringLiteral(
                    "\r\n No hay ningún CD para modificar: el catálogo todavía no tiene CDs. \r\n"),
                schema::table(schema::cds::table),
                QStringLiteral("the CD is no longer in the file"),
                {DBEdit1, DBEdit2},
                DBMemo1};
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
    editing_.gone = false;
    dateUnread_ = cds_.RecordCount() > 0 && cds_.Fields(schema::cds::Date).IsNull();
}

void TForm3::SpeedButton1Click() {
    saveRowEdit(editing_, services_.dialogs, {}, [this] {
        store::TableCursor &discos = cds_;
        discos.EditRow();
        if (!dateUnread_ || Date1->date() != dateShown_)
            DBEdit3->setText(store::serialToText(store::toSerial(Date1->date()),
                                                 services_.clock.shortDateFormat()));
        discos.PostRow();
    });
}

void TForm3::SpeedButton2Click() {
    close();
}

void TForm3::FormClose() {
    cds_.CancelRow();
}
