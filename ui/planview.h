#pragma once

// What the plan view shows beside the plan's own rows, and what Details says of a plan:
// decided here without widgets.

#include "core/planning/planner.h"
#include "core/rows.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace plumtide
{

// The tooltip of a plan row whose folder only has a similar name.
inline constexpr const char* kOtherArtistHint = "similar name, not the same artist";

// Marks rows of the similar rule whose folder is not the file's artist by the careful key
// (FoldArtist of the folder's own name among the keys of the file's artist, as careful
// matching tries them): "Pink Floyd - Money.mp3" in `Pink`, not "Queen feat. X" in `Queen`.
// Rows that careful matching or an assignment chose are never marked. Each folder's key is
// folded once; a file's keys once for its rows, which come together.
class TOtherArtistMarker
{
public:
    // Both lists as the plan's entries index them; they must outlive the marker.
    TOtherArtistMarker(
        const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders);

    // Sets `entry.otherArtist`; true when it is set.
    bool mark(TPlanEntry& entry);

private:
    const QString& folderKey(qint32 folder);

    const std::vector<TSourceRow>& m_files;
    const std::vector<TFolderRow>& m_folders;
    std::vector<QString> m_folderKeys;
    std::vector<bool> m_folded;
    qint32 m_file = -1;
    QStringList m_fileKeys;
};

// The artist a plan row shows for a file: its tag's artist, or the artist of a file name
// that reads "Artist - Title" when the tag has none.
QString PlanArtistOf(const TSourceRow& file);

// The plan view's texts by the lists' indexes: each folder below the destination, each
// file's artist (PlanArtistOf).
QStringList PlanFolderNames(const std::vector<TFolderRow>& folders);
QStringList PlanArtists(const std::vector<TSourceRow>& files);

// What a plan holds, for Details after planning.
struct TPlanCounts {
    qsizetype files = 0; // files with at least one row
    qsizetype rows = 0;
    qsizetype newArtists = 0;
    qsizetype otherArtist = 0; // rows marked by TOtherArtistMarker
};
// Counts the rows of `entries` (a file's rows come together).
template <typename Entries> TPlanCounts CountPlan(const Entries& entries, qsizetype newArtists)
{
    TPlanCounts counts;
    counts.newArtists = newArtists;
    qint32 file = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TPlanEntry& entry = entries[i];
        counts.files += entry.file != file;
        file = entry.file;
        ++counts.rows;
        counts.otherArtist += entry.otherArtist;
    }
    return counts;
}
// "2 files, 3 rows, 1 new artist", and "3 rows: similar name, not the same artist" when
// there are such rows.
QStringList PlanCountLines(const TPlanCounts& counts);

class TListView;

// The plan view's columns: the file, its score (wide enough for a score to a tenth, or
// "assigned", and the mark) and its folder left of where the new-artists panel opens, the artist
// after them; long texts lose their start, so that a file's and a folder's own names stay.
void LayOutPlanColumns(TListView& view);

} // namespace plumtide
