#include "core/listing.h"

#include "core/artistmatch.h"
#include "core/fileutils.h"
#include "core/scanner.h"
#include "id3/id3engine.h"

namespace plumtide
{

TSourceRow ReadSourceRow(const QString& path)
{
    const TID3ArtistTitle tag = ReadArtistAndTitle(path);
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
        details.clear();
        details.addLine(QStringLiteral("Folders: %1/%2").arg(i).arg(count));
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
    if (!FolderExists(source))
        return rows;
    const QStringList files = GetFileList(source, kMp3Extension, pump, details);
    const qsizetype count = files.size();
    rows.reserve(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        details.clear();
        details.addLine(QStringLiteral("Files: %1/%2").arg(i).arg(count));
        if (!pump.keepGoing())
            break;
        TSourceRow row = ReadSourceRow(files.at(i));
        if (onRow)
            onRow(row);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace plumtide
