// The plan screen's rules: which rows have a similar name of another artist, and what a
// plan holds.

#include "ui/planview.h"

#include <gtest/gtest.h>

using namespace plumtide;

TEST(PlanScreen, MarksSimilarRowsWhoseFolderIsAnotherArtist)
{
    const std::vector<TFolderRow> folders {
        { QStringLiteral("/lib/Pink"), QStringLiteral("Pink") },
        { QStringLiteral("/lib/Rock/Queen"), QStringLiteral("Rock/Queen") },
        { QStringLiteral("/lib/The Beatles"), QStringLiteral("The Beatles") },
        { QStringLiteral("/lib/Pink Floyd"), QStringLiteral("Pink Floyd") },
    };
    const std::vector<TSourceRow> files {
        { QStringLiteral("/in/Pink Floyd - Money.mp3"), {}, {}, {} }, // artist of the name
        { QStringLiteral("/in/a.mp3"), {}, {}, QStringLiteral("Queen feat. David Bowie") },
        { QStringLiteral("/in/b.mp3"), {}, {}, QStringLiteral("Beatles, The") },
        { QStringLiteral("/in/c.mp3"), {}, {}, {} }, // no artist at all
    };
    TOtherArtistMarker marker(files, folders);
    const struct {
        qint32 file, folder;
        TMatchKind match;
        bool marked;
    } cases[] = {
        { 0, 0, TMatchKind::Similar, true },
        { 0, 3, TMatchKind::Similar, false },
        { 1, 1, TMatchKind::Similar, false }, // the folder's own name, a featured artist
        { 1, 0, TMatchKind::Similar, true },
        { 2, 2, TMatchKind::Similar, false },
        { 3, 0, TMatchKind::Similar, true },
        { 0, 0, TMatchKind::Assigned, false }, // the user chose it
        { 0, 0, TMatchKind::OneOff, false },
    };
    for (const auto& c : cases) {
        TPlanEntry entry { c.file, c.folder, 50, c.match, !c.marked };
        EXPECT_EQ(marker.mark(entry), c.marked) << c.file << " in " << c.folder;
        EXPECT_EQ(entry.otherArtist, c.marked);
    }
}

TEST(PlanScreen, CountsFilesRowsAndMarkedRows)
{
    std::vector<TPlanEntry> entries { { 0, 0, 80 }, { 0, 1, 40 }, { 2, 0, 90 }, { 5, 1, 50 } };
    entries[1].otherArtist = true;
    const TPlanCounts counts = CountPlan(entries, 2);
    EXPECT_EQ(counts.files, 3);
    EXPECT_EQ(counts.rows, 4);
    EXPECT_EQ(counts.newArtists, 2);
    EXPECT_EQ(counts.otherArtist, 1);
    EXPECT_EQ(PlanCountLines(counts).size(), 2);
    EXPECT_EQ(PlanCountLines(CountPlan(std::vector<TPlanEntry> {}, 0)).size(), 1);
}
