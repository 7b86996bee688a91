#include "core/listing.h"

#include "core/artistmatch.h"
#include "core/fileutils.h"
#include "core/scanner.h"
#include "id3/id3engine.h"
#include "platform/lease.h"

namespace plumtide
{

namespace
{

TSourceRow rowOf(const QString& path, const TID3ArtistTitle& tag)
{
    TSourceRow row;
    row.path = path;
    if (tag.Status == TID3ReadStatus::Read || tag.Status == TID3ReadStatus::TagDamaged) {
        // A damaged tag still yields what stood before the damage.
        row.title = tag.Title;
        if (!tag.Artist.isEmpty()) {
            row.key = NormaliseArtist(tag.Artist);
            return row;
        }
    }
    row.key = NormaliseArtist(FileNameOf(path));
    return row;
}

} // namespace

TSourceRow ReadSourceRow(const QString& path)
{
    return rowOf(path, ReadArtistAndTitle(path));
}

std::optional<TSourceRow> ReadUnusedSourceRow(const QString& path)
{
    FileDescriptor file;
    qint64 size = 0;
    switch (OpenUnusedFile(path, file, size)) {
    case TOpenResult::InUse:
        return std::nullopt;
    case TOpenResult::Missing:
    case TOpenResult::NotRegular:
        // Gone since it was listed, or not a file after all: a row by its name, as for a
        // file whose tag cannot be read.
        return rowOf(path, TID3ArtistTitle { {}, {}, TID3ReadStatus::NoFile, {} });
    case TOpenResult::Opened:
        break;
    }
    return rowOf(path, ReadArtistAndTitle(std::move(file), size, path));
}

std::vector<TFolderRow> ListDestinationFolders(const QString& destination, Pump& pump,
    DetailsSink& details, const std::function<void(const TFolderRow&)>& onRow)
{
    std::vector<TFolderRow> rows;
    if (!FolderExists(destination))
        return rows;
    const QStringList folders = GetDirList(destination, pump, details);
    const qsizetype count = folders.size();
    rows.reserve(static_cast<size_t>(std::max<qsizetype>(0, count - 1)));
    // The first element is the destination folder itself.
    for (qsizetype i = 0; i + 1 < count; ++i) {
        details.progress(QLatin1StringView("Folders"), i, count);
        if (!pump.keepGoing())
            break;
        const QString& path = folders.at(i + 1);
        TFolderRow row { path,
            path.size() > destination.size() ? RelativeFolderName(destination, path) : QString() };
        if (onRow)
            onRow(row);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TSourceRow> ListSourceFiles(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(const TSourceRow&)>& onRow)
{
    std::vector<TSourceRow> rows;
    ForEachSourceFile(source, pump, details, [&](TSourceRow&& row) {
        if (onRow)
            onRow(row);
        rows.push_back(std::move(row));
    });
    return rows;
}

qsizetype ForEachSourceFile(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(TSourceRow&&)>& onRow)
{
    qsizetype listed = 0;
    if (!FolderExists(source))
        return listed;
    // Files in use are left out as they are read: one open serves the test and the tag.
    const QStringList files
        = GetFileList(source, kMp3Extension, pump, details, [](const QString&) { return false; });
    const qsizetype count = files.size();
    for (qsizetype i = 0; i < count; ++i) {
        details.progress(QLatin1StringView("Files"), i, count);
        if (!pump.keepGoing())
            break;
        std::optional<TSourceRow> row = ReadUnusedSourceRow(files.at(i));
        if (!row) {
            details.addLine(files.at(i) + FileInUseSuffix);
            continue;
        }
        ++listed;
        onRow(std::move(*row));
    }
    return listed;
}

} // namespace plumtide
