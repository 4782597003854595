#pragma once

#include "mainwin/Startup.h"
#include "support/Child.h"
#include "support/FakePlatform.h"
#include "support/TempCatalogue.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

class TDataModule2;

// The whole program started as at start-up, in a temporary catalogue folder as its working
// directory, with fake desktop seams.
class AppFixture : public ::testing::Test {
protected:
    // `arrange` may put rows into the catalogue before the program opens it. Starting again ends
    // the program started before.
    void start(bool withDatabase = true, bool sample = true,
               const std::function<void(TempCatalogue &)> &arrange = {});
    // The same, with the sample catalogue and its help pages in a sub-folder of the temporary
    // folder named by `name`'s bytes (a name that is no valid text, or a path of several
    // folders) as the working directory. Returns the folder's path as bytes.
    QByteArray startInFolderNamed(const QByteArray &name);
    void TearDown() override;
    TDataModule2 &data() { return app->dataModule(); }
    // The program's windows, as start-up made them.
    TForm1 *form1() { return &app->mainWindow(); }
    TForm2 *form2() { return app->windows().newCd; }
    TForm3 *form3() { return app->windows().modifyCd; }
    TForm4 *form4() { return app->windows().newProgram; }
    TForm5 *form5() { return app->windows().programDetails; }
    TForm6 *form6() { return app->windows().modifyProgram; }
    TForm7 *form7() { return app->windows().about; }
    TForm8 *form8() { return app->windows().exportList; }
    TForm9 *form9() { return app->windows().backup; }
    TForm10 *form10() { return app->windows().help; }
    TFormDisco *formDisco() { return app->windows().discCatalogue; }
    // Selects the folder in the backup window's tree by opening the nodes on the way to it, as
    // the user would.
    void selectBackupFolder(const QString &path);

    FakePlatform fake;
    TestEngine engine = TestEngine::File; // where `start` keeps the catalogue
    QString importer; // the converter of old Access catalogues; empty: beside the program
    std::unique_ptr<TempCatalogue> catalogue;
    std::unique_ptr<ScopedCwd> cwd;
    std::unique_ptr<Startup> app;

private:
    QByteArray byteFolder_; // removed by its bytes: Qt cannot name it
};
