#include "utilities/ayuda.h"

#include "platform/Application.h"
#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "store/files/WorkingDirectory.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

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

// The pages in the source tree the program was built from.
QByteArray sourceHelpFolder() {
#ifdef VADREL_SOURCE_HELP
    return QByteArrayLiteral(VADREL_SOURCE_HELP);
#else
    return {};
#endif
}

QList<QByteArray> helpPlacesNow() {
    return TForm10::helpPlaces(TDataModule2::RutaBytes(), platform::programFolder(),
                               sourceHelpFolder());
}

// Reads pages, style sheets and pictures by the folder's own bytes: the browser's own reading
// would name them by their text, which cannot name a folder whose name is no valid text. A page
// that is missing or too large gets a notice in its place.
class HelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

    // The help folder shown, by its bytes and as text; empty while the notice of no help shows.
    QByteArray folderBytes;
    QString folderText;
    QString startPage;

    QVariant loadResource(int type, const QUrl &name) override {
        const QUrl address = name.isRelative() ? source().resolved(name) : name;
        if (!address.isLocalFile())
            return QTextBrowser::loadResource(type, name);
        const QString path = address.toLocalFile();
        const bool page = type == QTextDocument::HtmlResource;
        const bool back = path != startPage;
        const int fd = ::open(bytesOf(path).constData(), O_RDONLY | O_CLOEXEC);
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

    // True when `path` is inside the help folder.
    bool inFolder(const QString &path) const {
        return !folderText.isEmpty() && path.startsWith(folderText + u'/');
    }

private:
    // The bytes that name `path`: inside the help folder, its own bytes, which its text may not
    // give back.
    QByteArray bytesOf(const QString &path) const {
        if (inFolder(path))
            return folderBytes + QFile::encodeName(path.mid(folderText.size()));
        return store::fileSystemPath(path);
    }
};

} // namespace

TForm10::TForm10(platform::Services services, QWidget *parent)
    // A title of one blank: the desktop would show the program's name in an empty one.
    : DialogBase(QStringLiteral("Form10"), QStringLiteral(" "), QSize(626, 518), parent)
    , services_(services) {
    // It stays open beside the main window.
    setModal(false);
    // Made first, so that it holds the focus when the window opens and the keys scroll the page.
    WebBrowser = new HelpBrowser(this);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    WebBrowser->setAccessibleName(QStringLiteral("Ayuda de Vadrel"));
    WebBrowser->setGeometry(8, 40, 609, 468);
    WebBrowser->setOpenLinks(false);
    platform::connectGuarded(WebBrowser, &QTextBrowser::anchorClicked, this,
                             [this](const QUrl &link) { followLink(link); });

    // A browser's row of buttons, and its keys.
    auto button = [this](const char *name, const QString &caption, const QString &tip,
                         const QKeySequence &keys, int left, std::function<void()> onClick) {
        auto *made = new QToolButton(this);
        made->setObjectName(QLatin1String(name));
        made->setText(caption);
        made->setToolTip(tip);
        // Its own shortcut rather than the button's, which would click only a moment later.
        connect(new QShortcut(keys, this), &QShortcut::activated, made, &QToolButton::click);
        made->setEnabled(false);
        made->setGeometry(left, 8, 75, 25);
        platform::connectGuarded(made, &QToolButton::clicked, this, std::move(onClick));
        return made;
    };
    Atras =
        button("Atras", QStringLiteral("Atrás"), QStringLiteral("Página anterior (Alt+Izquierda)"),
               QKeySequence(Qt::ALT | Qt::Key_Left), 8, [this] { WebBrowser->backward(); });
    Adelante = button("Adelante", QStringLiteral("Adelante"),
                      QStringLiteral("Página siguiente (Alt+Derecha)"),
                      QKeySequence(Qt::ALT | Qt::Key_Right), 87, [this] { WebBrowser->forward(); });
    Inicio = button("Inicio", QStringLiteral("Inicio"),
                    QStringLiteral("Índice de la ayuda (Alt+Inicio)"),
                    QKeySequence(Qt::ALT | Qt::Key_Home), 166, [this] { FormActivate(); });
    connect(WebBrowser, &QTextBrowser::backwardAvailable, Atras, &QWidget::setEnabled);
    connect(WebBrowser, &QTextBrowser::forwardAvailable, Adelante, &QWidget::setEnabled);

    // Which of the program's windows was active before this one tells a return from another
    // application apart from a move among the program's own windows.
    qApp->installEventFilter(this);
}

