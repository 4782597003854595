#include "Startup.h"

#include "Guard.h"
#include "Modulo.h"
#include "cds_.h"

Startup::Startup(platform::Services services) {
    form1_ = std::make_unique<TForm1>(services);
    Form1 = form1_.get();
    module_ = std::make_unique<TDataModule2>();
    DataModule2 = module_.get();
    form1_->bindData(*module_);
    guarded(module_.get(), [this] { module_->DataModuleCreate(); });
    form1_->enableCommands();
}

Startup::~Startup() {
    // Windows go before the data module they are bound to.
    form1_.reset();
    Form1 = nullptr;
    module_.reset();
    DataModule2 = nullptr;
}
