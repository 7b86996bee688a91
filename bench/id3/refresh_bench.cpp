// The whole refresh on a generated library, as the window and the CLI run it: walk a
// 20,000-folder destination and a 10,000-file source, read each file's tag (with the in-use
// test on the same descriptor), make its artist key, build the rows and sort them. Prints
// files per second and the peak memory it added, beside two readers of the same files in
// the same run (medians of a few rounds of processor time, warm caches): one built on TagLib
// reading artist and title, and a floor reader that does only what any reader must (open, fstat,
// read the ten header bytes, read the tag's bytes or the last 128, find the two frames, close).
//
//     bench_refresh [files=10000] [folders=20000] [rounds=3]
//
// Targets: the source refresh at least 2 x the speed of the TagLib reader and within
// 1.3 x the time of the floor reader, on 10,000 and on 100,000 files.

#include "core/planning/listing.h"
#include "core/planning/scanner.h"
#include "core/pump.h"
#include "platform/lease.h"
#include "tests/support/pumps.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

long peakKilobytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The file variants of the tag engine's interoperability tests (a 30 KB cover picture
// before the artist among them), tagged by mutagen on a lame-encoded tone.
std::vector<QByteArray> variants(const QString& folder)
{
    const QByteArray command = "/usr/bin/python3 '" PLUMTIDE_SOURCE_DIR
                               "/scripts/id3_mutagen.py' make '"
        + QFile::encodeName(folder) + "' >/dev/null";
    std::vector<QByteArray> files;
    QDir().mkpath(folder);
    if (std::system(command.constData()) != 0)
        return files;
    for (const char* name :
        { "v3_utf16_cover.mp3", "v4_utf8.mp3", "v3_latin1.mp3", "v1_only.mp3", "no_tag.mp3" }) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (file.open(QIODevice::ReadOnly))
            files.push_back(file.readAll());
    }
    return files;
}

quint32 bigEndian(const unsigned char* p, int bytes, bool syncsafe)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << (syncsafe ? 7 : 8)) | (syncsafe ? (p[i] & 0x7F) : p[i]);
    return value;
}

QString frameText(const unsigned char* data, qint64 size)
{
    if (size < 1)
        return QString();
    const char* text = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = static_cast<qsizetype>(size - 1);
    switch (data[0]) {
    case 0:
        return QString::fromLatin1(text, qstrnlen(text, length));
    case 1:
    case 2: {
        QStringDecoder decoder(data[0] == 1 ? QStringDecoder::Utf16 : QStringDecoder::Utf16BE);
        return decoder.decode(QByteArrayView(text, length));
    }
    default:
        return QString::fromUtf8(text, qstrnlen(text, length));
    }
}

// What any reader of artist and title must do, and no more.
qint64 floorRead(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    qint64 characters = 0;
    struct stat st {
    };
    unsigned char head[10];
    if (::fstat(fd, &st) == 0 && ::pread(fd, head, 10, 0) == 10
        && std::memcmp(head, "ID3", 3) == 0) {
        const int version = head[3];
        const qint64 size = bigEndian(head + 6, 4, true);
        static std::vector<unsigned char> tag;
        tag.resize(static_cast<size_t>(size));
        const qint64 got = ::pread(fd, tag.data(), tag.size(), 10);
        const int idBytes = version == 2 ? 3 : 4;
        const int header = version == 2 ? 6 : 10;
        int found = 0;
        for (qint64 at = 0; got > 0 && at + header <= got && tag[size_t(at)] != 0 && found < 2;) {
            const unsigned char* frame = tag.data() + at;
            const qint64 bytes = bigEndian(frame + idBytes, idBytes == 3 ? 3 : 4, version == 4);
            if (at + header + bytes > got)
                break;
            const bool artist = std::memcmp(frame, version == 2 ? "TP1" : "TPE1", idBytes) == 0;
            const bool title = std::memcmp(frame, version == 2 ? "TT2" : "TIT2", idBytes) == 0;
            if (artist || title) {
                characters += frameText(frame + header, bytes).size();
                ++found;
            }
            at += header + bytes;
        }
    } else if (st.st_size >= 128) {
        char block[128];
        if (::pread(fd, block, 128, st.st_size - 128) == 128 && std::memcmp(block, "TAG", 3) == 0)
            characters += QString::fromLatin1(block + 3, qstrnlen(block + 3, 30)).size()
                + QString::fromLatin1(block + 33, qstrnlen(block + 33, 30)).size();
    }
    ::close(fd);
    return characters;
}

