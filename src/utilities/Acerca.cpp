#include "utilities/Acerca.h"

#include "platform/Guard.h"
#include "platform/Look.h"
#include "utilities/Contact.h"
#include "utilities/JpegImage.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

QLabel *boldText(const char *name, const QString &text, QPoint at, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    platform::setBold(label);
    label->adjustSize();
    label->move(at);
    return label;
}

} // namespace

TForm7::TForm7(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form7"), QStringLiteral("Acerca de ..."), QSize(401, 185), parent)
    , services_(services) {
    // No title-bar buttons at all: "OK" or Enter is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 8, 385, 137);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(Panel1->contentsRect());
    Image1->setScaledContents(true);
    QFile banner(QStringLiteral(":/banner.jpg"));
    showBanner(banner.open(QIODevice::ReadOnly) ? banner.readAll() : QByteArray());

    Image2 = new QLabel(Panel1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(104, 16, 32, 32);
    QPixmap icon = QApplication::windowIcon().pixmap(32, 32);
    Image2->setPixmap(icon.isNull() ? QPixmap(QStringLiteral(":/icons/vadrel-32.png")) : icon);

    Label1 = boldText("Label1", QStringLiteral("Vadrel versión 1.0"), {96, 56}, Panel1);
    Label4 = boldText("Label4", QStringLiteral("(14082004)"), {96, 72}, Panel1);
    Label3 = boldText("Label3", QStringLiteral("Hecho en Argentina"), {264, 116}, Panel1);
    Label5 = boldText("Label5", QStringLiteral("Contacto :"), {16, 160}, this);
    Label6 = boldText("Label6", kContactAddress, {80, 160}, this);
    QPalette navy = Label6->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    Label6->setPalette(navy);
    Label6->setCursor(Qt::PointingHandCursor);
    Label6->setToolTip(QStringLiteral("Escribir un correo a ") + kContactAddress);
    Label6->installEventFilter(this);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(312, 152, 73, 25);
    Button1->setDefault(true);
    platform::connectGuarded(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm7::showBanner(const QByteArray &jpeg) {
    const QImage picture = decodeJpeg(jpeg);
    if (picture.isNull())
        Image1->clear();
    else
        Image1->setPixmap(QPixmap::fromImage(picture));
}

void TForm7::FormActivate() {
    Button1->setFocus();
}

void TForm7::Button1Click() {
    close();
}

void TForm7::Label6Click() {
    writeToMaker(services_.shell, parentWidget());
}

bool TForm7::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Label6 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
        Label6->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
        platform::guarded(Label6, [this] { Label6Click(); });
        return true;
    }
    return DialogBase::eventFilter(watched, event);
}

void TForm7::keyPressEvent(QKeyEvent *event) {
    // Enter presses the default button wherever the focus is; Escape stays without meaning.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        Button1->click();
        return;
    }
    DialogBase::keyPressEvent(event);
}
