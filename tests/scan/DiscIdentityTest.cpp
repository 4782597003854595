// What tells one read disc from another (the CDs of a set share a label and a date), and which
// dates a disc tells: a copied folder's or a zeroed image's are none.
#include "../tools/RunTool.h"
#include "DiscImages.h"
#include "store/catalogue/DiscRecord.h"
#include "store/engine/Connection.h"
#include "store/engine/Engine.h"
#include "support/TempCatalogue.h"
#include "vadrel-db/scan/DiscSource.h"
#include "vadrel-db/scan/Proposer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One disc of a set: the same label and volume date, files of its own.
QByteArray setDisc(DiscImages &disc, const QByteArray &name, const QByteArray &program) {
    disc.put(program + "/SETUP.EXE", QByteArray(3000 + program.size(), 'x'));
    DiscImages::Options options;
    options.volumeId = QStringLiteral("ENCICLOPEDIA");
    options.created = QDateTime(QDate(2001, 5, 2), QTime(10, 0), Qt::UTC);
    return disc.makeImage(name, options);
}

TEST(DiscIdentity, AddDiscStoresEachDiscOfASetOnceOnly) {
    DiscImages one, two;
    const QByteArray images[] = {setDisc(one, "cd1.iso", "ATLAS"),
                                 setDisc(two, "cd2.iso", "MAPAS")};
    ASSERT_FALSE(images[0].isEmpty() || images[1].isEmpty());
    const struct {
        const char *name;
        std::vector<int> discs;
        bool storedBefore; // a CD of that label and date, stored without what tells it apart
        qint64 cds;        // the CDs the catalogue ends with
        int skipped;
    } cases[] = {
        {"the two discs of a set", {0, 1}, false, 2, 0},
        {"the same disc twice", {0, 1, 0, 1}, false, 2, 2},
        {"a CD stored before its listing was kept", {0}, true, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempCatalogue catalogue;
        if (c.storedBefore)
            catalogue.exec(QStringLiteral(
                "INSERT INTO Discos VALUES (1, 'ENCICLOPEDIA', '2001-05-02', NULL)"));
        std::vector<QByteArray> arguments{"add-disc", QFile::encodeName(catalogue.dir())};
        for (const int disc : c.discs)
            arguments.push_back(images[disc]);
        const ToolRun run = runTool(VADREL_DB, arguments);
        EXPECT_EQ(run.status, 0) << run.err.constData();
        EXPECT_EQ(catalogue.queryInt(QStringLiteral("SELECT count(*) FROM Discos")), c.cds);
        EXPECT_EQ(run.out.count("Skipped"), c.skipped) << run.out.constData();
    }
}

class CarriedPrints : public ::testing::TestWithParam<TestEngine> {};

TEST_P(CarriedPrints, CopyCarriesThemAndDeletingTheCdDropsThem) {
    SKIP_WITHOUT_SERVER(GetParam());
    TempCatalogue from(false, true, GetParam());
    store::Connection connection;
    from.point(connection);
    connection.setConnected(true);
    const disc::ProposedCd cd{QStringLiteral("Juegos"), QDate(2003, 1, 1), {}, 650, "abc"};
    const qint64 number = store::storeDisc(connection, {}, cd, {}).cd;
    connection.setConnected(false);

    QTemporaryDir to;
    const QByteArray source =
        GetParam() == TestEngine::Server ? from.address() : QFile::encodeName(from.dir());
    const QByteArray target = QFile::encodeName(to.path());
    const ToolRun run = runTool(VADREL_DB, {"copy", source, target});
    ASSERT_EQ(run.status, 0) << run.err.constData();

    store::Connection copy;
    copy.setFile(store::FilePath(target + "/db.mdb", QFile::decodeName(target + "/db.mdb")));
    copy.setConnected(true);
    EXPECT_EQ(store::catalogedDisc(copy, cd), number);
    const store::engine::DbHandle reopened =
        store::engine::open(target + "/db.mdb", QFile::decodeName(target), false);
    reopened->exec("DELETE FROM Discos");
    EXPECT_EQ(store::engine::queryNumber(reopened.get(), "SELECT count(*) FROM HuellasDisco"), 0);
}

VADREL_ON_BOTH_ENGINES(CarriedPrints);

// A disc made in the test: files with the given times, a volume with the given date.
class TimedDisc : public disc::DiscSource {
public:
    TimedDisc(const QDateTime &created, const std::vector<QDateTime> &times) {
        volume_.created = created;
        for (size_t i = 0; i < times.size(); ++i) {
            const QByteArray folder = "P" + QByteArray::number(qulonglong(i));
            files_.push_back({folder, QString::fromLatin1(folder), 0, {}, true});
            files_.push_back(
                {folder + "/A.EXE", QString::fromLatin1(folder + "/A.EXE"), 10, times[i], false});
        }
    }
    QString sourceName() const override { return QStringLiteral("copia"); }
    disc::Volume volume() const override { return volume_; }
    const std::vector<disc::DiscFile> &files() const override { return files_; }
    QByteArray readAt(const disc::DiscFile &, qint64, qint64) const override {
        return "no es un programa";
    }

private:
    disc::Volume volume_;
    std::vector<disc::DiscFile> files_;
};

TEST(DiscDates, OnlyTimesThatTellSomethingDateTheDisc) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime epoch = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    const QDateTime in2002(QDate(2002, 6, 1), QTime(9, 0), Qt::UTC);
    const QDateTime in2003(QDate(2003, 11, 20), QTime(9, 0), Qt::UTC);
    const struct {
        const char *name;
        QDateTime created;
        std::vector<QDateTime> times;
        QDate date;              // invalid: unknown
        std::optional<int> year; // of the first program
    } cases[] = {
        {"a copied folder", {}, {now, now, now}, {}, {}},
        {"a zeroed image", epoch, {epoch, epoch}, {}, {}},
        {"one file at the epoch", {}, {in2002, epoch, in2003}, {}, {}},
        {"one file yet to come", {}, {in2002, now.addYears(2), in2003}, {}, {}},
        {"one file alone", {}, {in2003}, {}, {}},
        {"a copy past midnight", {}, {in2003.addSecs(53000), in2003.addSecs(54000)}, {}, {}},
        {"files of several dates", {}, {in2002, in2003}, QDate(2003, 11, 20), 2002},
        {"a zeroed volume, files that tell", epoch, {in2002, in2003}, QDate(2003, 11, 20), 2002},
        {"an image's date, copied files", in2002, {now, now}, QDate(2002, 6, 1), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const disc::Proposal proposal = disc::propose(TimedDisc(c.created, c.times));
        EXPECT_EQ(proposal.cd.date, c.date);
        EXPECT_EQ(proposal.cd.comment.contains(disc::unknownDate()), !c.date.isValid());
        ASSERT_FALSE(proposal.programs.empty());
        EXPECT_EQ(proposal.programs.front().year, c.year);
    }
}

} // namespace
