// "Catalogar un disco" driven as a user does, reading the disc fixture with the real reader.
#include "editors/CatalogarDisco.h"
#include "mainwin/cds_.h"
#include "store/catalogue/Modulo.h"
#include "support/AppFixture.h"
#include "support/Fixture.h"

#include <QAccessible>
#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <map>

namespace {

const QByteArray kImage = VADREL_DISC_FIXTURES "/revista-marzo-2004.iso";

class DiscWindowTest : public AppFixture {
protected:
    void SetUp() override {
        SKIP_OR_FAIL_WITHOUT_FIXTURE(QFile::exists(QFile::decodeName(kImage)), kImage);
        if (importer.isEmpty())
            importer = QStringLiteral(VADREL_DB);
        fake.discs.image = kImage;
        start();
    }
    // Runs the menu command `text`, and `inside` in the modal window it opens.
    void run(const QString &text, const std::function<void(QDialog *)> &inside) {
        fake.modal.inside = inside;
        QAction *command = nullptr;
        for (QAction *action : form1()->menuBar()->findChildren<QAction *>())
            if (QString(action->text()).remove(u'&') == text) // without the Alt letter's mark
                command = action;
        ASSERT_NE(command, nullptr) << text.toStdString();
        command->trigger();
        fake.modal.inside = nullptr;
    }
    // Opens the window from "Archivo" > "Catalogar un disco ...", reads the image and runs
    // `inside` on the proposal.
    void readImage(const std::function<void()> &inside) {
        run(QStringLiteral("Catalogar un disco ..."), [&](QDialog *) {
            child<QToolButton>(formDisco(), "BotonImagen")->click();
            child<QToolButton>(formDisco(), "BotonLeer")->click();
            inside();
        });
    }
    int row(const QString &name) {
        for (int r = 0; r < child<QTableWidget>(formDisco(), "GridProgramas")->rowCount(); ++r)
            if (child<QTableWidget>(formDisco(), "GridProgramas")
                    ->item(r, TFormDisco::Name)
                    ->text() == name)
                return r;
        return -1;
    }
    qint64 count(const QString &sql) { return catalogue->queryInt(sql); }
};

TEST_F(DiscWindowTest, StoresTheCdWithExactlyTheCheckedPrograms) {
    const qint64 cds = count(QStringLiteral("SELECT count(*) FROM Discos"));
    const qint64 programs = count(QStringLiteral("SELECT count(*) FROM Programas"));
    readImage([&] {
        QTableWidget *grid = child<QTableWidget>(formDisco(), "GridProgramas");
        ASSERT_EQ(grid->rowCount(), 6);
        EXPECT_EQ(child<QLineEdit>(formDisco(), "EditNumero")->text(), QString::number(cds + 1));
        EXPECT_EQ(child<QLineEdit>(formDisco(), "EditDescripcion")->text(),
                  QStringLiteral("Revista Marzo 2004"));
        EXPECT_EQ(grid->item(row(QStringLiteral("Menú Revista")), TFormDisco::Name)->checkState(),
                  Qt::Unchecked);
        // The user leaves a game out and corrects a version.
        grid->item(row(QStringLiteral("Ajedrez")), TFormDisco::Name)->setCheckState(Qt::Unchecked);
        grid->item(row(QStringLiteral("CompresorX")), TFormDisco::Version)->setText("8.1a");
        child<QToolButton>(formDisco(), "BotonGuardar")->click();
    });
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Discos")), cds + 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Programas")), programs + 4);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Programas WHERE NroDisco = %1 AND "
                                   "(NombrePrograma = 'Ajedrez' OR NombrePrograma LIKE 'Men%' OR "
                                   "(NombrePrograma = 'CompresorX' AND Version = '8.1a' AND "
                                   "Licencia = 'Trial' AND Anio = 2003))")
                        .arg(cds + 1)),
              1);
    // The views show them at once, the CDs page on the new CD.
    EXPECT_EQ(data().TProgramas.RecordCount(), programs + 4);
    EXPECT_EQ(data().TDiscos.FieldByName(QStringLiteral("NroDisco")).AsInteger(), cds + 1);

    // The same disc again: asked first; "No" proposes nothing and stores nothing.
    fake.dialogs.boxes.clear();
    readImage([&] {
        EXPECT_EQ(child<QTableWidget>(formDisco(), "GridProgramas")->rowCount(), 0);
        EXPECT_FALSE(child<QToolButton>(formDisco(), "BotonGuardar")->isEnabled());
    });
    ASSERT_FALSE(fake.dialogs.boxes.empty());
    EXPECT_EQ(fake.dialogs.boxes.front().text,
              QStringLiteral(" Este disco parece estar ya en el catálogo como el CD %1. ¿Desea "
                             "catalogarlo de nuevo? ")
                  .arg(cds + 1));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Discos")), cds + 1);
}

