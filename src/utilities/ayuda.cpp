#include "ayuda.h"

#include "Guard.h"
#include "Modulo.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QTextBrowser>

TForm10 *Form10 = nullptr;

TForm10::TForm10(platform::Services services, QWidget *parent)
    : DialogBase(QStringLiteral("Form10"), QString(), QSize(626, 518), parent)
    , services_(services) {
    // It stays open beside the main window.
    setModal(false);
    WebBrowser = new QTextBrowser(this);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    WebBrowser->setAccessibleName(QStringLiteral("Ayuda de Vadrel"));
    WebBrowser->setGeometry(8, 8, 609, 500);
    WebBrowser->setOpenLinks(false);
    connect(WebBrowser, &QTextBrowser::anchorClicked, this,
            [this](const QUrl &link) { platform::guarded(WebBrowser, [&] { followLink(link); }); });
}

QString TForm10::helpPage() {
    return TDataModule2::Ruta() + QDir::separator() + QStringLiteral("ayuda") + QDir::separator() +
           QStringLiteral("ayuda.htm");
}

void TForm10::showEvent(QShowEvent *event) {
    // The page loads on every activation, which showing brings, not once per opening.
    QDialog::showEvent(event);
}

bool TForm10::event(QEvent *event) {
    const bool handled = DialogBase::event(event);
    if (event->type() == QEvent::WindowActivate)
        platform::guarded(this, [this] { FormActivate(); });
    return handled;
}

void TForm10::FormActivate() {
    const QString page = helpPage();
    if (!QFileInfo(page).isFile()) {
        WebBrowser->setHtml(
            QStringLiteral(
                "<h3>No se encontró la ayuda</h3><p>Vadrel busca la página de ayuda "
                "en</p><p><tt>%1</tt></p><p>y allí no está. La carpeta <tt>ayuda</tt> "
                "se crea junto con el catálogo; puede copiarla desde otro catálogo "
                "de Vadrel a la carpeta donde está <tt>db.mdb</tt>, o crearla con la orden "
                "<tt>vadrel-db install-help CARPETA</tt>.</p>")
                .arg(page.toHtmlEscaped()));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(page);
    // The same address again is not read again by setSource; reload reads it from the top.
    if (WebBrowser->source() == url)
        WebBrowser->reload();
    else
        WebBrowser->setSource(url);
}

void TForm10::followLink(const QUrl &link) {
    const QUrl source = WebBrowser->source();
    const QUrl target = source.resolved(link);
    const QString folder = QFileInfo(source.toLocalFile()).absolutePath() + u'/';
    if (source.isLocalFile() && target.isLocalFile() &&
        QDir::cleanPath(target.toLocalFile()).startsWith(folder)) {
        WebBrowser->setSource(target);
        return;
    }
    services_.shell.open(parentWidget(),
                         target.isLocalFile() ? target.toLocalFile() : link.toString(), QString(),
                         platform::Shell::Normal);
}
