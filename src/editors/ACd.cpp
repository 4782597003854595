#include "editors/ACd.h"

#include "platform/Guard.h"
#include "store/catalogue/CatalogueWrites.h"
#include "store/catalogue/NextNumber.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Conversions.h"
#include "store/engine/DatabaseError.h"
#include "store/schema/Schema.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <limits>
#include <tuple>

namespace schema = store::schema;

TForm2::TForm2(platform::Services services, store::TableCursor &cds, CatalogueWrites &catalogue,
               QWidget *parent)
    : DialogBase(QStringLiteral("Form2"), QStringLiteral("Nuevo CD"), QSize(433, 322), parent)
    , services_(services)
    , cds_(cds)
    , catalogue_(catalogue) {
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit2 = new QLineEdit(GroupBox1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaxLength(std::numeric_limits<int>::max()); // Qt's own limit would cut a long text
    Date1 = new QDateEdit(GroupBox1);
    Date1->setObjectName(QStringLiteral("Date1"));
    Date1->setCalendarPopup(true);
    Date1->setDisplayFormat(services_.clock.shortDateFormat());
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    prepareMemo(Memo1);
    layRows(GroupBox1, {{QStringLiteral("Nro. CD :"), Edit1},
                        {QStringLiteral("Descripción :"), Edit2},
                        {QStringLiteral("Fecha :"), Date1},
                        {QStringLiteral("Comentario :"), Memo1}});

    std::tie(SpeedButton1, SpeedButton2) = acceptAndCancel(
        GroupBox1, [this] { SpeedButton1Click(); }, [this] { SpeedButton2Click(); });
}

bool TForm2::proposeNumber() {
    // A number past the whole-number rule has no next one to propose.
    const store::NextNumber number = store::nextNumber(cds_, std::numeric_limits<qint32>::max());
    if (!number.next) {
        Edit1->clear();
        services_.dialogs.error(
            this, QStringLiteral(" No hay un número para el nuevo CD: el último CD tiene el número "
                                 "%1, y un CD no puede llevar uno mayor que %2 ")
                      .arg(number.highest)
                      .arg(std::numeric_limits<qint32>::max()));
        return false;
    }
    Edit1->setText(QString::number(*number.next));
    return true;
}

void TForm2::Limpiar() {
    // Today's date and empty boxes even when no number can be proposed.
    Edit2->clear();
    Date1->setDate(services_.clock.today());
    Memo1->clear();
    Edit2->setFocus();
    proposeNumber();
}

void TForm2::FormActivate() {
    Limpiar();
}

void TForm2::SpeedButton1Click() {
    const auto number = store::parseWholeNumber(Edit1->text());
    if (!number)
        throw store::DatabaseError(store::DatabaseError::Kind::Conversion,
                                   QStringLiteral("proposed number does not convert"), {},
                                   store::DatabaseError::Cause::NotAWholeNumber)
            .about(schema::table(schema::cds::table), schema::field(schema::cds::Number),
                   Edit1->text());
    const auto insert = [&] {
        cds_.InsertRow({*number, Edit2->text(), QDateTime(Date1->date(), QTime(0, 0)),
                        store::toStoredLines(Memo1->toPlainText())});
    };
    // Another program added a CD since the number was proposed: the lists are read again and the
    // next free number proposed, with the typing kept.
    const auto taken = [&] {
        catalogue_.rereadAll();
        if (!proposeNumber())
            return;
        if (Edit1->text() == QString::number(*number))
            throw; // not a number another program took
        services_.dialogs.error(this, QStringLiteral(" El número %1 ya lo usó otro programa; se "
                                                     "propone el %2. Revise los datos y pulse "
                                                     "ACEPTAR de nuevo. ")
                                          .arg(*number)
                                          .arg(Edit1->text()));
    };
    if (!storeUnlessTaken(insert, taken))
        return;
    services_.dialogs.information(
        this, QStringLiteral("\r\n Los datos del CD se guardaron correctamente \r\n"));
    Limpiar();
}

void TForm2::SpeedButton2Click() {
    close();
}