TForm10::~TForm10() {
    qApp->removeEventFilter(this);
}

QList<QByteArray> TForm10::helpPlaces(const QByteArray &catalogueFolder,
                                      const QByteArray &executableFolder,
                                      const QByteArray &sourceFolder) {
    QList<QByteArray> places;
    if (!catalogueFolder.isEmpty())
        places.append(store::joinedPath(catalogueFolder, "ayuda"));
    if (!executableFolder.isEmpty()) {
        const qsizetype slash = executableFolder.lastIndexOf('/');
        const QByteArray prefix = slash < 0 ? QByteArray(".") : executableFolder.left(slash);
        places.append(prefix + "/share/vadrel/ayuda");
    }
    if (!sourceFolder.isEmpty())
        places.append(sourceFolder);
    return places;
}

QByteArray TForm10::helpFolder(const QList<QByteArray> &places) {
    for (const QByteArray &place : places) {
        struct stat info;
        if (::stat(store::joinedPath(place, "ayuda.htm").constData(), &info) == 0 &&
            S_ISREG(info.st_mode))
            return place;
    }
    return {};
}

QString TForm10::helpPage() {
    const QList<QByteArray> places = helpPlacesNow();
    const QByteArray folder = helpFolder(places);
    return QFile::decodeName(
        store::joinedPath(folder.isEmpty() ? places.value(0) : folder, "ayuda.htm"));
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

void TForm10::keyPressEvent(QKeyEvent *event) {
    // The one secondary window that Escape closes: there is nothing in it to lose.
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    DialogBase::keyPressEvent(event);
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
    auto *browser = static_cast<HelpBrowser *>(WebBrowser);
    const QList<QByteArray> places = helpPlacesNow();
    const QByteArray folder = helpFolder(places);
    // "Atrás" stays among the pages of the folder shown.
    if (folder != browser->folderBytes)
        WebBrowser->clearHistory();
    browser->folderBytes = folder;
    browser->folderText = QFile::decodeName(folder);
    browser->startPage =
        folder.isEmpty() ? QString() : QFile::decodeName(store::joinedPath(folder, "ayuda.htm"));
    Inicio->setEnabled(!folder.isEmpty());
    if (folder.isEmpty()) {
        QString looked;
        for (const QByteArray &place : places)
            looked +=
                QStringLiteral("<li><tt>%1</tt></li>")
                    .arg(QFile::decodeName(store::joinedPath(place, "ayuda.htm")).toHtmlEscaped());
        WebBrowser->setHtml(
            QStringLiteral("<h3>No se encontró la ayuda</h3><p>Vadrel busca la página de "
                           "ayuda en estos lugares, en este orden:</p><ul>%1</ul><p>y no "
                           "está en ninguno. La carpeta <tt>ayuda</tt> se crea junto con el "
                           "catálogo; puede copiarla desde otro catálogo de Vadrel a la "
                           "carpeta donde está <tt>db.mdb</tt>, crearla con la orden "
                           "<tt>vadrel-db install-help CARPETA</tt> o instalar Vadrel de "
                           "nuevo.</p>")
                .arg(looked));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(browser->startPage);
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
        if (source.isLocalFile() && static_cast<HelpBrowser *>(WebBrowser)
                                        ->inFolder(QDir::cleanPath(target.toLocalFile()))) {
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
