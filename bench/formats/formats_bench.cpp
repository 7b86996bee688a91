// Artist and title of a mixed folder, a quarter each mp3, FLAC, Ogg Vorbis and M4A files, read
// the way the listing reads them (one open, the in-use test on that descriptor, the
// descriptor handed to the reader: the tag engine for mp3, TagLib through the descriptor for
// the rest) beside a plain TagLib reader of the same files in the same run (FileRef on the
// path, tags only). Prints the medians of a few rounds of processor time, warm caches, per
// part, and the ratios. Then the refresh of the whole mixed folder through the real listing
// (ForEachSourceFile: the walk, the in-use test, the read, the artist key, the sort), once
// with mp3 alone and once with the other three formats, each against the plain reader of the
// files it lists.
//
//     bench_formats [files=10000] [rounds=5] [seconds of audio=1]
//
// Targets: the part other than mp3 at least as fast as the plain reader (ratio >= 1), read
// and refreshed; the mp3 part's refresh keeping the ratio of its reads.
//
// The files are copies of ffmpeg-made templates (scripts/make_format_samples.sh), each given
// its own artist and title by TagLib in the setup.

#include "core/planning/listing.h"
#include "core/planning/scanner.h"
#include "formats/formatreader.h"
#include "platform/lease.h"
#include "tests/support/formatsamples.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <variant>
#include <vector>

using namespace plumtide;

