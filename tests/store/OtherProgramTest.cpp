// Two programs on one catalogue: a modify or a delete applies only to the row as this program
// read it. The other program is a second connection writing with plain SQL.
#include "store/catalogue/Modulo.h"
#include "support/TempCatalogue.h"

#include "support/QtPrinters.h"
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using store::DatabaseError;
using Cause = DatabaseError::Cause;
using State = store::TableCursor::State;

namespace {

// The rows these tests act on, added before the program opens the file; each is its table's last.
void addOurRows(TempCatalogue &catalogue) {
    catalogue.exec("INSERT INTO Discos VALUES (100, 'Nuestro CD', '2003-03-15', 'nota')");
    catalogue.exec("INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma, Version) "
                   "VALUES (1000, 1, 'Nuestro programa', '1.0')");
}

struct Subject {
    const char *table;
    const char *key; // its last row's key field and value
    qint64 number;
    int edited;             // the field this program changes
    const char *otherField; // a field only the other program changes
    const char *reinsert;   // the other program's new row under the same number
    const char *everyField; // the whole row as text, to see it is untouched
};

const Subject kCds = {"Discos",
                      "NroDisco",
                      100,
                      1,
                      "Comentario",
                      "INSERT INTO Discos VALUES (100, 'de B', NULL, NULL)",
                      "coalesce(CAST(NroDisco AS TEXT), 'NULL')||'|'||"
                      "coalesce(DescripcionDisco, 'NULL')||'|'||coalesce(FechaDisco, 'NULL')||'|'||"
                      "coalesce(Comentario, 'NULL')"};
const Subject kPrograms = {"Programas",
                           "NroPrograma",
                           1000,
                           2,
                           "Version",
                           "INSERT INTO Programas (NroPrograma, NroDisco, NombrePrograma) VALUES "
                           "(1000, 2, 'de B')",
                           "coalesce(CAST(NroPrograma AS TEXT), 'NULL')||'|'||"
                           "coalesce(CAST(NroDisco AS TEXT), 'NULL')||'|'||NombrePrograma||'|'||"
                           "coalesce(Version, 'NULL')||'|'||coalesce(Comentario, 'NULL')"};

enum class Other { Nothing, OtherField, SameField, Deleted, Reused };

QString otherSql(const Subject &s, Other other) {
    const QString where = QStringLiteral(" WHERE %1 = %2").arg(s.key).arg(s.number);
    switch (other) {
    case Other::Nothing:
        return {};
    case Other::OtherField:
        return QStringLiteral("UPDATE %1 SET %2 = 'de B'").arg(s.table, s.otherField) + where;
    case Other::SameField:
        return QStringLiteral("UPDATE %1 SET %2 = 'de B'")
                   .arg(s.table, s.edited == 1 ? "DescripcionDisco" : "NombrePrograma") +
               where;
    case Other::Deleted:
        return QStringLiteral("DELETE FROM %1").arg(s.table) + where;
    case Other::Reused:
        return QStringLiteral("DELETE FROM %1").arg(s.table) + where + u';' + s.reinsert;
    }
    return {};
}

// On a catalogue file and on a server's catalogue.
class OtherProgramTest : public ::testing::TestWithParam<TestEngine> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SERVER(GetParam());
        catalogue = std::make_unique<TempCatalogue>(true, true, GetParam());
        cwd = std::make_unique<ScopedCwd>(catalogue->dir());
    }
    void open() {
        module = std::make_unique<TDataModule2>();
        catalogue->point(*module);
        module->DataModuleCreate();
    }
    // The program started afresh on our rows as they were first added.
    void restart() {
        module.reset();
        catalogue->exec(QStringLiteral("DELETE FROM Programas WHERE NroPrograma >= 1000; "
                                       "DELETE FROM Discos WHERE NroDisco >= 100"));
        addOurRows(*catalogue);
        open();
    }
    store::TableCursor &cursor(const Subject &s) {
        return QLatin1String(s.table) == QLatin1String("Discos") ? module->TDiscos
                                                                 : module->TProgramas;
    }
    QString row(const Subject &s) {
        return catalogue->queryText(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                                        .arg(s.everyField, s.table, s.key)
                                        .arg(s.number));
    }
    qint64 rows(const Subject &s) {
        return catalogue->queryInt(QStringLiteral("SELECT count(*) FROM %1").arg(s.table));
    }
    static std::optional<Cause> failure(const std::function<void()> &act) {
        try {
            act();
        } catch (const DatabaseError &error) {
            return error.cause();
        }
        return std::nullopt;
    }

    std::unique_ptr<TempCatalogue> catalogue;
    std::unique_ptr<ScopedCwd> cwd;
    std::unique_ptr<TDataModule2> module;
};

