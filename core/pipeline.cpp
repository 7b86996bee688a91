#include "core/pipeline.h"

#include "core/moving/companions.h"
#include "core/planning/carefulplanner.h"
#include "core/planning/listing.h"
#include "core/planning/scanner.h"

#include <algorithm>

namespace plumtide
{

namespace
{

using Phase = TPlanObserver::Phase;

// The folders below the destination as a run that made `extra` would list them.
std::vector<TFolderRow> withFolders(
    const std::vector<TFolderRow>& folders, const QStringList& extra, const QString& destination)
{
    QStringList paths;
    for (const TFolderRow& row : folders)
        paths.append(row.path);
    for (const QString& folder : extra) {
        if (!paths.contains(folder))
            paths.append(folder);
    }
    SortPaths(paths);
    std::vector<TFolderRow> result;
    result.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : std::as_const(paths))
        result.push_back({ path, RelativeFolderName(destination, path) });
    return result;
}

} // namespace

class TPlannedSort::Impl
{
public:
    void listFolders(Pump& pump, DetailsSink& details, TPlanObserver& observer)
    {
        observer.phase(Phase::Scanning, 0);
        folders = ListDestinationFolders(
            request.destination, pump, details,
            [&](const TFolderRow& row) { observer.folderListed(row); }, request.doublesFolder);
    }

    void listFiles(Pump& pump, DetailsSink& details, TPlanObserver& observer)
    {
        observer.phase(Phase::Reading, 0);
        ForEachSourceFile(
            request.source, pump, details,
            [&](TSourceRow&& row) {
                observer.fileListed(row);
                files.push_back(std::move(row));
            },
            request.leaveOut,
            [&](const TLeftOut& file) {
                leftOut.push_back(file);
                observer.leftOut(file);
            },
            request.files, request.formats, request.companions ? &strays : nullptr);
        aborted = pump.abortRequested();
    }

    void plan(Pump& pump, TPlanObserver& observer)
    {
        if (request.matching == TMatching::Careful) {
            auto careful = std::make_unique<TCarefulPlanner>(
                files, folders, request.destination, request.assignments, request.acceptOneOff);
            for (const TAssignment& gone : careful->missingAssignments())
                observer.assignmentIgnored(gone);
            planner = std::move(careful);
        } else {
            const TAssignmentIndex assigned(request.assignments, folders);
            for (const TAssignment& gone : assigned.missing())
                observer.assignmentIgnored(gone);
            planner = std::make_unique<TSortPlanner>(files, folders, request.destination,
                request.percentage, AssignedFolders(files, assigned));
        }
        observer.planning(files, folders);
        observer.phase(Phase::Planning,
            std::count_if(files.begin(), files.end(),
                [](const TSourceRow& row) { return row.key.size() >= MinimumPlannedKeyLength; }));
        rowCount = 0;
        unfiled.clear();
        std::vector<bool> filed(files.size(), false);
        const TSortPlan result = planner->plan(pump, [&](const std::vector<TPlanEntry>& rows) {
            rowCount += static_cast<long long>(rows.size());
            if (!rows.empty())
                filed[size_t(rows.front().file)] = true;
            observer.planned(rows);
        });
        newArtists = result.newArtists;
        aborted = aborted || result.aborted;
        if (aborted)
            return;
        for (size_t i = 0; i < files.size(); ++i) {
            if (!filed[i])
                unfiled.push_back(planner->unfiled(qint32(i)));
        }
    }

    TSortRequest request;
    std::vector<TFolderRow> folders;
    std::vector<TSourceRow> files;
    std::vector<TLeftOut> leftOut;
    QStringList strays;
    QStringList newArtists;
    bool aborted = false;
    long long rowCount = 0;
    std::vector<TUnfiledEntry> unfiled;
    std::unique_ptr<TPlanner> planner;
};

TPlannedSort::TPlannedSort()
    : m_impl(std::make_unique<Impl>())
{
}

TPlannedSort::~TPlannedSort() = default;
TPlannedSort::TPlannedSort(TPlannedSort&&) noexcept = default;
TPlannedSort& TPlannedSort::operator=(TPlannedSort&&) noexcept = default;

const TSortRequest& TPlannedSort::request() const
{
    return m_impl->request;
}

const std::vector<TFolderRow>& TPlannedSort::folders() const
{
    return m_impl->folders;
}

