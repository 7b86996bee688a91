// Plans 10,000 files against 20,000 folders with the planner and with the plain loops (on a
// sample of the files, scaled up, since the plain loops take minutes), checks that both
// give the same plan on the sample, and prints times, scores per second and their ratio.
//
//     bench_plan [files] [folders]

#include "core/artistmatch.h"
#include "core/planner.h"
#include "tests/support/plainplanner.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

using namespace plumtide;

namespace
{

const char* const kWords[] = { "the", "Black", "Madonna", "Pink", "Floyd", "Rolling", "Stones",
    "Daft", "Punk", "Metallica", "Queen", "Sabbath", "Beatles", "Abba", "Orchestra", "Boys", "Jay",
    "Massive", "Attack", "de", "Los", "Velvet", "Underground", "Radiohead", "Cure", "Smiths",
    "Sonic", "Youth", "Kraftwerk", "Blondie", "Prince", "Bowie" };
const char* const kGenres[] = { "Pop/", "Rock/", "Jazz/", "Electronic/", "", "", "" };

QString artistName(QRandomGenerator& random)
{
    const int words = 1 + int(random.bounded(3));
    QStringList parts;
    for (int i = 0; i < words; ++i)
        parts << QString::fromLatin1(kWords[random.bounded(int(std::size(kWords)))]);
    if (random.bounded(4) == 0)
        parts << QString::number(random.bounded(100));
    return parts.join(QLatin1Char(' ')).left(30);
}

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int sampleCount = std::min(fileCount, 200);
    const QString destination = QStringLiteral("/music");

    QRandomGenerator random(7);
    std::vector<TFolderRow> folders;
    for (int i = 0; i < folderCount; ++i) {
        const QString relative
            = QString::fromLatin1(kGenres[random.bounded(int(std::size(kGenres)))])
            + artistName(random) + QStringLiteral(" %1").arg(i % 97);
        folders.push_back({ destination + QLatin1Char('/') + relative, relative });
    }
    // Songs come by the album: about 3,000 artists for 10,000 files.
    std::vector<QString> artists;
    for (int i = 0; i < std::max(1, fileCount * 3 / 10); ++i)
        artists.push_back(NormaliseArtist(artistName(random)));
    std::vector<TSourceRow> files;
    for (int i = 0; i < fileCount; ++i)
        files.push_back({ QStringLiteral("/in/%1.mp3").arg(i),
            artists[random.bounded(int(artists.size()))], QString() });
    const std::vector<TSourceRow> sample(files.begin(), files.begin() + sampleCount);

    NullPump pump;
    QElapsedTimer timer;
    timer.start();
    const TSortPlan fast = PlanSort(files, folders, destination, 37, pump);
    const double fastSeconds = timer.nsecsElapsed() / 1e9;

    timer.restart();
    const TSortPlan plainSample = test::PlainPlanSort(sample, folders, destination, 37);
    const double plainSampleSeconds = timer.nsecsElapsed() / 1e9;
    const double plainSeconds = plainSampleSeconds * fileCount / sampleCount;

    const TSortPlan fastSample = PlanSort(sample, folders, destination, 37, pump);
    bool same = fastSample.rows.size() == plainSample.rows.size()
        && fastSample.newArtists == plainSample.newArtists;
    for (size_t i = 0; same && i < fastSample.rows.size(); ++i)
        same = fastSample.rows[i].file == plainSample.rows[i].file
            && fastSample.rows[i].folder == plainSample.rows[i].folder
            && fastSample.rows[i].score == plainSample.rows[i].score;

    // The plain loops score every pair once and, for a file with a folder below the
    // percentage, every folder once more in the new-artist test.
    const double pairs = double(fileCount) * folderCount;
    std::printf("files %d, folders %d, plan rows %zu, new artists %lld\n", fileCount, folderCount,
        fast.rows.size(), static_cast<long long>(fast.newArtists.size()));
    std::printf("planner:      %8.2f s  %14.0f pairs/s\n", fastSeconds, pairs / fastSeconds);
    std::printf("plain loops:  %8.2f s  %14.0f pairs/s  (measured on %d files, scaled)\n",
        plainSeconds, pairs / plainSeconds, sampleCount);
    std::printf("planner / plain: %.1f x faster\n", plainSeconds / fastSeconds);
    std::printf("same plan on the sample: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
