#include "core/planning/listing.h"

#include "core/matching/artistmatch.h"
#include "core/moving/companions.h"
#include "core/moving/fileutils.h"
#include "core/planning/scanner.h"
#include "formats/formatreader.h"
#include "id3/id3engine.h"
#include "platform/lease.h"
#include "platform/paths.h"

#include <QDir>

namespace plumtide
{

namespace
{

TSourceRow rowOf(const QString& path, const TArtistTitle& tag)
{
    TSourceRow row;
    row.path = path;
    if (tag.Status == TID3ReadStatus::Read || tag.Status == TID3ReadStatus::TagDamaged) {
        // A damaged tag still yields what stood before the damage.
        row.title = tag.Title;
        row.artist = tag.Artist;
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

std::variant<TSourceRow, TReason> ReadUnusedSourceRow(
    const QString& path, const TLeaveOutPolicy& leaveOut, qint64 now)
{
    TUnusedFile opened = OpenUnusedFile(path);
    switch (opened.result) {
    case TOpenResult::InUse:
        return TReason::InUse;
    case TOpenResult::Unreadable:
        return ReasonOfError(opened.error);
    case TOpenResult::Missing:
    case TOpenResult::NotRegular:
        // Gone since it was listed, or not a file after all: a row by its name, as for a
        // file whose tag cannot be read.
        return rowOf(path, TArtistTitle { {}, {}, TID3ReadStatus::NoFile, {} });
    case TOpenResult::Opened:
        break;
    }
    if (const TReason why = leaveOut.atListing(path, opened.status, now); why != TReason::None)
        return why;
    // Only now, with the file tested and held open, does a reader see it, and only through
    // this descriptor: what it reads is the file the test passed.
    return rowOf(path,
        ReadArtistAndTitle(
            AudioFormatOfFile(path), std::move(opened.file), opened.status.size, path));
}

std::vector<TFolderRow> ListDestinationFolders(const QString& destination, Pump& pump,
    DetailsSink& details, const std::function<void(const TFolderRow&)>& onRow,
    const QString& leftAlone)
{
    std::vector<TFolderRow> rows;
    if (!FolderExists(destination))
        return rows;
    const QStringList folders = GetDirList(destination, pump, details);
    const QString alone
        = leftAlone.isEmpty() ? QString() : QDir::cleanPath(AbsolutePath(leftAlone));
    const qsizetype count = folders.size();
    rows.reserve(static_cast<size_t>(std::max<qsizetype>(0, count - 1)));
    // The first element is the destination folder itself.
    for (qsizetype i = 0; i + 1 < count; ++i) {
        details.progress(QLatin1StringView("Folders"), i, count);
        if (!pump.keepGoing())
            break;
        const QString& path = folders.at(i + 1);
        if (!alone.isEmpty()) {
            const QString clean = QDir::cleanPath(AbsolutePath(path));
            if (clean == alone || clean.startsWith(alone + QLatin1Char('/')))
                continue;
        }
        TFolderRow row { path,
            path.size() > destination.size() ? RelativeFolderName(destination, path) : QString() };
        if (onRow)
            onRow(row);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TSourceRow> ListSourceFiles(const QString& source, Pump& pump, DetailsSink& details,
    const TLeaveOutPolicy& leaveOut, const std::function<void(const TLeftOut&)>& onLeftOut,
    const TFileFormats& formats)
{
    std::vector<TSourceRow> rows;
    ForEachSourceFile(
        source, pump, details, [&](TSourceRow&& row) { rows.push_back(std::move(row)); }, leaveOut,
        onLeftOut, std::nullopt, formats);
    return rows;
}

qsizetype ForEachSourceFile(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(TSourceRow&&)>& onRow, const TLeaveOutPolicy& leaveOut,
    const std::function<void(const TLeftOut&)>& onLeftOut, const std::optional<QStringList>& given,
    const TFileFormats& formats, QStringList* strays)
{
    qsizetype listed = 0;
    QStringList files;
    if (strays)
        strays->clear();
    if (given) {
        for (const QString& path : *given) {
            if (formats.namesFile(path))
                files.append(path);
            else if (strays && IsCompanionName(path) && KindOfPath(path) == PathKind::File
                && !HasSongBeside(path, formats))
                strays->append(path);
        }
        SortPaths(files);
    } else {
        if (!FolderExists(source))
            return listed;
        // Files in use are left out as they are read: one open serves the test and the tag.
        QStringList companions;
        files = GetFileList(
            source, formats, pump, details, [](const QString&) { return false; },
            strays ? &companions : nullptr);
        if (strays)
            *strays = StrayCompanions(companions, files);
    }
    const qint64 now = TLeaveOutPolicy::Now();
    const qsizetype count = files.size();
    for (qsizetype i = 0; i < count; ++i) {
        details.progress(QLatin1StringView("Files"), i, count);
        if (!pump.keepGoing())
            break;
        const QString& path = files.at(i);
        // A given file that is gone since has nothing to list.
        if (given && KindOfPath(path) != PathKind::File)
            continue;
        std::variant<TSourceRow, TReason> read = ReadUnusedSourceRow(path, leaveOut, now);
        if (const TReason* why = std::get_if<TReason>(&read)) {
            if (*why == TReason::InUse)
                details.addLine(path + FileInUseSuffix);
            if (onLeftOut)
                onLeftOut(TLeftOut { path, *why });
            continue;
        }
        ++listed;
        onRow(std::move(std::get<TSourceRow>(read)));
    }
    return listed;
}

} // namespace plumtide
