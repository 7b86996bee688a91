#include "core/matching/artistmatch.h"
#include "core/planning/planner.h"
#include "tests/support/plainplanner.h"
#include "tests/support/pumps.h"

#include <gtest/gtest.h>

#include <random>

using namespace plumtide;

namespace
{

const QString kDestination = QStringLiteral("/music");

std::vector<TFolderRow> folders(std::initializer_list<const char*> relativeNames)
{
    std::vector<TFolderRow> rows;
    for (const char* name : relativeNames)
        rows.push_back(
            { kDestination + QLatin1Char('/') + QString::fromUtf8(name), QString::fromUtf8(name) });
    return rows;
}

std::vector<TSourceRow> files(std::initializer_list<const char*> keys)
{
    std::vector<TSourceRow> rows;
    int n = 0;
    for (const char* key : keys)
        rows.push_back(
            { QStringLiteral("/in/%1.mp3").arg(++n), QString::fromUtf8(key), QString() });
    return rows;
}

TSortPlan plan(const std::vector<TSourceRow>& sources, const std::vector<TFolderRow>& destinations,
    int percentage)
{
    NullPump pump;
    return test::PlannedRows(sources, destinations, kDestination, percentage, pump);
}

void expectSamePlan(const TSortPlan& fast, const TSortPlan& plain, const std::string& context)
{
    ASSERT_EQ(fast.rows.size(), plain.rows.size()) << context;
    for (size_t i = 0; i < fast.rows.size(); ++i) {
        EXPECT_EQ(fast.rows[i].file, plain.rows[i].file) << context << " row " << i;
        EXPECT_EQ(fast.rows[i].folder, plain.rows[i].folder) << context << " row " << i;
        // Bit for bit: the score text shown to the user must not differ.
        EXPECT_EQ(FormatScore(fast.rows[i].score), FormatScore(plain.rows[i].score))
            << context << " row " << i;
    }
    EXPECT_EQ(fast.newArtists, plain.newArtists) << context;
}

} // namespace

TEST(PlanSort, CloseFolderNameGivesOneRowWithItsScore)
{
    const TSortPlan result
        = plan(files({ "METALLICA" }), folders({ "Metalica", "Pop/Madonna" }), 37);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].folder, QStringLiteral("/music/Metalica"));
    EXPECT_EQ(FormatScore(result.rows[0].score), QStringLiteral("61.25"));
    EXPECT_TRUE(result.newArtists.isEmpty());
}

// "QUEEN" beside "Rock/Queen" is the same artist however low it scores: never proposed as a
// new folder, and unfiled with that folder for the user to confirm.
TEST(PlanSort, TheSameArtistUnderAnotherSpellingIsNeverNew)
{
    std::vector<TSourceRow> sources = files({ "QUEEN", "BEATLES", "NIRVANA" });
    const char* artists[] = { "QUEEN", "THE BEATLES", "Nirvana" };
    for (size_t i = 0; i < sources.size(); ++i)
        sources[i].artist = QString::fromUtf8(artists[i]);
    const auto destinations = folders({ "Rock", "Rock/Queen", "Beatles, The" });
    NullPump pump;
    TSortPlanner planner(sources, destinations, kDestination, 90);
    EXPECT_EQ(planner.plan(pump, [](const std::vector<TPlanEntry>&) {}).newArtists,
        QStringList { QStringLiteral("NIRVANA") });
    const TUnfiledEntry queen = planner.unfiled(0);
    EXPECT_EQ(queen.reason, TUnfiledReason::SameArtist);
    EXPECT_EQ(queen.folders, std::vector<qint32> { 1 });
    EXPECT_EQ(planner.unfiled(1).folders, std::vector<qint32> { 2 });
    EXPECT_EQ(planner.unfiled(2).reason, TUnfiledReason::NoFolder);

    // Untagged files are read as "Artist - Title" only: careful matching's other readings of
    // a file name stay out of similar matching.
    std::vector<TSourceRow> untagged;
    for (const char* name : { "Queen - Bohemian Rhapsody.mp3", "Bohemian Rhapsody - Queen.mp3" })
        untagged.push_back(
            { QStringLiteral("/in/") + name, NormaliseArtist(QString::fromUtf8(name)), QString() });
    TSortPlanner byName(untagged, destinations, kDestination, 90);
    byName.plan(pump, [](const std::vector<TPlanEntry>&) {});
    EXPECT_EQ(byName.unfiled(0).reason, TUnfiledReason::SameArtist);
    EXPECT_EQ(byName.unfiled(1).reason, TUnfiledReason::NoFolder);
}

TEST(PlanSort, ShortKeysAreNeitherPlannedNorNew)
{
    for (const auto& destinations : { folders({ "U2", "REM" }), folders({}) }) {
        const TSortPlan result = plan(files({ "U2", "REM", "" }), destinations, 0);
        EXPECT_TRUE(result.rows.empty());
        EXPECT_TRUE(result.newArtists.isEmpty());
    }
}

