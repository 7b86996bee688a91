// Scores per second of the plain and the prepared similarity on realistic names, and the
// ratio between them, measured in the same run.

#include "core/matching/artistmatch.h"

#include <QRandomGenerator>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

using namespace plumtide;

namespace
{

const QStringList words = {
    QStringLiteral("the"),
    QStringLiteral("Black"),
    QStringLiteral("Madonna"),
    QStringLiteral("Pink"),
    QStringLiteral("Floyd"),
    QStringLiteral("Rolling"),
    QStringLiteral("Stones"),
    QStringLiteral("Daft"),
    QStringLiteral("Punk"),
    QStringLiteral("Metallica"),
    QStringLiteral("Queen"),
    QStringLiteral("Sabbath"),
    QStringLiteral("Beatles"),
    QStringLiteral("Abba"),
    QStringLiteral("Orchestra"),
    QStringLiteral("Boys"),
    QStringLiteral("Jay-Z"),
    QStringLiteral("Massive"),
    QStringLiteral("Attack"),
    QStringLiteral("de"),
    QStringLiteral("Los"),
    QStringLiteral("Velvet"),
    QStringLiteral("Underground"),
    QStringLiteral("Radiohead"),
};

const QStringList genres = {
    QStringLiteral("Pop/"),
    QStringLiteral("Rock/"),
    QStringLiteral("Jazz/"),
    QStringLiteral(""),
    QStringLiteral(""),
    QStringLiteral(""),
};

// A name of 4 to 30 characters made of artist-like words.
QString randomName(QRandomGenerator& random, const QString& prefix)
{
    const int target = 4 + static_cast<int>(random.bounded(27));
    QString name = prefix;
    while (name.size() < target) {
        if (name.size() > prefix.size())
            name += QLatin1Char(' ');
        name += words[random.bounded(static_cast<int>(words.size()))];
    }
    return name.left(target);
}

struct Names {
    std::vector<QString> keys;
    std::vector<QString> folders;
};

const Names& names()
{
    static const Names made = [] {
        QRandomGenerator random(2024);
        Names n;
        for (int i = 0; i < 64; ++i)
            n.keys.push_back(NormaliseArtist(randomName(random, QString())));
        for (int i = 0; i < 1000; ++i)
            n.folders.push_back(
                randomName(random, genres[random.bounded(static_cast<int>(genres.size()))]));
        return n;
    }();
    return made;
}

// One iteration scores one key against every folder, as planning does.
void BM_PlainSimilarity(benchmark::State& state)
{
    const Names& n = names();
    size_t key = 0;
    for (auto _ : state) {
        const QString& k = n.keys[key++ % n.keys.size()];
        for (const QString& folder : n.folders)
            benchmark::DoNotOptimize(ArtistSimilarity(k, folder));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n.folders.size()));
}
BENCHMARK(BM_PlainSimilarity);

void BM_PreparedSimilarity(benchmark::State& state)
{
    const Names& n = names();
    std::vector<PreparedName> keys(n.keys.begin(), n.keys.end());
    std::vector<PreparedName> folders(n.folders.begin(), n.folders.end());
    size_t key = 0;
    for (auto _ : state) {
        const PreparedName& k = keys[key++ % keys.size()];
        for (const PreparedName& folder : folders)
            benchmark::DoNotOptimize(ArtistSimilarity(k, folder));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(folders.size()));
}
BENCHMARK(BM_PreparedSimilarity);

void BM_PrepareName(benchmark::State& state)
{
    const Names& n = names();
    size_t folder = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(PreparedName(n.folders[folder++ % n.folders.size()]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrepareName);

// Prints the console table as usual and keeps each benchmark's rate for the summary.
class RateReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal, so that saved output stays readable.
    RateReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (run.run_type == Run::RT_Iteration && rate != run.counters.end())
                rates[run.benchmark_name()] = rate->second.value;
        }
    }

    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto plain = reporter.rates.find("BM_PlainSimilarity");
    const auto prepared = reporter.rates.find("BM_PreparedSimilarity");
    if (plain == reporter.rates.end() || prepared == reporter.rates.end())
        return 0;
    std::printf("\nplain similarity:    %12.0f scores/s\n", plain->second);
    std::printf("prepared similarity: %12.0f scores/s\n", prepared->second);
    std::printf("prepared / plain:    %12.1f x\n", prepared->second / plain->second);
    // 10,000 files against 20,000 folders, a large collection.
    const double pairs = 10000.0 * 20000.0;
    std::printf("10,000 x 20,000 pairs: %.1f s plain, %.1f s prepared\n", pairs / plain->second,
        pairs / prepared->second);
    return 0;
}
