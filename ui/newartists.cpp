#include "ui/newartists.h"

#include "core/matching/carefulmatch.h"
#include "platform/paths.h"

namespace plumtide
{

QStringList NewArtistsToCreate(const QStringList& entries, const QStringList& selected)
{
    if (selected.isEmpty())
        return entries;
    // In the list's order, each once, and only what is listed.
    QStringList chosen;
    for (const QString& entry : entries) {
        if (selected.contains(entry) && !chosen.contains(entry))
            chosen.append(entry);
    }
    return chosen;
}

QString CreateCaption(qsizetype selected)
{
    return selected > 0 ? QStringLiteral("&Create selected") : QStringLiteral("&Create");
}

std::vector<TSameArtistFile> SameArtistFiles(const TPlannedSort& plan)
{
    std::vector<TSameArtistFile> found;
    for (const TUnfiledEntry& entry : plan.unfiled()) {
        if (entry.reason != TUnfiledReason::SameArtist || entry.folders.empty())
            continue;
        const TSourceRow& file = plan.files()[size_t(entry.file)];
        const TFolderRow& folder = plan.folders()[size_t(entry.folders.front())];
        found.push_back({ file.path, ArtistTextOf(file.artist, FileNameOf(file.path)), folder.path,
            folder.relativeName });
    }
    return found;
}

TListRow SameArtistRow(const TSameArtistFile& file, int imageIndex)
{
    return TListRow { file.file,
        { QStringLiteral("same artist, not similar enough"), file.folder, file.artist }, imageIndex,
        TListRow::Kind::Unfiled };
}

} // namespace plumtide
