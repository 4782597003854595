#include "mainwin/Startup.h"

#include "editors/ACd.h"
#include "editors/AProg.h"
#include "editors/CatalogarDisco.h"
#include "editors/MCD.h"
#include "editors/MProg.h"
#include "editors/verdatos.h"
#include "mainwin/AccessOffer.h"
#include "mainwin/ErrorMessages.h"
#include "mainwin/RecentCatalogues.h"
#include "mainwin/RowsWait.h"
#include "mainwin/cds_.h"
#include "platform/Application.h"
#include "platform/Guard.h"
#include "store/catalogue/Modulo.h"
#include "store/engine/DatabaseError.h"
#include "utilities/Acerca.h"
#include "utilities/ayuda.h"
#include "utilities/backup.h"
#include "utilities/exportar.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Startup::Startup(platform::Services services, const QString &importer, bool openCatalogue,
                 const QByteArray &server)
    : services_(services)
    , converter_(importer.isEmpty()
                     ? QCoreApplication::applicationDirPath() + QStringLiteral("/vadrel-db")
                     : importer) {
    module_ = std::make_unique<TDataModule2>();
    // Before the main window, whose status bar names the catalogue.
    if (!server.isEmpty())
        module_->useServer(server, [this](const QString &where, QString &password) {
            return services_.dialogs.askPassword(form1_.get(), where, password);
        });
    const QByteArray scanner =
        importer.isEmpty() ? platform::programFolder() + "/vadrel-db" : QFile::encodeName(importer);
    form1_ = std::make_unique<TForm1>(
        services, *module_, [this, scanner](TForm1 &main) { return makeWindows(main, scanner); });
    // Dates read and written as text use the format the windows show.
    module_->ADOConnection.setDateFormat(services.clock.shortDateFormat());
    module_->Reads.setWaitObserver([wait = std::make_shared<RowsWait>(form1_.get())](
                                       store::CursorSession::Wait step) { (*wait)(step); });
    if (openCatalogue)
        openHere();
    form1_->showCatalogueState(openCatalogue);
    form1_->startOnRememberedPage();
    QObject::connect(form1_.get(), &TForm1::catalogueChosen, form1_.get(),
                     [this](const QByteArray &folder) { switchTo(folder); });
}

SecondaryWindows Startup::makeWindows(TForm1 &main, const QByteArray &scanner) {
    // Hidden; the main window owns them.
    TDataModule2 &data = *module_;
    windows_.newCd = new TForm2(services_, data.TDiscos, data, &main);
    windows_.modifyCd = new TForm3(services_, data.DataDiscos, &main);
    windows_.newProgram = new TForm4(services_, data.TDiscos, data.TProgramas, data, main, &main);
    windows_.programDetails = new TForm5(data.DataProgDisc, &main);
    windows_.modifyProgram = new TForm6(services_, data.DataProg, data.TDiscos, data, main, &main);
    windows_.about = new TForm7(services_, &main);
    windows_.exportList = new TForm8(services_, data.TProgDisc, &main);
    windows_.backup = new TForm9(services_, data, &main);
    windows_.help = new TForm10(services_, &main);
    windows_.discCatalogue =
        new TFormDisco(services_, data.ADOConnection, data.TDiscos, data, scanner, &main);
    return windows_;
}

void Startup::openHere() {
    // Declined or failed, the program runs on as without a catalogue.
    if (module_->onServer() || offerAccessConversion(form1_.get(), services_, converter_))
        platform::guarded(module_.get(), [this] { module_->DataModuleCreate(); });
    if (module_->TDiscos.Active() && !module_->onServer())
        recent::opened(services_.preferences, TDataModule2::RutaBytes());
}

void Startup::switchTo(const QByteArray &folder) {
    // The open catalogue is closed as "Salir" closes it, then the chosen one is opened as at
    // start-up.
    platform::guarded(form1_.get(), [this] { form1_->FormClose(); });
    const bool entered = ::chdir(folder.constData()) == 0;
    module_->useServer({}, {}); // a folder's catalogue from here on
    if (entered)
        openHere();
    else
        services_.dialogs.error(
            form1_.get(),
            errorMessage(std::make_exception_ptr(store::DatabaseError(
                store::DatabaseError::Kind::Io, QString::fromLocal8Bit(std::strerror(errno)),
                QFile::decodeName(folder + "/db.mdb"), store::DatabaseError::Cause::FileMissing))));
    form1_->FormCreate();
    form1_->showCatalogueState(entered);
    // An open help window shows the new catalogue's pages.
    if (windows_.help && windows_.help->isVisible())
        windows_.help->FormActivate();
}

Startup::~Startup() {
    // Windows go before the data module they are bound to.
    form1_.reset();
    windows_ = {};
    module_.reset();
}