// The move takes a file's first row, so the best folder must come first, not the first one
// that happens to qualify.
TEST(PlanSort, EveryQualifyingFolderBestFirstEqualScoresInFolderOrder)
{
    const struct {
        const char* key;
        std::vector<TFolderRow> folders;
        int percentage;
        std::vector<QString> expected;
    } cases[] = {
        { "RADIOHEAD", folders({ "Motörhead", "Radiohead" }), 37,
            { QStringLiteral("Radiohead"), QStringLiteral("Motörhead") } },
        { "RIHANNA", folders({ "Madonna", "Rihanna" }), 37,
            { QStringLiteral("Rihanna"), QStringLiteral("Madonna") } },
        { "ABBA", folders({ "70s/ABBA", "Abbax", "ABBA", "Abbas" }), 30,
            { QStringLiteral("ABBA"), QStringLiteral("Abbax"), QStringLiteral("Abbas") } },
    };
    for (const auto& c : cases) {
        const TSortPlan result = plan(files({ c.key }), c.folders, c.percentage);
        std::vector<QString> planned;
        for (const TPlanRow& row : result.rows)
            planned.push_back(row.folder.mid(kDestination.size() + 1));
        EXPECT_EQ(planned, c.expected) << c.key;
        expectSamePlan(result,
            test::PlainPlanSort(files({ c.key }), c.folders, kDestination, c.percentage), c.key);
    }
}

TEST(PlanSort, PercentageZeroPlansEveryLongKeyEverywhere)
{
    const TSortPlan result
        = plan(files({ "MADONNA", "U2", "ZZ TOP" }), folders({ "a", "b/c", "Queen" }), 0);
    EXPECT_EQ(result.rows.size(), 6u);
    EXPECT_TRUE(result.newArtists.isEmpty());
}

TEST(PlanSort, ScoreEqualToPercentageIsPlannedAndStillNew)
{
    ASSERT_EQ(ArtistSimilarity(QStringLiteral("ABCD"), QStringLiteral("ABCE")), 75.0);
    const TSortPlan result = plan(files({ "ABCD" }), folders({ "ABCE", "QQQQ" }), 75);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.newArtists, QStringList { QStringLiteral("ABCD") });
    // Every folder at or above the percentage: the new-artist test is never made.
    EXPECT_TRUE(plan(files({ "ABCD" }), folders({ "ABCE" }), 75).newArtists.isEmpty());
}

TEST(PlanSort, KeysFromBareFileNamesAreNewOnlyWithoutFolders)
{
    EXPECT_TRUE(plan(files({ "TRACK01.MP3" }), folders({ "Queen" }), 37).newArtists.isEmpty());
    EXPECT_EQ(plan(files({ "TRACK01.MP3" }), folders({}), 37).newArtists,
        QStringList { QStringLiteral("TRACK01.MP3") });
}

TEST(PlanSort, NewArtistsOnceEachIgnoringCaseInOrderFound)
{
    const TSortPlan result
        = plan(files({ "QUEEN", "ABBA", "Queen", "QUEEN" }), folders({ "Zappa" }), 37);
    EXPECT_EQ(result.newArtists, (QStringList { QStringLiteral("QUEEN"), QStringLiteral("ABBA") }));
    EXPECT_TRUE(plan({}, folders({ "Zappa" }), 37).rows.empty());
}

TEST(PlanSort, AbortKeepsTheRowsOfFilesAlreadyPlanned)
{
    AbortAfterPump pump(3); // stops before the fourth file
    const TSortPlan result = test::PlannedRows(
        files({ "ABBA", "U2", "ABBA", "ABBA" }), folders({ "ABBA" }), kDestination, 37, pump);
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.rows.size(), 2u); // a short key is passed over without pumping
}

// The fast planner against the plain loops on generated collections: same rows, same
// order, same score texts, same new artists, at several percentages.
TEST(PlanSort, EqualsThePlainLoopsOnGeneratedCollections)
{
    std::mt19937 random(20261207);
    const QString alphabet = QStringLiteral("ABCDE abcde&-/.(");
    const auto name = [&](int minLength, int maxLength) {
        QString text;
        const int length = std::uniform_int_distribution<int>(minLength, maxLength)(random);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(
                std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(random));
        return text;
    };
    for (int round = 0; round < 4; ++round) {
        std::vector<TFolderRow> destinations;
        for (int i = 0; i < 300; ++i) {
            const QString relative = name(1, 14);
            destinations.push_back({ kDestination + QLatin1Char('/') + relative, relative });
        }
        // A listed name that differs from the path (a list made for another destination).
        if (round == 3)
            destinations[5].relativeName = QStringLiteral("ABCDE");
        std::vector<QString> keys;
        for (int i = 0; i < 120; ++i)
            keys.push_back(NormaliseArtist(name(0, 16)));
        std::vector<TSourceRow> sources;
        for (int i = 0; i < 400; ++i)
            sources.push_back(
                { QStringLiteral("/in/%1.mp3").arg(i), keys[size_t(i) % keys.size()], QString() });
        for (const int percentage : { 0, 20, 37, 50, 75, 100 }) {
            NullPump pump;
            expectSamePlan(test::PlannedRows(sources, destinations, kDestination, percentage, pump),
                test::PlainPlanSort(sources, destinations, kDestination, percentage),
                "round " + std::to_string(round) + " at " + std::to_string(percentage));
        }
    }
}
