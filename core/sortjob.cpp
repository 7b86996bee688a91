#include "core/sortjob.h"

#include "core/listing.h"
#include "core/scanner.h"
#include "platform/errors.h"
#include "platform/fileops.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace plumtide
{

namespace
{

using Phase = TSortJobObserver::Phase;

// The folders below the destination as a run that created `extra` would list them.
std::vector<TFolderRow> withFolders(
    const std::vector<TFolderRow>& folders, const QStringList& extra, const QString& destination)
{
    QStringList paths;
    for (const TFolderRow& row : folders)
        paths.append(row.path);
    paths.append(extra);
    SortPaths(paths);
    std::vector<TFolderRow> result;
    result.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : std::as_const(paths))
        result.push_back({ path, RelativeFolderName(destination, path) });
    return result;
}

// Plans without keeping rows (they are made again, one at a time, as the move takes them):
// the new artists, and how many rows there are.
TSortPlan plan(TSortPlanner& planner, const std::vector<TSourceRow>& files, Pump& pump,
    TSortJobObserver& observer, long long& rows)
{
    observer.phase(Phase::Planning,
        std::count_if(files.begin(), files.end(),
            [](const TSourceRow& row) { return row.key.size() >= MinimumPlannedKeyLength; }));
    rows = 0;
    return planner.plan(pump, [&](const std::vector<TPlanEntry>& entries) {
        rows += static_cast<long long>(entries.size());
    });
}

// A dry run: what the executor would do, row by row, against the disk as it is.
bool decideOnly(const std::function<bool(TPlanRow&)>& rows, const TSortJob& job,
    const QStringList& assumed, Pump& pump, TSortJobObserver& observer, TMoveSummary& summary)
{
    const TDiskView disk;
    return DecideMoves(
        rows, job.move, disk, pump,
        [&](const TMoveAction& action) {
            if (action.kind == TActionKind::Stop)
                throw IOError(action.reason, action.target, ENOENT);
            const TMoveEvent event = EventOf(action);
            summary.count(event);
            observer.outcome(event);
        },
        assumed);
}

// The rows of the given files, in list order; files no longer there are left out.
std::vector<TSourceRow> givenFiles(QStringList paths, Pump& pump, DetailsSink& details)
{
    SortPaths(paths);
    std::vector<TSourceRow> rows;
    rows.reserve(static_cast<size_t>(paths.size()));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        details.clear();
        details.addLine(QStringLiteral("Files: %1/%2").arg(i).arg(paths.size()));
        if (!pump.keepGoing())
            break;
        if (KindOfPath(paths.at(i)) == PathKind::File)
            rows.push_back(ReadSourceRow(paths.at(i)));
    }
    return rows;
}

} // namespace

TMoveSummary RunSortJob(
    const TSortJob& job, Pump& pump, DetailsSink& details, TSortJobObserver& observer)
{
    TMoveSummary summary;
    TSortJob run = job;
    run.move.sourceFolder = job.source;
    run.move.destinationFolder = job.destination;
    std::unique_ptr<TMoveRun> move;
    try {
        observer.phase(Phase::Scanning, 0);
        std::vector<TFolderRow> folders = ListDestinationFolders(job.destination, pump, details);
        observer.phase(Phase::Reading, 0);
        std::vector<TSourceRow> files = job.files ? givenFiles(*job.files, pump, details)
                                                  : ListSourceFiles(job.source, pump, details);
        if (job.leaveOut)
            std::erase_if(files, [&](const TSourceRow& row) { return job.leaveOut(row.path); });
        auto planner
            = std::make_unique<TSortPlanner>(files, folders, job.destination, job.percentage);
        long long rows = 0;
        TSortPlan result = plan(*planner, files, pump, observer, rows);

        QStringList created;
        if (job.createArtistFolders && !result.newArtists.isEmpty() && !pump.abortRequested()) {
            observer.phase(Phase::Creating, result.newArtists.size());
            if (job.dryRun) {
                for (const QString& key : std::as_const(result.newArtists)) {
                    const QString folder = JoinPath(job.destination, key);
                    if (KindOfPath(folder) != PathKind::Folder) {
                        created.append(folder);
                        observer.created(folder);
                    }
                }
                folders = withFolders(folders, created, job.destination);
            } else {
                CreateArtistFolders(
                    job.destination, result.newArtists,
                    [&](const QString& folder) { observer.created(folder); },
                    [&](const QString& folder, const QString& reason) {
                        observer.notCreated(folder, reason);
                    });
                folders = ListDestinationFolders(job.destination, pump, details);
            }
            planner
                = std::make_unique<TSortPlanner>(files, folders, job.destination, job.percentage);
            result = plan(*planner, files, pump, observer, rows);
        }

        observer.phase(Phase::Moving, rows);
        // The rows of an aborted plan end where it stopped.
        long long left = rows;
        const auto next = [&](TPlanRow& row) { return left-- > 0 && planner->next(row); };
        bool completed = false;
        if (job.dryRun) {
            completed = decideOnly(next, run, created, pump, observer, summary);
        } else {
            move = std::make_unique<TMoveRun>(
                run.move, [&](const TMoveEvent& event) { observer.outcome(event); });
            completed = move->run(next, pump);
            summary = move->summary();
        }
        summary.end = completed && !pump.abortRequested() ? TRunEnd::Completed : TRunEnd::Aborted;
    } catch (const std::exception& error) {
        if (move)
            summary = move->summary();
        summary.end = TRunEnd::Failed;
        summary.failure = QString::fromUtf8(error.what());
        observer.finished(summary);
        throw;
    }
    observer.finished(summary);
    return summary;
}

} // namespace plumtide