// A screen reader finds every input by its label, and the keyboard reaches every command.
TEST_F(DiscWindowTest, EveryInputIsLabelledAndEveryCommandReachable) {
    readImage([&] {
        const std::pair<QWidget *, const char *> inputs[] = {
            {child<QListWidget>(formDisco(), "ListaDiscos"), "Disco :"},
            {child<QLineEdit>(formDisco(), "EditNumero"), "Nro. CD :"},
            {child<QLineEdit>(formDisco(), "EditDescripcion"), "Descripción :"},
            {child<QDateEdit>(formDisco(), "FechaDisco"), "Fecha :"},
            {child<QPlainTextEdit>(formDisco(), "MemoComentario"), "Comentario :"},
            {child<QTableWidget>(formDisco(), "GridProgramas"), "Programas propuestos :"}};
        for (const auto &[input, label] : inputs) {
            // Boxes by their label; lists and grids, which Qt relates to none, by their name.
            QAccessibleInterface *named = QAccessible::queryAccessibleInterface(input);
            const auto labels = named->relations(QAccessible::Label);
            const QString said = labels.isEmpty() ? named->text(QAccessible::Name) + " :"
                                                  : labels[0].first->text(QAccessible::Name);
            EXPECT_EQ(said.toStdString(), label);
        }
        for (QToolButton *button : formDisco()->findChildren<QToolButton *>())
            EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << button->text().toStdString();
        // The check box of a row says whether it is checked.
        QAccessibleInterface *cell =
            QAccessible::queryAccessibleInterface(child<QTableWidget>(formDisco(), "GridProgramas"))
                ->tableInterface()
                ->cellAt(0, TFormDisco::Name);
        ASSERT_NE(cell, nullptr);
        EXPECT_TRUE(cell->state().checkable);
        EXPECT_FALSE(cell->state().checked); // the disc's menu, first, proposed unchecked
    });
}

TEST_F(DiscWindowTest, WritesNothingOnCancelOrOnATakenNumber) {
    const qint64 cds = count(QStringLiteral("SELECT count(*) FROM Discos"));
    readImage([&] { child<QToolButton>(formDisco(), "BotonCancelar")->click(); });
    readImage([&] {
        child<QLineEdit>(formDisco(), "EditNumero")->setText(QStringLiteral("1"));
        child<QToolButton>(formDisco(), "BotonGuardar")->click();
        // Told, with the next number proposed and the window still open.
        EXPECT_TRUE(formDisco()->isVisible());
        EXPECT_EQ(child<QLineEdit>(formDisco(), "EditNumero")->text(), QString::number(cds + 1));
    });
    ASSERT_FALSE(fake.dialogs.boxes.empty());
    EXPECT_TRUE(fake.dialogs.boxes.back().text.contains(QStringLiteral("El número 1 ya lo tiene")));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Discos")), cds);
}

// A reader slow on one file of the disc LENTO (the folder the user chooses): the progress window
// names it, and "Cancelar" ends the reading. Other discs are read as ever.
class SlowDiscTest : public DiscWindowTest {
protected:
    void SetUp() override {
        QFile reader(folder.path() + QStringLiteral("/lector"));
        ASSERT_TRUE(reader.open(QIODevice::WriteOnly));
        reader.write("#!/bin/sh\ncase \"$*\" in *LENTO*) echo 'reading JUEGOS/LENTO.EXE' >&2; "
                     "exec sleep 30;; esac\nexec '" VADREL_DB "' \"$@\"\n");
        reader.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        importer = reader.fileName();
        ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("LENTO")));
        fake.discs.folder = QFile::encodeName(folder.path()) + "/LENTO";
        DiscWindowTest::SetUp();
    }
    // Cancels the reading once the progress window shows.
    void cancelSoon() {
        QTimer::singleShot(1000, formDisco(), [this] {
            for (auto *progress : formDisco()->findChildren<QProgressDialog *>())
                if (progress->isVisible())
                    progress->cancel();
        });
    }
    QTemporaryDir folder;
};

TEST_F(SlowDiscTest, ShowsTheFileBeingReadAndCancels) {
    fake.discs.image = fake.discs.folder;
    QString shown;
    QTimer::singleShot(1500, formDisco(), [&] {
        for (auto *progress : formDisco()->findChildren<QProgressDialog *>())
            if (progress->isVisible()) {
                shown = progress->findChild<QLabel *>()->text();
                progress->findChild<QPushButton *>()->click();
            }
    });
    readImage([&] { EXPECT_EQ(child<QTableWidget>(formDisco(), "GridProgramas")->rowCount(), 0); });
    EXPECT_EQ(shown, QStringLiteral("Leyendo JUEGOS/LENTO.EXE"));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

// "GUARDAR" stores the proposal of the disc chosen in the list, never another's.
TEST_F(SlowDiscTest, SavesOnlyUnderTheDiscItWasReadFrom) {
    const qint64 cds = count(QStringLiteral("SELECT count(*) FROM Discos"));
    readImage([&] {
        QListWidgetItem *read = child<QListWidget>(formDisco(), "ListaDiscos")->currentItem();
        child<QToolButton>(formDisco(), "BotonCarpeta")->click(); // chosen, not read
        EXPECT_FALSE(child<QToolButton>(formDisco(), "BotonGuardar")->isEnabled());
        cancelSoon();
        child<QToolButton>(formDisco(), "BotonLeer")->click();
        // Back on the disc whose proposal is shown.
        EXPECT_EQ(child<QListWidget>(formDisco(), "ListaDiscos")->currentItem(), read);
        EXPECT_TRUE(child<QToolButton>(formDisco(), "BotonGuardar")->isEnabled());
        child<QToolButton>(formDisco(), "BotonGuardar")->click();
    });
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Discos WHERE NroDisco = %1 AND "
                                   "DescripcionDisco = 'Revista Marzo 2004'")
                        .arg(cds + 1)),
              1);
}

