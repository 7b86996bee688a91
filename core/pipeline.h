#pragma once

#include "core/matching/assignments.h"
#include "core/moving/movedecisions.h"
#include "core/moving/mover.h"
#include "core/planning/leaveout.h"
#include "core/planning/planner.h"
#include "core/pump.h"
#include "core/rows.h"
#include "core/runlog.h"
#include "core/summary.h"
#include "formats/audioformat.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace plumtide
{

// Every sort, however it starts (the window's buttons, its automatic runs and menus,
// plumtide-cli plan, sort and watch, an undo), goes through two entry points:
// - PlanSortRun lists both folders, leaves out what the leave-out policy says, plans, and
//   finds the new artists;
// - CarryOut decides each item of a run (a left-out file, a folder to make, a plan row, a
//   command of the source list's menu, a record an undo takes back) against the disk as it
//   is then, acts on it, reports it to the run log and summarises.
// Recording wraps carrying out: the history implements TRunLog; nothing here knows it.

// What a sort works on.
struct TSortRequest {
    QString source;
    QString destination;
    // Where doubles are set aside: never a folder to file into, even inside the destination.
    QString doublesFolder;
    int percentage = 37;
    TMatching matching = TMatching::Similar;
    // Careful matching files a file one letter off a folder's name there, rather than only
    // suggesting that folder.
    bool acceptOneOff = false;
    // Artists the user assigned to folders: their files go there in either way of matching.
    TAssignments assignments;
    TLeaveOutPolicy leaveOut;
    // The files listed, by their extension: mp3 alone unless the user asks for more.
    TFileFormats formats;
    // Only these files of the source (those still there), instead of every music file of
    // `formats` below it: what a watch found settled.
    std::optional<QStringList> files;
    // Whether companions left in the source without their song follow it (see
    // TStrayCompanion): when companions move with their songs.
    bool companions = false;
    // Where their songs went, as the history keeps it; none without one.
    TKeptMovesLookup keptMoves;
};

// What planning tells its caller as it goes; every hook does nothing by default.
class TPlanObserver
{
public:
    enum class Phase { Scanning, Reading, Planning };

    virtual ~TPlanObserver() = default;
    // A phase begins; `total` is the number of steps it will count (0: unknown). Planning
    // counts one pump call per planned file.
    virtual void phase(Phase, long long total) { Q_UNUSED(total) }
    virtual void folderListed(const TFolderRow& row) { Q_UNUSED(row) }
    virtual void fileListed(const TSourceRow& row) { Q_UNUSED(row) }
    virtual void leftOut(const TLeftOut& file) { Q_UNUSED(file) }
    // Planning begins with these lists (they stay where they are until the plan goes).
    virtual void planning(
        const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders)
    {
        Q_UNUSED(files)
        Q_UNUSED(folders)
    }
    // An assignment whose folder is gone: it is ignored (said once per run).
    virtual void assignmentIgnored(const TAssignment& assignment) { Q_UNUSED(assignment) }
    // One planned file's rows, best first (possibly none); the entries index the lists.
    virtual void planned(const std::vector<TPlanEntry>& rows) { Q_UNUSED(rows) }
};

// A sort planned: the lists it was made from, the files it left out, the new artists, and
// its rows, made again one at a time as they are carried out, so that a plan of any size
// is carried out in the same memory.
class TPlannedSort
{
public:
    TPlannedSort();
    ~TPlannedSort();
    TPlannedSort(TPlannedSort&&) noexcept;
    TPlannedSort& operator=(TPlannedSort&&) noexcept;

    const TSortRequest& request() const;
    const std::vector<TFolderRow>& folders() const;
    const std::vector<TSourceRow>& files() const;
    const std::vector<TLeftOut>& leftOut() const;
    // The companions left in the source without their song (with TSortRequest::companions).
    const QStringList& strays() const;
    const QStringList& newArtists() const;
    // Whether the pump stopped the listing or the planning.
    bool aborted() const;
    // How many rows the plan has.
    long long rowCount() const;
    // The files the plan gave no row, in list order, and why: after a plan that went
    // through every file (none while it was stopped).
    const std::vector<TUnfiledEntry>& unfiled() const;

    // Plans what was listed (after PlanSortRun with `listOnly`).
    void plan(Pump& pump, TPlanObserver& observer);
    // The folders are listed again (or, in a dry run, `assumed` are taken as made) and the
    // files planned again: after folders were made for new artists.
    void planAgain(
        Pump& pump, DetailsSink& details, TPlanObserver& observer, const QStringList& assumed = {});

    // What carrying out the plan is given: the files left out, the companions left without
    // their song, then the plan's rows (made as they are asked for; the plan must outlive the
    // source).
    TWorkSource work() const;
    // The paths of the listed files.
    QStringList filePaths() const;

private:
    friend TPlannedSort PlanSortRun(const TSortRequest&, Pump&, DetailsSink&, TPlanObserver&, bool);
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// Entry point one. Lists the destination's folders and the source's files (handing each
// row to `observer` as it is read), leaves out what the request's policy says, and, unless
// `listOnly` (a refresh of the window's lists), plans: each planned file's rows go to
// `observer` as they are made, and the new artists are kept.
TPlannedSort PlanSortRun(const TSortRequest& request, Pump& pump, DetailsSink& details,
    TPlanObserver& observer, bool listOnly = false);

// Entry point two. Carries out `work` in order (see TMoveRun): a sort by hand first waits
// out the settle time of `files` once (see TLeaveOutPolicy::waitOut). Each event goes to
// `log` (when given) once it is true on disk, then to `report`; the log also learns the
// moves of each group before they are made (TRunLog::expect). The pump runs before each
// item, after the log had its checkpoint. The log is finished however the run ends, and
// `summary` (when given) then holds what the run did; an error that ends the run escapes
// (as IOError) after that.
TMoveSummary CarryOut(TCarryOut how, const TWorkSource& work, const QStringList& files, Pump& pump,
    TRunLog* log, const MoveReporter& report = {}, TMoveSummary* summary = nullptr);

} // namespace plumtide
