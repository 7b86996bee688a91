#include "session/session.h"

#include "core/reasons.h"
#include "session/recorder.h"

#include <QSet>

namespace plumtide
{

// The run log of a session: the folders made go to their own run when they are kept apart,
// the rest to the run's.
class TRunSession::Log : public TRunLog
{
public:
    Log(TRunLog* folders, TRunLog* rest)
        : m_folders(folders)
        , m_rest(rest)
    {
    }

    // The pump of the work carried out, told before each group of changes.
    void setPump(Pump* pump) { m_pump = pump; }

    // Each log learns the changes of its own part of a group before they are made, so that
    // a run killed meanwhile leaves none of them out of the history.
    void expect(const std::vector<TExpectedEvent>& group) override
    {
        if (m_pump)
            m_pump->beforeChanges();
        std::vector<TExpectedEvent> folders;
        std::vector<TExpectedEvent> rest;
        for (const TExpectedEvent& event : group)
            (m_folders && NamesFolder(event.event.outcome) ? folders : rest).push_back(event);
        if (!folders.empty())
            m_folders->expect(folders);
        if (!rest.empty())
            m_rest->expect(rest);
    }
    void record(const TMoveEvent& event) override
    {
        if (m_folders && NamesFolder(event.outcome)) {
            m_folders->record(event);
            m_folderSummary.count(event);
        } else {
            m_rest->record(event);
        }
    }
    void checkpoint() override
    {
        if (m_folders)
            m_folders->checkpoint();
        m_rest->checkpoint();
    }
    void finish(const TMoveSummary& summary) override
    {
        if (m_folders) {
            m_folderSummary.end = summary.end;
            m_folders->finish(m_folderSummary);
        }
        m_rest->finish(summary);
    }

private:
    TRunLog* m_folders;
    TRunLog* m_rest;
    Pump* m_pump = nullptr;
    TMoveSummary m_folderSummary;
};

TRunSession::TRunSession(const TStart& start)
    : m_start(start)
{
    m_summary.end = TRunEnd::Failed;
    if (start.dryRun)
        return;
    if (start.foldersApart)
        m_folders = std::make_unique<TRunRecorder>(TRunOrigin::Create, start.source,
            start.destination, start.historyPath, 0, start.keepHistory);
    m_recorder = std::make_unique<TRunRecorder>(start.origin, start.source, start.destination,
        start.historyPath, start.undoes, start.keepHistory);
    for (const TRunRecorder* recorder : { m_folders.get(), m_recorder.get() }) {
        if (recorder && !recorder->notice().isEmpty())
            m_notices.append(recorder->notice());
    }
    m_log = std::make_unique<Log>(m_folders.get(), m_recorder.get());
}

TRunSession::~TRunSession() = default;

THistory* TRunSession::history() const
{
    return m_recorder ? m_recorder->history() : nullptr;
}

TMoveSummary TRunSession::carryOut(const TCarryOut& how, const TWorkSource& work,
    const QStringList& files, Pump& pump, const MoveReporter& report)
{
    TCarryOut asked = how;
    asked.dryRun = asked.dryRun || m_start.dryRun;
    m_summary = TMoveSummary();
    m_summary.end = TRunEnd::Failed;
    if (m_log)
        m_log->setPump(&pump);
    try {
        return CarryOut(
            asked, work, files, pump, m_log.get(),
            [&](const TMoveEvent& event) {
                m_left.see(event);
                if (m_start.hook.on() && event.outcome == TMoveOutcome::Moved)
                    m_moved.emplace_back(event.file, event.target);
                if (report)
                    report(event);
            },
            &m_summary);
    } catch (const std::exception& error) {
        // The history may fail as the run ends: the run then failed all the same.
        if (m_summary.end != TRunEnd::Failed) {
            m_summary.end = TRunEnd::Failed;
            m_summary.failure = QString::fromUtf8(error.what());
        }
        throw;
    }
}

void TRunSession::completed(const TPlannedSort& plan)
{
    // A run stopped half-way may not have planned again with the folders it made.
    if (m_summary.end != TRunEnd::Completed)
        return;
    QStringList listed = plan.filePaths();
    QSet<QString> kept;
    for (const TUnfiledEntry& entry : plan.unfiled()) {
        if (!CountsAsLeft(entry.reason))
            kept.insert(plan.files()[size_t(entry.file)].path);
    }
    if (!kept.isEmpty())
        listed.removeIf([&](const QString& file) { return kept.contains(file); });
    m_left.completed(listed);
}

QString TRunSession::tellHook(
    Pump& pump, const std::vector<TLeftOut>& newlyLeft, const QString& error)
{
    // Nothing waits on the hook: not an undo, not the next run.
    m_log.reset();
    m_recorder.reset();
    m_folders.reset();
    if (!m_start.hook.on() || m_start.dryRun)
        return {};
    THookRun run;
    const TMoveSummary& summary = m_summary;
    if (!error.isEmpty())
        run.event = THookEvent::Error;
    else if (!newlyLeft.empty())
        run.event = THookEvent::NeedsAttention;
    else if (summary.moved + summary.doublesMoved + summary.doublesDeleted + summary.smallDeleted
        == 0)
        return {};
    run.summary = summary;
    run.moved = std::move(m_moved);
    run.left = left();
    run.error = error;
    return RunHook(m_start.hook, run, &pump);
}

QString TRunSession::tellHookNotStarted(const TStart& start, Pump& pump, const QString& error)
{
    if (!start.hook.on() || start.dryRun)
        return {};
    THookRun run;
    run.event = THookEvent::Error;
    run.summary.end = TRunEnd::Failed;
    run.summary.failure = error;
    run.error = error;
    return RunHook(start.hook, run, &pump);
}

TRunStatus TRunSession::status() const
{
    switch (m_summary.end) {
    case TRunEnd::Failed:
        return TRunStatus::Failed;
    case TRunEnd::Aborted:
        return TRunStatus::Interrupted;
    case TRunEnd::Completed:
        break;
    }
    return m_left.any() || m_leftForLater > 0 ? TRunStatus::FilesLeft : TRunStatus::Done;
}

} // namespace plumtide
