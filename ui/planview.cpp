#include "ui/planview.h"

#include "core/matching/artistmatch.h"
#include "core/matching/carefulmatch.h"
#include "platform/paths.h"
#include "ui/frmmainlayout.h"
#include "ui/listview.h"

#include <QFontMetrics>

#include <algorithm>

namespace plumtide
{

namespace
{

QString counted(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

TOtherArtistMarker::TOtherArtistMarker(
    const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders)
    : m_files(files)
    , m_folders(folders)
    , m_folderKeys(folders.size())
    , m_folded(folders.size(), false)
{
}

const QString& TOtherArtistMarker::folderKey(qint32 folder)
{
    const auto at = static_cast<size_t>(folder);
    if (!m_folded[at]) {
        m_folderKeys[at] = FoldArtist(FileNameOf(m_folders[at].path));
        m_folded[at] = true;
    }
    return m_folderKeys[at];
}

bool TOtherArtistMarker::mark(TPlanEntry& entry)
{
    entry.otherArtist = false;
    if (entry.match != TMatchKind::Similar || entry.file < 0 || entry.folder < 0
        || size_t(entry.file) >= m_files.size() || size_t(entry.folder) >= m_folders.size())
        return false;
    if (entry.file != m_file) {
        m_file = entry.file;
        m_fileKeys = ArtistCandidates(PlanArtistOf(m_files[size_t(entry.file)]));
    }
    const QString& key = folderKey(entry.folder);
    entry.otherArtist = key.isEmpty() || !m_fileKeys.contains(key);
    return entry.otherArtist;
}

QString PlanArtistOf(const TSourceRow& file)
{
    return ArtistTextOf(file.artist, FileNameOf(file.path));
}

QStringList PlanFolderNames(const std::vector<TFolderRow>& folders)
{
    QStringList names;
    names.reserve(qsizetype(folders.size()));
    for (const TFolderRow& folder : folders)
        names.append(folder.relativeName);
    return names;
}

QStringList PlanArtists(const std::vector<TSourceRow>& files)
{
    QStringList artists;
    artists.reserve(qsizetype(files.size()));
    for (const TSourceRow& file : files)
        artists.append(PlanArtistOf(file));
    return artists;
}

QStringList PlanCountLines(const TPlanCounts& counts)
{
    QStringList lines { QStringLiteral("%1, %2, %3")
                            .arg(counted(counts.files, "file", "files"),
                                counted(counts.rows, "row", "rows"),
                                counted(counts.newArtists, "new artist", "new artists")) };
    if (counts.otherArtist > 0)
        lines.append(QStringLiteral("%1: %2").arg(
            counted(counts.otherArtist, "row", "rows"), QLatin1String(kOtherArtistHint)));
    return lines;
}

void LayOutPlanColumns(TListView& view)
{
    const QFontMetrics metrics(view.font());
    const int percent = std::max(metrics.horizontalAdvance(FormatScore(66.6, QLocale())),
                            metrics.horizontalAdvance(QStringLiteral("assigned")))
        + view.iconSize().width() + 16;
    // The view's frame and the panel's edge: what stays in sight while the panel is open.
    const int beside = kNewArtistsPanelPlace.left() - view.x() - 2;
    const int folder = 150;
    view.setTextElideMode(Qt::ElideLeft);
    view.setColumnWidth(0, beside - percent - folder);
    view.setColumnWidth(1, percent);
    view.setColumnWidth(2, folder);
    view.setColumnWidth(3, 240);
}

} // namespace plumtide
