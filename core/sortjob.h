#pragma once

#include "core/mover.h"
#include "core/planner.h"
#include "core/pump.h"

#include <QString>
#include <QStringList>

#include <optional>

#include <functional>

namespace plumtide
{

// One sort from start to end, as a command starts it: both folders listed, the plan made,
// folders created for new artists (when asked; then planned again), the plan carried out,
// and what happened counted.
struct TSortJob {
    QString source;
    QString destination;
    int percentage = 37;
    TMoveSettings move;
    bool createArtistFolders = false;
    // Decide everything and report it, change nothing.
    bool dryRun = false;
    // Who started it, for the history (see RunRecordedSortJob in history/recorder.h).
    TRunOrigin origin = TRunOrigin::Cli;
    // Source files it returns true for are left out of the plan.
    std::function<bool(const QString& file)> leaveOut;
    // Only these files of the source (those still there), instead of every mp3 file below
    // it: what a watch found settled, leaving out files still being written.
    std::optional<QStringList> files;
};

// What a sort job tells its caller as it goes. Every hook has a default that does nothing.
class TSortJobObserver
{
public:
    enum class Phase { Scanning, Reading, Planning, Creating, Moving };

    virtual ~TSortJobObserver() = default;
    // A phase begins; `total` is the number of steps it will count (0: unknown). Planning
    // counts one pump call per planned file, moving one outcome per plan row.
    virtual void phase(Phase, long long total) { Q_UNUSED(total) }
    // A folder was created for a new artist (in a dry run: would be).
    virtual void created(const QString& folder) { Q_UNUSED(folder) }
    // A new artist's folder could not be made; the job goes on without it.
    virtual void notCreated(const QString& folder, const QString& reason)
    {
        Q_UNUSED(folder)
        Q_UNUSED(reason)
    }
    virtual void outcome(const TMoveEvent& event) { Q_UNUSED(event) }
    // The job ended: completed, aborted by the pump, or failed (the error then escapes
    // after this call).
    virtual void finished(const TMoveSummary& summary) { Q_UNUSED(summary) }
    // The history cannot record this run (see RunRecordedSortJob); said once, and the run
    // goes on.
    virtual void notRecorded(const QString& why) { Q_UNUSED(why) }
};

// Runs the job: plan, then decide and act (or, in a dry run, decide only), then summary.
// An error that ends the run escapes as IOError once `finished` has seen the summary.
TMoveSummary RunSortJob(
    const TSortJob& job, Pump& pump, DetailsSink& details, TSortJobObserver& observer);

} // namespace plumtide
