#pragma once

#include "core/pump.h"
#include "core/rows.h"

#include <QStringList>

#include <vector>

namespace plumtide
{

// What sort planning decides: every (file, folder) pair that reaches the compare
// percentage, files in list order and, per file, the best-scoring folder first (equal scores
// in list order), since the move takes a file's first row; and the artists
// that have no folder yet, in the order found, without duplicates (ignoring case).
struct TSortPlan {
    std::vector<TPlanRow> rows;
    QStringList newArtists;
    bool aborted = false;
};

// Plans the sort of `files` into `folders` (both as the refresh listed them) at the compare
// percentage `percentage`:
// - a key shorter than 4 characters gets no rows and is never a new artist;
// - a folder whose relative name (computed again from its path below `destination`; a path
//   not longer than `destination` is used whole) scores >= percentage gets a plan row;
// - when some folder scores below the percentage, the file's key normalised once more is a
//   new artist unless some folder's listed relative name scores strictly more than the
//   percentage against it, or it contains ".MP3" (a key taken from a bare file name);
// - with no folders at all, every key of 4 characters or more is a new artist.
// The pump runs before each file; once it asks to stop, the rows found so far are kept.
//
// The result equals that of scoring every pair with ArtistSimilarity, but each name is
// prepared once, files with the same key are scored once, and pairs whose lengths alone
// keep them below the percentage are not scored at all.
TSortPlan PlanSort(const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders,
    const QString& destination, int percentage, Pump& pump);

// The name a plan row's folder is scored by: its path below `destination`, or the whole
// path when it is not longer than `destination`.
QString PlanningName(const QString& destination, const QString& folderPath);

// Shortest key that is planned at all.
inline constexpr qsizetype MinimumPlannedKeyLength = 4;

} // namespace plumtide
