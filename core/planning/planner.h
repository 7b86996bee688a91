#pragma once

#include "core/pump.h"
#include "core/reasons.h"
#include "core/rows.h"

#include <QStringList>

#include <functional>
#include <memory>
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

// One plan row by number: the file's index in the files planned, the folder's in the
// folders, and the score. Twenty-four bytes, where a TPlanRow holds two paths.
struct TPlanEntry {
    qint32 file;
    qint32 folder;
    double score;
    TMatchKind match = TMatchKind::Similar;
    // A similar name whose folder is not the file's artist's (set by whoever shows the plan;
    // it fits in what the alignment leaves free).
    bool otherArtist = false;
};

// A planned file that got no row, and why; `folders` are the folders in question (indexes
// into the folders), for the reasons that have them.
struct TUnfiledEntry {
    qint32 file;
    TUnfiledReason reason = TUnfiledReason::NoFolder;
    std::vector<qint32> folders {};
};

// What planning the files of one run gives: each planned file's rows as they are made, and
// then the same rows again one at a time for carrying them out.
class TPlanner
{
public:
    virtual ~TPlanner() = default;
    // Plans every file in order, the pump run before each planned file: `onRows` sees each
    // planned file's rows, best first (possibly none). Returns the new artists, and whether
    // the pump stopped it; never rows.
    virtual TSortPlan plan(
        Pump& pump, const std::function<void(const std::vector<TPlanEntry>&)>& onRows)
        = 0;
    // The plan's rows one at a time, made as they are asked for: false after the last one.
    // Independent of plan(); runs no pump.
    virtual bool next(TPlanRow& row) = 0;
    // Why `file`, which plan() gave no rows, stays unfiled: no folder scored enough (or its
    // key is too short to be planned at all), unless a planner knows better.
    virtual TUnfiledEntry unfiled(qint32 file) const { return { file }; }
};

// The sort planner plans `files` into `folders` (both as the refresh listed them) at the
// compare percentage `percentage`:
// - a key shorter than 4 characters gets no rows and is never a new artist;
// - a folder whose relative name (computed again from its path below `destination`; a path
//   not longer than `destination` is used whole) scores >= percentage gets a plan row;
// - when some folder scores below the percentage, the file's key normalised once more is a
//   new artist unless some folder's listed relative name scores strictly more than the
//   percentage against it, or it contains ".MP3" (a key taken from a bare file name), or
//   careful matching finds the folder of the same artist (TMatchKind::Same): "QUEEN" is no
//   new artist beside "Rock/Queen", and such a file, left without rows, is unfiled as
//   TUnfiledReason::SameArtist with that folder;
// - with no folders at all, every key of 4 characters or more is a new artist.
// The pump runs before each file; once it asks to stop, the rows found so far are kept.
//
// The result equals that of scoring every pair with ArtistSimilarity, but each name is
// prepared once, files with the same key are scored once, and pairs whose lengths alone
// keep them below the percentage are not scored at all.
//
// The rows are handed over as they are made instead of kept, so that the memory a plan needs
// stays the same however many rows it has: a caller writes them out, carries them out or
// keeps them as numbers. The files and folders must outlive
// the planner and stay as they are.
//
// Names are prepared once and stored by length, each length group's names side by side;
// a key shared by several files is scored once (its rows are kept for the next file with
// that key while they fit a fixed budget, and scored again otherwise).
//
// A file the user assigned to a folder (`assigned`, one folder index per file, -1 for none;
// empty when nothing is assigned) has that folder as its one row, whatever its key, and is
// never a new artist.
class TSortPlanner : public TPlanner
{
public:
    TSortPlanner(const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders,
        const QString& destination, int percentage, std::vector<qint32> assigned = {});
    ~TSortPlanner() override;
    TSortPlanner(const TSortPlanner&) = delete;
    TSortPlanner& operator=(const TSortPlanner&) = delete;

    TSortPlan plan(
        Pump& pump, const std::function<void(const std::vector<TPlanEntry>&)>& onRows) override;
    bool next(TPlanRow& row) override;
    TUnfiledEntry unfiled(qint32 file) const override;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// The name a plan row's folder is scored by: its path below `destination`, or the whole
// path when it is not longer than `destination`.
QString PlanningName(const QString& destination, const QString& folderPath);

// Shortest key that is planned at all.
inline constexpr qsizetype MinimumPlannedKeyLength = 4;

} // namespace plumtide
