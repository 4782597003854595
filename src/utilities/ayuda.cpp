#include "ayuda.h"

#include "Guard.h"
#include "Modulo.h"
#include "WorkingDirectory.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QTextDocument>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TForm10 *Form10 = nullptr;

namespace {

// Rendering takes about half a second a megabyte here: a larger page would hold the program up
// (a 50 MB page took 15 s and 3 GB), so it is described instead of shown.
constexpr qint64 kLargestPage = 1000 * 1000;
// The notices' way back to the page the user came from.
const QUrl kBack(QStringLiteral("vadrel:atras"));

QString notice(const QString &title, const QString &text, bool back) {
    return QStringLiteral("<h3>%1</h3><p>%2</p>").arg(title, text) +
           (back ? QStringLiteral("<p><a href=\"%1\">Atrás</a></p>").arg(kBack.toString())
                 : QString());
}

// Reads pages, style sheets and pictures by the folder's own bytes: the browser's own reading
// would name them by their text, which cannot name a folder whose name is no valid text. A page
// that is missing or too large gets a notice in its place.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl &name) override {
        const QUrl address = name.isRelative() ? source().resolved(name) : name;
        if (!address.isLocalFile())
            return QTextBrowser::loadResource(type, name);
        const QString path = address.toLocalFile();
        const bool page = type == QTextDocument::HtmlResource;
        const bool back = path != TForm10::helpPage();
        const int fd = ::open(store::fileSystemPath(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            if (!page)
                return {};
            return notice(QStringLiteral("No se encontró la página"),
                          QStringLiteral("La página <tt>%1</tt> no existe en la carpeta de la "
                                         "ayuda.")
                              .arg(path.toHtmlEscaped()),
                          back);
        }
        QFile file;
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return {};
        }
        if (info.st_size > kLargestPage) {
            if (!page)
                return {};
            return notice(QStringLiteral("Página demasiado grande"),
                          QStringLiteral("La página <tt>%1</tt> ocupa %2 MB; la ayuda no muestra "
                                         "páginas de más de 1 MB, que la harían esperar. Puede "
                                         "abrirla con un navegador.")
                              .arg(path.toHtmlEscaped())
                              .arg(double(info.st_size) / 1e6, 0, 'f', 1),
                          back);
        }
        return file.readAll();
    }
};

} // namespace

TForm10::TForm10(platform::Services services, QWidget *parent)
    // A title of one blank: the desktop would show the program's name in an empty one.
    : DialogBase(QStringLiteral("Form10"), QStringLiteral(" "), QSize(626, 518), parent)
    , services_(services) {
    // It stays open beside the main window.
    setModal(false);
    WebBrowser = new HelpBrowser(this);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    WebBrowser->setAccessibleName(QStringLiteral("Ayuda de Vadrel"));
    WebBrowser->setGeometry(8, 8, 609, 500);
    WebBrowser->setOpenLinks(false);
    connect(WebBrowser, &QTextBrowser::anchorClicked, this,
            [this](const QUrl &link) { platform::guarded(WebBrowser, [&] { followLink(link); }); });
    // Which of the program's windows was active before this one tells a return from another
    // application apart from a move among the program's own windows.
    qApp->installEventFilter(this);
}

TForm10::~TForm10() {
    qApp->removeEventFilter(this);
}

QString TForm10::helpPage() {
    return TDataModule2::Ruta() + QDir::separator() + QStringLiteral("ayuda") + QDir::separator() +
           QStringLiteral("ayuda.htm");
}

void TForm10::showHelp() {
    show();
    // Desktops that refuse an application's own activation request would leave the page as it
    // was: it is loaded here, not left to the activation.
    FormActivate();
    raise();
    activateWindow();
}

void TForm10::showEvent(QShowEvent *event) {
    // The page loads on every activation, which showing brings, not once per opening.
    QDialog::showEvent(event);
}

bool TForm10::isOwn(const QWidget *window) const {
    return window && (window == this || window->parentWidget() == this);
}

bool TForm10::eventFilter(QObject *watched, QEvent *event) {
    // Only activations count: a return from another application activates this window again
    // with no other window of the program activated in between.
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto *window = static_cast<QWidget *>(watched);
        if (window->isWindow()) {
            if (window == this)
                before_ = lastActive_;
            lastActive_ = window;
        }
    }
    return false;
}

bool TForm10::event(QEvent *event) {
    const bool handled = DialogBase::event(event);
    // Coming back from another application, or from a box of its own, keeps the reader's place.
    if (event->type() == QEvent::WindowActivate && !isOwn(before_))
        platform::guarded(this, [this] { FormActivate(); });
    return handled;
}

void TForm10::FormActivate() {
    const QString page = helpPage();
    struct stat info;
    if (::stat(store::fileSystemPath(page).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
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
    if (link == kBack) {
        WebBrowser->backward();
        return;
    }
    const QUrl source = WebBrowser->source();
    const QUrl target = source.resolved(link);
    if (target.isLocalFile()) {
        // Only the help folder's own pages: a link may not reach the rest of the disk.
        const QString folder = QFileInfo(source.toLocalFile()).absolutePath() + u'/';
        if (source.isLocalFile() && QDir::cleanPath(target.toLocalFile()).startsWith(folder)) {
            WebBrowser->setSource(target);
            return;
        }
        services_.dialogs.error(this, QStringLiteral(" El enlace lleva al archivo \"%1\", fuera "
                                                     "de la carpeta de la ayuda; no se abre. ")
                                          .arg(QDir::toNativeSeparators(target.toLocalFile())));
        return;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto") {
        services_.shell.open(parentWidget(), link.toString(), QString(), platform::Shell::Normal);
        return;
    }
    services_.dialogs.error(this, QStringLiteral(" El enlace \"%1\" no es una página de la ayuda "
                                                 "ni una dirección web o de correo; no se abre. ")
                                      .arg(link.toString()));
}
