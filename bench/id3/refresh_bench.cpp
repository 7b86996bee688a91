// The whole refresh on a generated library, as the window and the CLI run it: walk a
// 20,000-folder destination and a 10,000-file source, read each file's tag, make its artist
// key, build the rows and sort them. Prints files per second and the peak memory it added,
// beside a reference reader built on TagLib reading artist and title of the same files
// (and nothing else) in the same run.
//
//     bench_refresh [files=10000] [folders=20000]

#include "core/listing.h"
#include "core/pump.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
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

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 20000;
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

    // Both readers once over the files first, so that neither pays for a cold cache.
    NullPump pump;
    NullDetails details;
    ListSourceFiles(source, pump, details);

    const long memoryBefore = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    const auto folders = ListDestinationFolders(destination, pump, details);
    const double folderSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const auto files = ListSourceFiles(source, pump, details);
    const double fileSeconds = timer.nsecsElapsed() / 1e9;
    const long memoryAfter = peakKilobytes();

    timer.restart();
    qint64 characters = 0;
    for (const QByteArray& path : paths) {
        TagLib::MPEG::File file(path.constData(), false);
        if (file.isValid() && file.tag()) {
            characters += QString::fromStdWString(file.tag()->artist().toWString()).size();
            characters += QString::fromStdWString(file.tag()->title().toWString()).size();
        }
    }
    const double taglibSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("destination: %zu folders in %.3f s (%.0f folders/s)\n", folders.size(),
        folderSeconds, folders.size() / folderSeconds);
    std::printf(
        "source:      %zu files in %.3f s (%.0f files/s): walk, tags, keys, rows, sorting\n",
        files.size(), fileSeconds, files.size() / fileSeconds);
    std::printf("TagLib artist and title alone: %.3f s (%.0f files/s)%s\n", taglibSeconds,
        paths.size() / taglibSeconds, characters > 0 ? "" : " (read nothing?)");
    std::printf("source refresh / TagLib reader: %.2f x (target at least 1)\n",
        taglibSeconds / fileSeconds);
    std::printf("peak memory added by the refresh: %ld KiB (%.0f bytes per row)\n",
        memoryAfter - memoryBefore,
        (memoryAfter - memoryBefore) * 1024.0 / double(files.size() + folders.size()));
    return 0;
}