// A file that could not be read is proposed unchecked and marked, its comment readable whole.
TEST_F(DiscWindowTest, ProposesUnreadFilesUncheckedAndMarked) {
    QTemporaryDir disc;
    QFile damaged(disc.filePath(QStringLiteral("ROTO/DATOS.ZIP")));
    ASSERT_TRUE(QDir(disc.path()).mkdir(QStringLiteral("ROTO")) &&
                damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4000, 'Z')) > 0);
    damaged.close();
    fake.discs.image = QFile::encodeName(disc.path());
    readImage([&] {
        QTableWidget *grid = child<QTableWidget>(formDisco(), "GridProgramas");
        ASSERT_EQ(grid->rowCount(), 1);
        EXPECT_EQ(grid->item(0, TFormDisco::Name)->checkState(), Qt::Unchecked);
        EXPECT_FALSE(grid->item(0, TFormDisco::Name)->icon().isNull());
        EXPECT_EQ(grid->item(0, TFormDisco::Version)->toolTip(),
                  QStringLiteral("Archivo dañado o ilegible."));
        const QString comment = grid->item(0, TFormDisco::Comment)->text();
        EXPECT_EQ(comment,
                  QStringLiteral("Archivo dañado o ilegible.\nEn el disco: ROTO/DATOS.ZIP"));
        EXPECT_EQ(grid->item(0, TFormDisco::Comment)->toolTip(), comment);
        EXPECT_EQ(child<QPlainTextEdit>(formDisco(), "ComentarioPrograma")->toPlainText(), comment);
    });
}

// A licence no word on the disc names shows as a guess until the user chooses one.
TEST_F(DiscWindowTest, MarksAGuessedLicenceUntilTheUserChoosesOne) {
    readImage([&] {
        QTableWidget *grid = child<QTableWidget>(formDisco(), "GridProgramas");
        const auto guessed = [&](const char16_t *name) {
            QTableWidgetItem *licence =
                grid->item(row(QString::fromUtf16(name)), TFormDisco::Licence);
            return licence->font().italic() && licence->data(Qt::AccessibleDescriptionRole)
                                                   .toString()
                                                   .startsWith(QStringLiteral("Licencia supuesta"));
        };
        EXPECT_TRUE(guessed(u"Ajedrez"));
        EXPECT_FALSE(guessed(u"CompresorX")); // "evaluación de 30 días": Trial
        grid->model()->setData(
            grid->model()->index(row(QStringLiteral("Ajedrez")), TFormDisco::Licence),
            QStringLiteral("Shareware"));
        EXPECT_FALSE(guessed(u"Ajedrez"));
    });
}

// Our own windows resize, open at the size they were left at, even in the next run, and open
// over the main window wherever it is.
TEST_F(DiscWindowTest, OwnWindowsOpenOverTheMainWindowAtTheirKeptSize) {
    const std::pair<const char16_t *, const char *> windows[] = {
        {u"Catalogar un disco ...", "FormDisco"},
        {u"Estadísticas", "FormEstadisticas"},
        {u"Programas repetidos", "FormRepetidos"}};
    std::map<std::string, QSize> left;
    for (const auto &w : windows)
        run(QString::fromUtf16(w.first), [&](QWidget *window) {
            EXPECT_NE(window->minimumSize(), window->maximumSize()) << w.second;
            left[w.second] = window->minimumSizeHint().expandedTo(QSize(460, 360)) + QSize(17, 11);
            window->resize(left[w.second]);
        });
    start();
    form1()->move(20, 30);
    for (const auto &w : windows)
        run(QString::fromUtf16(w.first), [&](QWidget *window) {
            EXPECT_EQ(window->size(), left[w.second]) << w.second;
            QRect centred(QPoint(), window->frameGeometry().size());
            centred.moveCenter(form1()->frameGeometry().center());
            ASSERT_TRUE(form1()->screen()->availableGeometry().contains(centred)) << w.second;
            EXPECT_EQ(window->frameGeometry(), centred) << w.second;
        });
}

TEST_F(DiscWindowTest, SaysWhenTheDiscCannotBeRead) {
    fake.discs.image = QFile::encodeName(catalogue->dir()) + "/db.mdb";
    readImage([&] { EXPECT_EQ(child<QTableWidget>(formDisco(), "GridProgramas")->rowCount(), 0); });
    ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(fake.dialogs.boxes[0].text.startsWith(QStringLiteral(" No se pudo leer el disco")));
}

} // namespace
