// Plans 10,000 files against 20,000 folders at 37 % with the planner, beside two plain
// loops in the same run: the plain loops of the tests (every pair scored on the strings, on
// a sample of the files, scaled up, since they take minutes), which the planner's plan must
// equal on the sample, and a packed plain loop that scores every pair of prepared names
// stored side by side (the floor of scoring every pair). Prints the times, the cost per
// scored pair of each, and their ratios.
//
//     bench_plan [files=10000] [folders=20000] [percentage=37]
//
// Targets: planning no slower than the packed loop over all pairs, its cost per scored pair
// within 2 x the packed loop's, and the same plan as the plain loops.

#include "bench/library.h"
#include "core/matching/artistmatch.h"
#include "core/matching/similaritykernel.h"
#include "core/planning/planner.h"
#include "tests/support/plainplanner.h"
#include "tests/support/pumps.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

using namespace plumtide;

namespace
{

const char* const kGenres[] = { "Pop/", "Rock/", "Jazz/", "Electronic/", "", "", "" };

} // namespace

// Prepared names packed into one array.
struct Packed {
    std::vector<char16_t> units;
    std::vector<std::pair<qsizetype, qsizetype>> spans; // offset, length

    void add(const QString& name)
    {
        const PreparedName prepared(name);
        spans.emplace_back(qsizetype(units.size()), prepared.units().size());
        units.insert(units.end(), prepared.units().utf16(),
            prepared.units().utf16() + prepared.units().size());
    }
};

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int percentage = argc > 3 ? std::atoi(argv[3]) : 37;
    const int sampleCount = std::min(fileCount, 200);
    const QString destination = QStringLiteral("/music");

    QRandomGenerator random(7);
    std::vector<TFolderRow> folders;
    for (int i = 0; i < folderCount; ++i) {
        const QString relative
            = QString::fromLatin1(kGenres[random.bounded(int(std::size(kGenres)))])
            + bench::RandomArtistName(random) + QStringLiteral(" %1").arg(i % 97);
        folders.push_back({ destination + QLatin1Char('/') + relative, relative });
    }
    // Songs come by the album: about 3,000 artists for 10,000 files.
    std::vector<QString> artists;
    for (int i = 0; i < std::max(1, fileCount * 3 / 10); ++i)
        artists.push_back(NormaliseArtist(bench::RandomArtistName(random)));
    std::vector<TSourceRow> files;
    for (int i = 0; i < fileCount; ++i)
        files.push_back({ QStringLiteral("/in/%1.mp3").arg(i),
            artists[random.bounded(int(artists.size()))], QString() });
    const std::vector<TSourceRow> sample(files.begin(), files.begin() + sampleCount);

    NullPump pump;
    QElapsedTimer timer;

    // Planning alone: rows by number, as the window keeps them and the CLI writes them.
    timer.start();
    size_t entries = 0;
    TSortPlan numbered;
    {
        TSortPlanner planner(files, folders, destination, percentage);
        numbered = planner.plan(
            pump, [&](const std::vector<TPlanEntry>& rows) { entries += rows.size(); });
    }
    const double plannerSeconds = timer.nsecsElapsed() / 1e9;

    // The same with every row made as a TPlanRow of two paths.
    timer.restart();
    const TSortPlan fast = test::PlannedRows(files, folders, destination, percentage, pump);
    const double rowsSeconds = timer.nsecsElapsed() / 1e9;

    // The packed plain loop: every file's key against every folder's name.
    Packed keys;
    for (const TSourceRow& file : files)
        keys.add(file.key);
    Packed names;
    for (const TFolderRow& folder : folders)
        names.add(PlanningName(destination, folder.path));
    timer.restart();
    size_t packedRows = 0;
    for (const auto& [keyAt, keyLength] : keys.spans) {
        if (keyLength < MinimumPlannedKeyLength)
            continue;
        const char16_t* a = keys.units.data() + keyAt;
        for (const auto& [nameAt, nameLength] : names.spans) {
            const qsizetype shorter = std::min(keyLength, nameLength);
            packedRows
                += ReachesThreshold(kernel::twentieths(a, names.units.data() + nameAt, shorter),
                    shorter, std::max(keyLength, nameLength) - shorter, percentage);
        }
    }
    const double packedSeconds = timer.nsecsElapsed() / 1e9;
    double packedPairs = 0;
    for (const TSourceRow& file : files)
        packedPairs += file.key.size() >= MinimumPlannedKeyLength ? folderCount : 0;

    // The pairs the planner scores: each distinct key against the folders whose length can
    // reach the percentage.
    double plannerPairs = 0;
    std::set<QString> distinct;
    for (const TSourceRow& file : files) {
        if (file.key.size() < MinimumPlannedKeyLength || !distinct.insert(file.key).second)
            continue;
        const qsizetype keyLength = PreparedName(file.key).units().size();
        for (const auto& span : names.spans)
            plannerPairs += SimilarityUpperBound(keyLength, span.second) >= percentage;
    }

    timer.restart();
    const TSortPlan plainSample = test::PlainPlanSort(sample, folders, destination, percentage);
    const double plainSampleSeconds = timer.nsecsElapsed() / 1e9;
    const double plainSeconds = plainSampleSeconds * fileCount / sampleCount;

    const TSortPlan fastSample = test::PlannedRows(sample, folders, destination, percentage, pump);
    bool same = fastSample.rows.size() == plainSample.rows.size()
        && fastSample.newArtists == plainSample.newArtists;
    for (size_t i = 0; same && i < fastSample.rows.size(); ++i)
        same = fastSample.rows[i].file == plainSample.rows[i].file
            && fastSample.rows[i].folder == plainSample.rows[i].folder
            && fastSample.rows[i].score == plainSample.rows[i].score;
    same = same && entries == fast.rows.size() && packedRows == fast.rows.size()
        && numbered.newArtists == fast.newArtists;

    std::printf("files %d, folders %d, percentage %d: plan rows %zu, new artists %lld\n", fileCount,
        folderCount, percentage, fast.rows.size(), static_cast<long long>(fast.newArtists.size()));
    std::printf("planner (rows by number): %8.3f s  %.0f pairs scored, %6.2f ns per pair\n",
        plannerSeconds, plannerPairs, plannerSeconds * 1e9 / plannerPairs);
    std::printf("planner (rows of paths):  %8.3f s\n", rowsSeconds);
    std::printf("packed plain loop:        %8.3f s  %.0f pairs scored, %6.2f ns per pair\n",
        packedSeconds, packedPairs, packedSeconds * 1e9 / packedPairs);
    std::printf("plain loops:              %8.3f s  (measured on %d files, scaled)\n", plainSeconds,
        sampleCount);
    std::printf("planner time / packed loop time: %.2f x (target at most 1)\n",
        plannerSeconds / packedSeconds);
    std::printf("planner cost per scored pair / packed loop's: %.2f x (target at most 2)\n",
        (plannerSeconds / plannerPairs) / (packedSeconds / packedPairs));
    std::printf("same plan as the plain loops on the sample, and as the packed loop in rows: "
                "%s\n",
        same ? "yes" : "NO");
    return same ? 0 : 1;
}
