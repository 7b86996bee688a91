// Scanning speed on generated trees: a destination of 20,000 artist folders and a source of
// 10,000 files, plus the sort of 20,000 paths on its own. The in-use test is a stub here:
// its cost belongs to the file utilities, not to the walk.

#include "core/planning/scanner.h"
#include "core/pump.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

using namespace plumtide;

namespace
{

// 200 genre folders of 100 artist folders each: 20,200 folders below the destination.
const QString& destination()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int g = 0; g < 200; ++g)
            for (int a = 0; a < 100; ++a)
                QDir().mkpath(dir.path() + QStringLiteral("/Genre %1/Artist %2").arg(g).arg(a));
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

// 100 folders of 100 files, nine in ten of them mp3: 9,000 listed of 10,000 files.
const QString& source()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int f = 0; f < 100; ++f) {
            const QString folder = dir.path() + QStringLiteral("/Batch %1").arg(f);
            QDir().mkpath(folder);
            for (int n = 0; n < 100; ++n) {
                const QString extension
                    = n % 10 == 0 ? QStringLiteral(".txt") : QStringLiteral(".mp3");
                QFile file(folder
                    + QStringLiteral("/%1 - Artist %2 - Song%3").arg(n).arg(f).arg(extension));
                file.open(QIODevice::WriteOnly);
            }
        }
        return true;
    }();
    (void)made;
    static const QString path = dir.path();
    return path;
}

void BM_GetDirList(benchmark::State& state)
{
    const QString& root = destination();
    NullPump pump;
    NullDetails details;
    qsizetype count = 0;
    for (auto _ : state) {
        const QStringList list = GetDirList(root, pump, details);
        count = list.size();
        benchmark::DoNotOptimize(list.constData());
    }
    state.counters["folders"] = static_cast<double>(count);
    state.counters["entries/s"] = benchmark::Counter(
        static_cast<double>(count) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GetDirList)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetFileList(benchmark::State& state)
{
    const QString& root = source();
    NullPump pump;
    CollectingDetails details; // as the window would, keep the lines
    const FileInUseTest notInUse = [](const QString&) { return false; };
    qsizetype count = 0;
    for (auto _ : state) {
        const QStringList list = GetFileList(root, QStringLiteral(".mp3"), pump, details, notInUse);
        count = list.size();
        benchmark::DoNotOptimize(list.constData());
    }
    state.counters["files"] = static_cast<double>(count);
    // Every entry read counts: the files listed, the others and the folders.
    state.counters["entries/s"]
        = benchmark::Counter((10000.0 + 100.0) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GetFileList)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortPaths(benchmark::State& state)
{
    QStringList paths;
    for (int g = 0; g < 200; ++g)
        for (int a = 0; a < 100; ++a)
            paths.append(QStringLiteral("/music/Genre %1/artist %2").arg(g).arg(a));
    std::shuffle(paths.begin(), paths.end(), std::mt19937(42));
    for (auto _ : state) {
        QStringList copy = paths;
        SortPaths(copy);
        benchmark::DoNotOptimize(copy.constData());
    }
    state.counters["paths/s"] = benchmark::Counter(
        static_cast<double>(paths.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SortPaths)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