const struct {
    const char *what;
    Other other;
    std::optional<Cause> modify, remove; // nothing: it goes through
} kCases[] = {
    {"nobody else wrote", Other::Nothing, std::nullopt, std::nullopt},
    {"another field changed", Other::OtherField, Cause::ChangedElsewhere, Cause::ChangedElsewhere},
    {"the same field changed", Other::SameField, Cause::ChangedElsewhere, Cause::ChangedElsewhere},
    {"deleted", Other::Deleted, Cause::RowGone, Cause::ChangedElsewhere},
    {"deleted and its number reused", Other::Reused, Cause::ChangedElsewhere,
     Cause::ChangedElsewhere},
};

VADREL_ON_BOTH_ENGINES(OtherProgramTest);

} // namespace

TEST_P(OtherProgramTest, AModifyAppliesOnlyToTheRowAsThisProgramReadIt) {
    for (const Subject *s : {&kCds, &kPrograms}) {
        for (const auto &test : kCases) {
            SCOPED_TRACE(std::string(s->table) + ": " + test.what);
            restart();
            store::TableCursor &ours = cursor(*s);
            ours.GoLast();
            ours.EditRow();
            ours.Fields(s->edited).setAsString(QStringLiteral("Nuestro cambio"));
            if (test.other != Other::Nothing)
                catalogue->exec(otherSql(*s, test.other));
            const QString theirs = row(*s);

            EXPECT_EQ(failure([&] { ours.PostRow(); }), test.modify);
            if (!test.modify) {
                EXPECT_EQ(ours.Fields(s->edited).AsString(), "Nuestro cambio");
                continue;
            }
            EXPECT_EQ(row(*s), theirs); // nothing written
            // The rows were read again; where the row is still there the typing stays on it,
            // over what the other program left, and saving it again is the user's choice.
            const bool stillThere = !theirs.isEmpty();
            EXPECT_EQ(ours.RecordCount(), rows(*s));
            EXPECT_EQ(ours.state(), stillThere ? State::Edit : State::Browse);
            if (!stillThere) {
                EXPECT_FALSE(ours.FindRow(QLatin1String(s->key), s->number, false));
                continue;
            }
            EXPECT_EQ(ours.Fields(0).AsInteger(), s->number);
            EXPECT_EQ(ours.Fields(s->edited).AsString(), "Nuestro cambio");
            if (test.other == Other::OtherField) {
                EXPECT_EQ(ours.FieldByName(QLatin1String(s->otherField)).AsString(), "de B");
            }
            ours.PostRow();
            EXPECT_TRUE(row(*s).contains("Nuestro cambio"));
            if (test.other == Other::OtherField) {
                EXPECT_TRUE(row(*s).contains("de B")); // the other program's change stays
            }
        }
    }
}

TEST_P(OtherProgramTest, ADeleteRemovesOnlyTheRowAsThisProgramReadIt) {
    for (const Subject *s : {&kCds, &kPrograms}) {
        for (const auto &test : kCases) {
            SCOPED_TRACE(std::string(s->table) + ": " + test.what);
            restart();
            store::TableCursor &ours = cursor(*s);
            ours.GoLast();
            if (test.other != Other::Nothing)
                catalogue->exec(otherSql(*s, test.other));
            const QString theirs = row(*s);

            EXPECT_EQ(failure([&] { module->writingPrograms([&] { ours.DeleteRow(); }); }),
                      test.remove);
            EXPECT_EQ(row(*s), test.remove ? theirs : QString());
            EXPECT_EQ(ours.RecordCount(), rows(*s));
            // The joined view shows the other program's program.
            if (s == &kPrograms &&
                (test.other == Other::SameField || test.other == Other::Reused)) {
                EXPECT_TRUE(module->TProgDisc.FindRow("NombrePrograma", "de B", false));
            }
        }
    }
}

// What the cursor cannot read (a date stored in another form) reads the same every time: it is
// no sign of another program.
TEST_P(OtherProgramTest, AValueTheProgramCannotReadIsNoChange) {
    catalogue->exec("INSERT INTO Discos VALUES (101, 'Fecha rara', 'el martes', NULL)");
    open();
    store::TableCursor &discos = module->TDiscos;
    discos.GoLast();
    discos.EditRow();
    discos.Fields(1).setAsString(QStringLiteral("Fecha rara, revisada"));
    discos.PostRow();
    EXPECT_EQ(catalogue->queryText("SELECT DescripcionDisco || '|' || FechaDisco FROM Discos "
                                   "WHERE NroDisco = 101"),
              "Fecha rara, revisada|el martes");
    discos.DeleteRow();
    EXPECT_EQ(catalogue->queryInt("SELECT count(*) FROM Discos WHERE NroDisco = 101"), 0);
}
