// Reads artist and title from a generated corpus of 10,000 mp3 files, as the folder refresh
// does, with the tag engine and with a reference reader built on TagLib, and prints files per
// second for each and their ratio. The corpus is made at start in a temporary folder: the
// mix of the interoperability tests (version 3 UTF-16 with a 30 KB cover before the artist,
// version 4 UTF-8, version 3 ISO-8859-1, ID3v1 only, no tag), tagged by mutagen on a
// lame-encoded tone.
#include "id3/id3engine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace plumtide;

namespace
{

constexpr int kFiles = 10000;
std::vector<QByteArray> g_paths;

bool MakeCorpus(const QTemporaryDir& dir)
{
    const QString templates = dir.filePath(QStringLiteral("templates"));
    QDir().mkpath(templates);
    const QByteArray command = "/usr/bin/python3 '" PLUMTIDE_SOURCE_DIR
                               "/scripts/id3_mutagen.py' make '"
        + QFile::encodeName(templates) + "' >/dev/null";
    if (std::system(command.constData()) != 0)
        return false;
    std::vector<QByteArray> variants;
    for (const char* name :
        { "v3_utf16_cover.mp3", "v4_utf8.mp3", "v3_latin1.mp3", "v1_only.mp3", "no_tag.mp3" }) {
        QFile file(templates + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        variants.push_back(file.readAll());
    }
    for (int i = 0; i < kFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(variants[static_cast<size_t>(i) % variants.size()]);
        g_paths.push_back(QFile::encodeName(path));
    }
    return true;
}

void Engine(benchmark::State& state)
{
    qint64 characters = 0;
    for (auto _ : state) {
        for (const QByteArray& path : g_paths) {
            const TArtistTitle read = ReadArtistAndTitle(QFile::decodeName(path));
            characters += read.Artist.size() + read.Title.size();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

void TagLibReference(benchmark::State& state)
{
    qint64 characters = 0;
    for (auto _ : state) {
        for (const QByteArray& path : g_paths) {
            // No audio properties: the reference reads tags only, as the engine does.
            TagLib::MPEG::File file(path.constData(), false);
            QString artist;
            QString title;
            if (file.isValid() && file.tag()) {
                artist = QString::fromStdWString(file.tag()->artist().toWString());
                title = QString::fromStdWString(file.tag()->title().toWString());
            }
            characters += artist.size() + title.size();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFiles, benchmark::Counter::kIsRate);
}

// Prints as usual and keeps each benchmark's files per second for the closing ratio.
class RateReporter : public benchmark::ConsoleReporter
{
public:
    RateReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto counter = run.counters.find("files/s");
            if (counter != run.counters.end())
                rates[run.benchmark_name()] = counter->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid() || !MakeCorpus(dir)) {
        std::fprintf(stderr, "cannot make the corpus (needs lame and python3-mutagen)\n");
        return 1;
    }
    benchmark::RegisterBenchmark("Engine/ReadArtistAndTitle", Engine)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("TagLib/MPEG::File", TagLibReference)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double engine = reporter.rates["Engine/ReadArtistAndTitle"];
    const double reference = reporter.rates["TagLib/MPEG::File"];
    std::printf("\n%d files: engine %.0f files/s, TagLib %.0f files/s, ratio %.2f (target 1.5)\n",
        kFiles, engine, reference, reference > 0 ? engine / reference : 0.0);
    return 0;
}
