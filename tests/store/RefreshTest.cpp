// Reopening a cursor after the program's own writes patches the copy it kept; after a write by
// another program it reads every row again. Either way the user must see exactly what a full
// read gives: rows, order, filter and current row.
#include "store/catalogue/Modulo.h"
#include "store/cursor/RowReader.h"
#include "store/cursor/TableCursor.h"
#include "store/engine/Connection.h"
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <QLocale>
#include <QSignalSpy>
#include <cctype>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {

using store::TableCursor;

// What a grid over the cursor shows, row by row, and which row is current.
struct Shown {
    std::vector<QStringList> rows;
    int current = -1;
    bool operator==(const Shown &other) const {
        return rows == other.rows && current == other.current;
    }
};

// As a grid sees it, without waiting for anything.
Shown looks(TableCursor &cursor) {
    Shown result;
    for (int r = 0; r < cursor.visibleCount(); ++r) {
        QStringList cells;
        for (int f = 0; f < cursor.fieldCount(); ++f)
            cells << cursor.displayText(r, f);
        result.rows.push_back(cells);
    }
    result.current = cursor.currentIndex();
    return result;
}

Shown shown(TableCursor &cursor) {
    cursor.RecordCount(); // waits for rows still being read
    return looks(cursor);
}

std::ostream &operator<<(std::ostream &out, const Shown &value) {
    out << "current " << value.current << ", " << value.rows.size() << " rows:";
    for (size_t r = 0; r < value.rows.size() && r < 12; ++r)
        out << "\n  " << value.rows[r].join(u'|').toStdString();
    return out;
}

const QStringList kOrders = {QStringLiteral("NombrePrograma"), QStringLiteral("DescripcionDisco"),
                             QStringLiteral("Anio"), QStringLiteral("Link"), QStringLiteral("")};

// The view as a fresh connection reads it, ordered and filtered like `like`.
Shown fullRead(const TempCatalogue &catalogue, TableCursor &like) {
    store::Connection connection;
    connection.setFile(catalogue.dbPath());
    connection.setConnected(true);
    TableCursor view(QStringLiteral("ProgDisc"));
    view.setConnection(&connection);
    view.setIndexFieldNames(like.IndexFieldNames());
    view.setFilter(like.Filter());
    view.setFiltered(like.Filtered());
    view.Open();
    return shown(view);
}

struct Case {
    const char *name;
    bool patched; // false: another program wrote, so every row is read again
    std::function<void(TDataModule2 &, TempCatalogue &)> write;
};

void renameProgram(TDataModule2 &module, qint64 number, const QString &name) {
    module.writingPrograms([&] {
        ASSERT_TRUE(module.TProgramas.FindRow(QStringLiteral("NroPrograma"), number, false));
        module.TProgramas.EditRow();
        module.TProgramas.FieldByName(QStringLiteral("NombrePrograma")).setAsString(name);
        module.TProgramas.PostRow();
    });
}

const Case kCases[] = {
    {"new program", true,
     [](TDataModule2 &m, TempCatalogue &) {
         m.writingPrograms([&] {
             m.TProgramas.InsertRow({QVariant(), 3, QStringLiteral("ábaco"), QStringLiteral("1"),
                                     QStringLiteral("Nueva"), QStringLiteral("Freeware"), 2001,
                                     QString(), QStringLiteral("uno\r\ndos")});
         });
     }},
    {"renamed to the front, with accents", true,
     [](TDataModule2 &m, TempCatalogue &) { renameProgram(m, 40, QStringLiteral("Ábaco")); }},
    {"renamed to tie another name but for case", true,
     [](TDataModule2 &m, TempCatalogue &c) {
         renameProgram(m, 70,
                       c.queryText("SELECT upper(NombrePrograma) FROM Programas "
                                   "WHERE NroPrograma = 5"));
     }},
    {"renamed to the empty text and back", true,
     [](TDataModule2 &m, TempCatalogue &) {
         renameProgram(m, 12, QStringLiteral(" "));
         renameProgram(m, 12, QStringLiteral("zzz último"));
     }},
    {"moved to another CD", true,
     [](TDataModule2 &m, TempCatalogue &) {
         m.writingPrograms([&] {
             ASSERT_TRUE(m.TProgramas.FindRow(QStringLiteral("NroPrograma"), 2, false));
             m.TProgramas.EditRow();
             m.TProgramas.FieldByName(QStringLiteral("NroDisco")).setAsString(QStringLiteral("9"));
             m.TProgramas.PostRow();
         });
     }},
    {"program deleted", true,
     [](TDataModule2 &m, TempCatalogue &) {
         m.writingPrograms([&] {
             ASSERT_TRUE(m.TProgramas.FindRow(QStringLiteral("NroPrograma"), 1, false));
             m.TProgramas.DeleteRow();
         });
     }},
    {"CD described anew", true,
     [](TDataModule2 &m, TempCatalogue &) {
         ASSERT_TRUE(m.TDiscos.FindRow(QStringLiteral("NroDisco"), 2, false));
         m.TDiscos.EditRow();
         m.TDiscos.FieldByName(QStringLiteral("DescripcionDisco"))
             .setAsString(QStringLiteral("Ásteroides"));
         m.TDiscos.PostRow();
     }},
    {"CD added, then an empty CD deleted", true,
     [](TDataModule2 &m, TempCatalogue &c) {
         m.TDiscos.InsertRow({99, QStringLiteral("Nuevo"), QString(), QString()});
         const qint64 empty = c.queryInt("SELECT NroDisco FROM Discos WHERE NroDisco NOT IN "
                                         "(SELECT NroDisco FROM Programas) AND NroDisco < 99");
         ASSERT_TRUE(m.TDiscos.FindRow(QStringLiteral("NroDisco"), empty, false));
         m.TDiscos.DeleteRow();
     }},
    {"another program wrote first", false,
     [](TDataModule2 &m, TempCatalogue &c) {
         c.exec("UPDATE Programas SET NombrePrograma = 'Otro' WHERE NroPrograma = 30");
         c.exec("DELETE FROM Programas WHERE NroPrograma = 31");
         renameProgram(m, 40, QStringLiteral("Ábaco"));
     }},
    {"a trigger of the file's own reached further", false,
     [](TDataModule2 &m, TempCatalogue &c) {
         c.exec("CREATE TRIGGER Eco AFTER UPDATE OF NombrePrograma ON Programas BEGIN "
                "UPDATE Programas SET Version = 'x' WHERE NroPrograma = 50; END");
         renameProgram(m, 40, QStringLiteral("Ábaco"));
     }},
};

} // namespace