const std::vector<TSourceRow>& TPlannedSort::files() const
{
    return m_impl->files;
}

const std::vector<TLeftOut>& TPlannedSort::leftOut() const
{
    return m_impl->leftOut;
}

const QStringList& TPlannedSort::strays() const
{
    return m_impl->strays;
}

const QStringList& TPlannedSort::newArtists() const
{
    return m_impl->newArtists;
}

bool TPlannedSort::aborted() const
{
    return m_impl->aborted;
}

long long TPlannedSort::rowCount() const
{
    return m_impl->rowCount;
}

const std::vector<TUnfiledEntry>& TPlannedSort::unfiled() const
{
    return m_impl->unfiled;
}

void TPlannedSort::plan(Pump& pump, TPlanObserver& observer)
{
    m_impl->plan(pump, observer);
}

void TPlannedSort::planAgain(
    Pump& pump, DetailsSink& details, TPlanObserver& observer, const QStringList& assumed)
{
    if (assumed.isEmpty())
        m_impl->listFolders(pump, details, observer);
    else
        m_impl->folders = withFolders(m_impl->folders, assumed, m_impl->request.destination);
    m_impl->plan(pump, observer);
}

TWorkSource TPlannedSort::work() const
{
    Impl* impl = m_impl.get();
    return [impl, left = size_t { 0 }, stray = qsizetype { 0 }, rows = impl->rowCount](
               TWorkItem& item) mutable {
        if (left < impl->leftOut.size()) {
            item = impl->leftOut[left++];
            return true;
        }
        if (stray < impl->strays.size()) {
            item = StrayOf(impl->strays.at(stray++), impl->request.keptMoves);
            return true;
        }
        // The rows of an aborted plan end where it stopped.
        TPlanRow row;
        if (rows <= 0 || !impl->planner || !impl->planner->next(row))
            return false;
        --rows;
        item = std::move(row);
        return true;
    };
}

QStringList TPlannedSort::filePaths() const
{
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(m_impl->files.size()));
    for (const TSourceRow& file : m_impl->files)
        paths.append(file.path);
    return paths;
}

TPlannedSort PlanSortRun(const TSortRequest& request, Pump& pump, DetailsSink& details,
    TPlanObserver& observer, bool listOnly)
{
    TPlannedSort sort;
    TPlannedSort::Impl& impl = *sort.m_impl;
    impl.request = request;
    impl.listFolders(pump, details, observer);
    impl.listFiles(pump, details, observer);
    if (!listOnly)
        impl.plan(pump, observer);
    return sort;
}

namespace
{

// The run log gets its checkpoint between two items, where nothing is half done.
class CheckpointPump : public Pump
{
public:
    CheckpointPump(TRunLog* log, Pump& inner)
        : m_log(log)
        , m_inner(inner)
    {
    }
    void processEvents() override
    {
        if (m_log)
            m_log->checkpoint();
        m_inner.processEvents();
    }
    bool abortRequested() const override { return m_inner.abortRequested(); }

private:
    TRunLog* m_log;
    Pump& m_inner;
};

} // namespace

TMoveSummary CarryOut(TCarryOut how, const TWorkSource& work, const QStringList& files, Pump& pump,
    TRunLog* log, const MoveReporter& report, TMoveSummary* summary)
{
    const auto ended = [&](const TMoveSummary& done) {
        if (summary)
            *summary = done;
        if (log)
            log->finish(done);
        return done;
    };
    // A song moves only with its companions, so a sort by hand waits for theirs too: lyrics
    // an undo just put back are as recent as the song.
    QStringList waitFor = files;
    if (how.move.moveCompanions && how.leaveOut.waitsOut()) {
        for (const QString& file : files) {
            for (const QString& companion : CompanionCandidates(file)) {
                if (KindOfPath(companion) == PathKind::File)
                    waitFor.append(companion);
            }
        }
    }
    if (!how.leaveOut.waitOut(waitFor, pump)) {
        TMoveSummary aborted;
        aborted.end = TRunEnd::Aborted;
        return ended(aborted);
    }
    TMoveRun run(how, report, log);
    CheckpointPump checkpoints(log, pump);
    try {
        run.run(work, checkpoints);
    } catch (...) {
        ended(run.summary());
        throw;
    }
    return ended(run.summary());
}

} // namespace plumtide