qint64 taglibRead(const QByteArray& path)
{
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid() || !file.tag())
        return 0;
    return QString::fromStdWString(file.tag()->artist().toWString()).size()
        + QString::fromStdWString(file.tag()->title().toWString()).size();
}

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

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir dir;
    const std::vector<QByteArray> templates = variants(dir.filePath(QStringLiteral("templates")));
    if (templates.size() != 5) {
        std::fprintf(stderr, "cannot make the corpus (needs lame and python3-mutagen)\n");
        return 1;
    }
    // Sources in 100 album folders; destinations two levels deep under genre folders.
    const QString source = dir.filePath(QStringLiteral("in"));
    const QString destination = dir.filePath(QStringLiteral("music"));
    std::vector<QByteArray> paths;
    for (int i = 0; i < fileCount; ++i) {
        const QString folder = source + QStringLiteral("/album %1").arg(i % 100);
        if (i < 100)
            QDir().mkpath(folder);
        const QString path
            = folder + QStringLiteral("/%1 - Track.mp3").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(templates[size_t(i) % templates.size()]);
        paths.push_back(QFile::encodeName(path));
    }
    for (int i = 0; i < folderCount; ++i)
        QDir().mkpath(destination + QStringLiteral("/Genre %1/Artist %2").arg(i % 40).arg(i));
    ::sync();

    // Every reader once over the files first, so that none pays for a cold cache.
    NullPump pump;
    NullDetails details;
    ListSourceFiles(source, pump, details);
    qint64 characters = 0;
    for (const QByteArray& path : paths)
        characters += floorRead(path) + taglibRead(path);

    const long memoryBefore = peakKilobytes();
    std::vector<TFolderRow> folders;
    const double folderSeconds
        = secondsOf([&] { folders = ListDestinationFolders(destination, pump, details); });
    std::vector<TSourceRow> files;
    std::vector<double> refresh;
    std::vector<double> taglib;
    std::vector<double> floor;
    for (int round = 0; round < rounds; ++round) {
        files.clear();
        refresh.push_back(secondsOf([&] { files = ListSourceFiles(source, pump, details); }));
        taglib.push_back(secondsOf([&] {
            for (const QByteArray& path : paths)
                characters += taglibRead(path);
        }));
        floor.push_back(secondsOf([&] {
            for (const QByteArray& path : paths)
                characters += floorRead(path);
        }));
    }
    const long memoryAfter = peakKilobytes();

    // Where the refresh's time goes: the walk and sort alone, the open with the in-use test
    // alone, and the rows (open, test, tag, key) without the walk.
    std::vector<double> walk;
    std::vector<double> opening;
    std::vector<double> reading;
    QStringList listed;
    for (int round = 0; round < rounds; ++round) {
        walk.push_back(secondsOf([&] {
            listed = GetFileList(
                source, TFileFormats(), pump, details, [](const QString&) { return false; });
        }));
        opening.push_back(secondsOf([&] {
            for (const QString& path : std::as_const(listed))
                characters += OpenUnusedFile(path).result == TOpenResult::Opened;
        }));
        reading.push_back(secondsOf([&] {
            for (const QString& path : std::as_const(listed))
                characters += std::get<TSourceRow>(ReadUnusedSourceRow(path)).key.size();
        }));
    }
    const double fileSeconds = median(refresh);
    const double taglibSeconds = median(taglib);
    const double floorSeconds = median(floor);

    std::printf("destination: %zu folders in %.3f s (%.0f folders/s)\n", folders.size(),
        folderSeconds, folders.size() / folderSeconds);
    std::printf(
        "source:      %zu files in %.3f s (%.0f files/s): walk, tags, in-use test, keys, rows, "
        "sorting (median of %d)\n",
        files.size(), fileSeconds, files.size() / fileSeconds, rounds);
    std::printf("TagLib artist and title alone: %.3f s (%.0f files/s)%s\n", taglibSeconds,
        paths.size() / taglibSeconds, characters > 0 ? "" : " (read nothing?)");
    std::printf("floor reader alone:            %.3f s (%.0f files/s)\n", floorSeconds,
        paths.size() / floorSeconds);
    std::printf("  of it: walk and sort %.3f s; open and in-use test %.3f s; rows without "
                "the walk (open, test, tag, key) %.3f s\n",
        median(walk), median(opening), median(reading));
    std::printf("source refresh speed / TagLib reader speed: %.2f x (target at least 2)\n",
        taglibSeconds / fileSeconds);
    std::printf("source refresh time / floor reader time: %.2f x (target at most 1.3)\n",
        fileSeconds / floorSeconds);
    std::printf("peak memory added by the refresh: %ld KiB (%.0f bytes per row)\n",
        memoryAfter - memoryBefore,
        (memoryAfter - memoryBefore) * 1024.0 / double(files.size() + folders.size()));
    return 0;
}