class RefreshAfterWrites : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void TearDown() override { QLocale::setDefault(previous_); }

private:
    const QLocale previous_;
};

TEST_P(RefreshAfterWrites, ReopeningAfterWritesShowsWhatAFullReadShows) {
    const Case &test = GetParam();
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    module.DataModuleCreate();
    TableCursor &view = module.TProgDisc;
    for (const QString &order : kOrders) // every order computed, so each must be mended
        view.setIndexFieldNames(order);
    view.setIndexFieldNames(QStringLiteral("NombrePrograma"));
    const bool filtered = std::string(test.name).find("CD") != std::string::npos;
    if (filtered) {
        view.setFilter(QStringLiteral("NroDisco = '2'"));
        view.setFiltered(true);
    }

    test.write(module, catalogue);
    if (!std::string(test.name).starts_with("CD")) // CD writes refresh the view themselves
        ASSERT_EQ(view.lastOpeningPatched(), test.patched);
    else
        ASSERT_TRUE(view.lastOpeningPatched());
    for (const QString &order : kOrders) {
        SCOPED_TRACE(order.toStdString());
        view.setIndexFieldNames(order);
        view.GoFirst();
        EXPECT_EQ(shown(view), fullRead(catalogue, view));
    }
}

INSTANTIATE_TEST_SUITE_P(Writes, RefreshAfterWrites, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// What arrives from the background read is the catalogue as it stood when the module opened,
// even when another program writes before the rows are in; and it equals a plain opening.
TEST(Refresh, BackgroundReadShowsTheCatalogueAsAtOpening) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    module.DataModuleCreate();
    EXPECT_EQ(module.TProgDisc.fieldCount(), 9); // known before the rows arrive
    const Shown atOpening = fullRead(catalogue, module.TProgDisc);

    // The other program's write waits for the read lock, then lands. It leaves alone the
    // program this one renames next, which would otherwise be refused as changed elsewhere.
    catalogue.exec("UPDATE Programas SET NombrePrograma = 'Otro' WHERE NroPrograma <> 1");
    EXPECT_EQ(shown(module.TProgDisc), atOpening);
    EXPECT_EQ(module.TProgramas.RecordCount(), 84);
    EXPECT_NE(module.TProgramas.FieldByName(QStringLiteral("NombrePrograma")).AsString(),
              QStringLiteral("Otro"));

    // The next program write notices the other program and reads everything again.
    renameProgram(module, 1, QStringLiteral("Primero"));
    EXPECT_FALSE(module.TProgDisc.lastOpeningPatched());
    EXPECT_EQ(shown(module.TProgDisc), fullRead(catalogue, module.TProgDisc));
}