namespace
{

const char* const kExtensions[] = { "mp3", "flac", "ogg", "m4a" };

// The process's processor time (user and system) that `work` takes: with warm caches each
// reader is bound by the processor, and on a machine shared with other work this varies far
// less than the time on the clock.
template <typename Work> double secondsOf(Work work)
{
    const auto now = [] {
        timespec time {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
        return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
    };
    const double start = now();
    work();
    return now() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString toQString(const TagLib::String& text)
{
    return QString::fromWCharArray(text.toCWString(), static_cast<qsizetype>(text.size()));
}

TagLib::String toTagLib(const QString& text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

// As the listing will: one open with the in-use test, then the reader for the file's format.
qint64 listingRead(const QString& path)
{
    TUnusedFile opened = OpenUnusedFile(path);
    if (opened.result != TOpenResult::Opened)
        return 0;
    const TArtistTitle read = ReadArtistAndTitle(
        AudioFormatOfFile(path), std::move(opened.file), opened.status.size, path);
    return read.Artist.size() + read.Title.size();
}

// The same reader without the in-use test, to tell the test's cost from the reader's.
qint64 readerOnly(const QString& path)
{
    FileDescriptor file = OpenRegularFile(path, false);
    const qint64 size = FileSize(file, path);
    const TArtistTitle read
        = ReadArtistAndTitle(AudioFormatOfFile(path), std::move(file), size, path);
    return read.Artist.size() + read.Title.size();
}

qint64 plainRead(const QByteArray& path)
{
    const TagLib::FileRef file(path.constData(), false);
    if (file.isNull() || !file.tag())
        return 0;
    return toQString(file.tag()->artist()).size() + toQString(file.tag()->title()).size();
}

struct TPart {
    const char* name;
    QStringList paths;
    std::vector<QByteArray> encoded;
    std::vector<double> listing;
    std::vector<double> reader;
    std::vector<double> plain;
};

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::max(4, std::atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QByteArray seconds = argc > 3 ? QByteArray(argv[3]) : QByteArray("1");
    QTemporaryDir dir;
    const QString templates = dir.filePath(QStringLiteral("templates"));
    if (!test::MakeFormatSamples(templates, seconds)) {
        std::fprintf(stderr, "cannot make the templates (needs ffmpeg, scripts/setup.sh)\n");
        return 1;
    }

    // In 100 album folders, as a download folder holds them.
    std::vector<TPart> parts;
    for (const char* extension : kExtensions)
        parts.push_back(TPart { extension, {}, {}, {}, {}, {} });
    for (int i = 0; i < fileCount; ++i) {
        const QString folder = dir.filePath(QStringLiteral("in/album %1").arg(i % 100));
        if (i < 100)
            QDir().mkpath(folder);
        TPart& part = parts[size_t(i) % parts.size()];
        const QString extension = QLatin1String(part.name);
        const QString path = folder
            + QStringLiteral("/%1 - Track.%2").arg(i, 5, 10, QLatin1Char('0')).arg(extension);
        if (!QFile::copy(templates + QStringLiteral("/plain.") + extension, path))
            return 1;
        const QByteArray encoded = QFile::encodeName(path);
        TagLib::FileRef file(encoded.constData(), false);
        file.tag()->setArtist(toTagLib(QStringLiteral("Artist %1").arg(i % 700)));
        file.tag()->setTitle(toTagLib(QStringLiteral("Title %1").arg(i)));
        if (!file.save())
            return 1;
        part.paths << path;
        part.encoded.push_back(encoded);
    }
    ::sync();

    // Every reader once over the files first, so that none pays for a cold cache; both must
    // find the same texts.
    qint64 characters = 0;
    for (const TPart& part : parts) {
        qint64 listed = 0;
        qint64 plain = 0;
        for (qsizetype i = 0; i < part.paths.size(); ++i) {
            listed += listingRead(part.paths.at(i));
            plain += plainRead(part.encoded[size_t(i)]);
        }
        if (listed != plain || listed == 0) {
            std::fprintf(stderr, "%s: the readers disagree (%lld and %lld characters)\n", part.name,
                static_cast<long long>(listed), static_cast<long long>(plain));
            return 1;
        }
        characters += listed;
    }

    for (int round = 0; round < rounds; ++round) {
        for (TPart& part : parts) {
            part.listing.push_back(secondsOf([&] {
                for (const QString& path : std::as_const(part.paths))
                    characters += listingRead(path);
            }));
            part.reader.push_back(secondsOf([&] {
                for (const QString& path : std::as_const(part.paths))
                    characters += readerOnly(path);
            }));
            part.plain.push_back(secondsOf([&] {
                for (const QByteArray& path : part.encoded)
                    characters += plainRead(path);
            }));
        }
    }

    std::printf("%d files, median of %d rounds of processor time%s\n", fileCount, rounds,
        characters > 0 ? "" : " (read nothing?)");
    double othersListing = 0;
    double othersPlain = 0;
    for (const TPart& part : parts) {
        const double listing = median(part.listing);
        const double plain = median(part.plain);
        if (&part != &parts.front()) {
            othersListing += listing;
            othersPlain += plain;
        }
        const double files = double(part.paths.size());
        std::printf("%-4s %5lld files: as listed %.3f s (%6.0f files/s; without the in-use test "
                    "%.3f s), plain TagLib %.3f s (%6.0f files/s): %.2f x\n",
            part.name, static_cast<long long>(part.paths.size()), listing, files / listing,
            median(part.reader), plain, files / plain, plain / listing);
    }
    std::printf("FLAC, Ogg, M4A: as listed %.3f s, plain TagLib %.3f s: %.2f x (target at least "
                "1)\n",
        othersListing, othersPlain, othersPlain / othersListing);

    // The refresh a user waits for: the whole folder walked, the files of the formats on
    // listed and read.
    const struct {
        const char* name;
        TFileFormats formats;
        std::vector<const TPart*> parts;
    } refreshes[] = {
        { "mp3", TFileFormats(), { &parts[0] } },
        { "flac,ogg,m4a", *TFileFormats::FromText(u"flac,ogg,m4a"),
            { &parts[1], &parts[2], &parts[3] } },
    };
    const QString source = dir.filePath(QStringLiteral("in"));
    NullPump pump;
    NullDetails details;
    // The mp3 part as the listing took it before it knew other formats: the scan for one
    // extension, then each file's row; its ratio is the one the mp3 part must keep.
    const auto mp3AsBefore = [&] {
        const QStringList files = GetFileList(
            source, QStringLiteral(".mp3"), pump, details, [](const QString&) { return false; });
        for (const QString& path : files) {
            const std::variant<TSourceRow, TReason> read = ReadUnusedSourceRow(path);
            if (const TSourceRow* row = std::get_if<TSourceRow>(&read))
                characters += row->title.size();
        }
    };
    for (const auto& refresh : refreshes) {
        std::vector<double> listing;
        std::vector<double> before;
        std::vector<double> plain;
        qsizetype listed = 0;
        for (int round = 0; round < rounds; ++round) {
            listing.push_back(secondsOf([&] {
                listed = ForEachSourceFile(
                    source, pump, details,
                    [&](TSourceRow&& row) { characters += row.title.size(); }, {}, {}, std::nullopt,
                    refresh.formats);
            }));
            if (refresh.formats == TFileFormats())
                before.push_back(secondsOf(mp3AsBefore));
            plain.push_back(secondsOf([&] {
                for (const TPart* part : refresh.parts) {
                    for (const QByteArray& path : part->encoded)
                        characters += plainRead(path);
                }
            }));
        }
        const double listingSeconds = median(listing);
        const double plainSeconds = median(plain);
        std::printf("refresh of the %d files with Formats=%s: %lld listed in %.3f s (%6.0f "
                    "files/s), plain TagLib %.3f s: %.2f x\n",
            fileCount, refresh.name, static_cast<long long>(listed), listingSeconds,
            double(listed) / listingSeconds, plainSeconds, plainSeconds / listingSeconds);
        if (!before.empty())
            std::printf("  the same with the scan for one extension, as before other formats: "
                        "%.3f s: %.2f x\n",
                median(before), plainSeconds / median(before));
    }
    return 0;
}
