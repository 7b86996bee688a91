// plumtide-cli plan on a library on disk: 10,000 files against 20,000 folders at 37 %, about
// a million rows. Prints the time of `plan`, of `list` and `folders` (the reading and the
// scanning that `plan` does first), the time beyond them, and beside it in the same run a
// packed plain loop that scores every pair of the same keys and folder names: the floor of
// planning without writing a row.
//
//     bench_plan_cli [files=10000] [folders=20000] [percentage=37] [rounds=3] [artists]
//
// Songs come by the album (about 3 artists for 10 files) unless `artists` says otherwise.
//
// Target: the time of `plan` beyond reading and scanning at most the packed loop's.

#include "bench/library.h"
#include "core/matching/artistmatch.h"
#include "core/matching/similaritykernel.h"
#include "core/planning/planner.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace plumtide;

namespace
{

// Seconds one run of the CLI takes, its output thrown away; the best of `rounds`.
double secondsOf(const std::vector<QByteArray>& arguments, int rounds)
{
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        bench::RunCli(arguments);
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int percentage = argc > 3 ? std::atoi(argv[3]) : 37;
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    const int artistCount
        = argc > 5 ? std::max(1, std::atoi(argv[5])) : std::max(1, fileCount * 3 / 10);

    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("in"));
    const QString destination = root.filePath(QStringLiteral("music"));
    QRandomGenerator random(7);
    std::vector<QString> folderNames;
    for (int i = 0; i < folderCount; ++i) {
        folderNames.push_back(bench::RandomArtistName(random) + QStringLiteral(" %1").arg(i % 97));
        QDir().mkpath(destination + QLatin1Char('/') + folderNames.back());
    }
    std::vector<QString> artists;
    for (int i = 0; i < artistCount; ++i)
        artists.push_back(bench::RandomArtistName(random));
    std::vector<QString> keys;
    QDir().mkpath(source);
    for (int i = 0; i < fileCount; ++i) {
        const QString& artist = artists[random.bounded(int(artists.size()))];
        QFile file(source + QStringLiteral("/%1.mp3").arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(bench::song(artist.toUtf8(), "Song " + QByteArray::number(i)));
        keys.push_back(NormaliseArtist(artist));
    }

    const QByteArray in = source.toUtf8();
    const QByteArray music = destination.toUtf8();
    const QByteArray percent = QByteArray::number(percentage);
    const double planSeconds = secondsOf({ "plan", "--percentage", percent, in, music }, rounds);
    const double listSeconds = secondsOf({ "list", in }, rounds);
    const double foldersSeconds = secondsOf({ "folders", music }, rounds);
    const double beyond = planSeconds - listSeconds - foldersSeconds;

    // The packed plain loop over the same names, prepared beforehand.
    std::vector<char16_t> keyUnits;
    std::vector<std::pair<size_t, qsizetype>> keySpans;
    for (const QString& key : keys) {
        const PreparedName prepared(key);
        keySpans.emplace_back(keyUnits.size(), prepared.units().size());
        keyUnits.insert(keyUnits.end(), prepared.units().utf16(),
            prepared.units().utf16() + prepared.units().size());
    }
    std::vector<char16_t> nameUnits;
    std::vector<std::pair<size_t, qsizetype>> nameSpans;
    for (const QString& name : folderNames) {
        const PreparedName prepared(name);
        nameSpans.emplace_back(nameUnits.size(), prepared.units().size());
        nameUnits.insert(nameUnits.end(), prepared.units().utf16(),
            prepared.units().utf16() + prepared.units().size());
    }
    double packedSeconds = 1e9;
    size_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        rows = 0;
        for (const auto& [keyAt, keyLength] : keySpans) {
            if (keyLength < MinimumPlannedKeyLength)
                continue;
            const char16_t* a = keyUnits.data() + keyAt;
            for (const auto& [nameAt, nameLength] : nameSpans) {
                const qsizetype shorter = std::min(keyLength, nameLength);
                rows += ReachesThreshold(kernel::twentieths(a, nameUnits.data() + nameAt, shorter),
                    shorter, std::max(keyLength, nameLength) - shorter, percentage);
            }
        }
        packedSeconds = std::min(packedSeconds, timer.nsecsElapsed() / 1e9);
    }

    std::printf("files %d (%d artists), folders %d, percentage %d: %zu plan rows (best of %d "
                "runs each)\n",
        fileCount, artistCount, folderCount, percentage, rows, rounds);
    std::printf("plumtide-cli plan:               %8.3f s\n", planSeconds);
    std::printf("plumtide-cli list (reading):     %8.3f s\n", listSeconds);
    std::printf("plumtide-cli folders (scanning): %8.3f s\n", foldersSeconds);
    std::printf("plan beyond reading and scanning:%8.3f s\n", beyond);
    std::printf("packed plain loop, every pair:   %8.3f s\n", packedSeconds);
    std::printf("plan beyond reading and scanning / packed loop: %.2f x (target at most 1)\n",
        beyond / packedSeconds);
    return 0;
}