// The joined view shares the programs' texts and numbers; a change to the programs (an edit, a
// deletion, a new one) must still not show in the view until it is reopened.
TEST(Refresh, TheViewKeepsItsCopyWhileTheProgramsChange) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    module.DataModuleCreate();
    const Shown before = shown(module.TProgDisc);
    TableCursor &programas = module.TProgramas;
    ASSERT_TRUE(programas.FindRow(QStringLiteral("NroPrograma"), 3, false));
    programas.EditRow();
    programas.FieldByName(QStringLiteral("NombrePrograma"))
        .setAsString(QStringLiteral("Nuevo nombre"));
    programas.FieldByName(QStringLiteral("Link")).Clear();
    programas.FieldByName(QStringLiteral("Anio")).setAsString(QStringLiteral("1234"));
    programas.PostRow();
    ASSERT_TRUE(programas.FindRow(QStringLiteral("NroPrograma"), 1, false));
    programas.DeleteRow();
    programas.InsertRow({QVariant(), 2, QStringLiteral("Otro más"), QString(), QString(), QString(),
                         1999, QStringLiteral("http://x.example/"), QString()});
    EXPECT_EQ(shown(module.TProgDisc), before);

    module.TProgDisc.Close();
    module.TProgDisc.Open();
    EXPECT_TRUE(module.TProgDisc.lastOpeningPatched());
    EXPECT_EQ(shown(module.TProgDisc), fullRead(catalogue, module.TProgDisc));
}

// A CD saved is saved: when the joined view cannot be read again afterwards, that is reported on
// its own and the save goes on as usual.
TEST(Refresh, ACdSaveStandsWhenTheViewCannotBeReadAgain) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    TDataModule2 module;
    module.DataModuleCreate();
    module.TProgDisc.RecordCount();
    QSignalSpy reported(&module.DataProgDisc, &store::TDataSource::errorRaised);
    catalogue.exec("DROP VIEW ProgDisc");

    module.TDiscos.InsertRow({77, QStringLiteral("Nuevo"), QString(), QString()});
    EXPECT_EQ(catalogue.queryText("SELECT DescripcionDisco FROM Discos WHERE NroDisco = 77"),
              "Nuevo");
    EXPECT_EQ(reported.count(), 1);
    EXPECT_FALSE(module.TProgDisc.Active());
}

// A catalogue larger than the first rows a background read gives at once: a grid opened meanwhile
// shows them as the top of what every row gives, on a real row, and anything that needs every
// row (another order, a reopening) waits for the rest.
TEST(Refresh, TheFirstRowsShowWhileTheRestIsRead) {
    TempCatalogue catalogue(true);
    ScopedCwd cwd(catalogue.dir());
    // Spread over CDs against the numbers' order, so the view's first rows by CD differ from the
    // programs' first.
    catalogue.exec("INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma, Version) "
                   "WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n "
                   "WHERE i < 3999) SELECT i, d.NroDisco, 'Programa ' || i, '1.' || i FROM n "
                   "JOIN (SELECT NroDisco, row_number() OVER (ORDER BY NroDisco DESC) AS k "
                   "FROM Discos) d ON d.k = 1 + i % 5");
    const Shown allPrograms = [&] {
        store::Connection connection;
        connection.setFile(catalogue.dbPath());
        connection.setConnected(true);
        TableCursor programs(QStringLiteral("Programas"));
        programs.setConnection(&connection);
        programs.Open();
        return shown(programs);
    }();
    auto top = [](Shown all, int rows, int current) {
        all.rows.resize(size_t(rows));
        all.current = current;
        return all;
    };
    for (const bool reopen : {false, true}) {
        SCOPED_TRACE(reopen ? "closed and opened while only the first rows are in" : "waited");
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        TDataModule2 module;
        // Bounded, so a wrong wait for every row fails instead of hanging.
        module.Reads.setBetweenStages([released] { released.wait_for(std::chrono::seconds(20)); });
        module.DataModuleCreate();
        TableCursor &programs = module.TProgramas;
        TableCursor &view = module.TProgDisc;

        const QString name = programs.FieldByName(QStringLiteral("NombrePrograma")).AsString();
        ASSERT_TRUE(programs.showingFirstRows());
        EXPECT_EQ(name, allPrograms.rows[0][2]);
        programs.moveTo(1500);
        EXPECT_EQ(looks(programs), top(allPrograms, store::kFirstRows, 1500));
        EXPECT_EQ(module.Reads.reading().cursor, &programs);

        // As the queries page opens: by CD, no filter.
        view.setIndexFieldNames(QStringLiteral("NroDisco"));
        view.setFiltered(false);
        view.setFilter(QString());
        view.setFiltered(true);
        ASSERT_TRUE(view.showingFirstRows());
        view.moveTo(700);
        const Shown allView = fullRead(catalogue, view);
        EXPECT_EQ(looks(view), top(allView, store::kFirstRows, 700));

        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            release.set_value();
        });
        if (reopen) {
            programs.Close();
            programs.Open();
            EXPECT_EQ(looks(programs), top(allPrograms, int(allPrograms.rows.size()), 0));
        } else {
            view.setIndexFieldNames(QStringLiteral("NombrePrograma"));
            view.setIndexFieldNames(QStringLiteral("NroDisco"));
            EXPECT_EQ(looks(view), top(allView, int(allView.rows.size()), 700)); // still on it
            EXPECT_EQ(shown(programs), top(allPrograms, int(allPrograms.rows.size()), 1500));
        }
        releaser.join();
        EXPECT_FALSE(programs.showingFirstRows());
        EXPECT_EQ(module.Reads.reading().cursor, nullptr);
    }
}
