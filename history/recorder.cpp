#include "history/recorder.h"

#include "platform/paths.h"

#include <cerrno>

namespace plumtide
{

UndoUnderWay::UndoUnderWay()
    : PlumtideError(QStringLiteral("An undo is under way; no sort starts until it has ended"))
{
}

QString RunLockPath(const QString& historyPath)
{
    return FolderOf(historyPath) + QStringLiteral("/runs.lock");
}

TRunRecorder::TRunRecorder(TRunOrigin origin, const QString& source, const QString& destination,
    const QString& historyPath, qint64 undoes)
    : m_origin(origin)
{
    try {
        m_history = std::make_unique<THistory>(historyPath, THistory::Access::Write);
    } catch (const PlumtideError& error) {
        m_problem = error.message();
        return;
    }
    // An undo needs the disk to itself; runs only need to know that no undo is under way.
    const bool undo = origin == TRunOrigin::Undo;
    m_lock = TryLockFile(RunLockPath(historyPath), undo);
    if (!m_lock.isOpen() && errno == EWOULDBLOCK) {
        if (undo)
            throw PlumtideError(QStringLiteral("A sort is under way; undo once it has ended"));
        throw UndoUnderWay();
    }
    try {
        m_history->prune(THistory::kDefaultDays);
        if (origin == TRunOrigin::Window || origin == TRunOrigin::Cli)
            m_history->releaseAll();
        m_run = m_history->beginRun(origin, source, destination, undoes);
    } catch (const PlumtideError& error) {
        failed(error.message());
    }
}

TRunRecorder::~TRunRecorder()
{
    if (m_finished)
        return;
    try {
        finish(TRunEnd::Failed);
    } catch (...) {
        // Nothing more can be recorded; the run's record says it was under way.
    }
}

void TRunRecorder::failed(const QString& why)
{
    m_problem = why;
    m_history.reset();
    m_queue.clear();
}

void TRunRecorder::add(const TMoveEvent& event)
{
    add(RecordOf(event));
}

void TRunRecorder::add(const THistoryRecord& record)
{
    if (!m_history)
        return;
    m_changed = m_changed || ChangedFiles(record.outcome);
    m_queue.push_back(record);
    // A long run of records without a pump in between (a big group) is still written in
    // bounded transactions.
    if (m_queue.size() >= 1024)
        flush();
}

void TRunRecorder::flush()
{
    if (!m_history || m_queue.empty())
        return;
    try {
        m_history->addRecords(m_run, m_queue);
        m_queue.clear();
    } catch (const PlumtideError& error) {
        failed(error.message());
    }
}

void TRunRecorder::finish(TRunEnd end)
{
    m_finished = true;
    flush();
    if (!m_history)
        return;
    try {
        if (IsAutomatic(m_origin) && !m_changed)
            m_history->forgetRun(m_run);
        else
            m_history->endRun(m_run, end);
    } catch (const PlumtideError& error) {
        failed(error.message());
    }
}

MoveReporter TRunRecorder::reporter(MoveReporter next)
{
    return [this, next = std::move(next)](const TMoveEvent& event) {
        add(event);
        if (next)
            next(event);
    };
}

void TRunRecorder::RecordingPump::processEvents()
{
    m_recorder.flush();
    m_inner.processEvents();
}

std::function<bool(const QString& file)> HeldByUndo(const QString& historyPath)
{
    QHash<QString, THistory::THeld> holds;
    try {
        holds = THistory(historyPath, THistory::Access::Read).holds();
    } catch (const PlumtideError&) {
        return {};
    }
    if (holds.isEmpty())
        return {};
    return [holds = std::move(holds)](const QString& file) {
        const auto held = holds.constFind(file);
        if (held == holds.constEnd())
            return false;
        const TFileStatus status = StatusOf(file);
        return status.kind == PathKind::File && status.size == held->size
            && status.modified == held->modified;
    };
}

namespace
{

// Hands everything on to the caller's observer, recording what happened on the way.
class RecordingObserver : public TSortJobObserver
{
public:
    RecordingObserver(TRunRecorder& recorder, TSortJobObserver& inner)
        : m_recorder(recorder)
        , m_inner(inner)
    {
        tellProblem();
    }

    void phase(Phase phase, long long total) override { m_inner.phase(phase, total); }
    void created(const QString& folder) override
    {
        m_recorder.add(THistoryRecord { .outcome = QStringLiteral("created"), .file = folder });
        m_inner.created(folder);
    }
    void notCreated(const QString& folder, const QString& reason) override
    {
        m_recorder.add(THistoryRecord {
            .outcome = QStringLiteral("not-created"), .file = folder, .reason = reason });
        m_inner.notCreated(folder, reason);
    }
    void outcome(const TMoveEvent& event) override
    {
        m_recorder.add(event);
        m_inner.outcome(event);
    }
    void finished(const TMoveSummary& summary) override
    {
        m_recorder.finish(summary.end);
        tellProblem();
        m_inner.finished(summary);
    }
    void notRecorded(const QString& why) override { m_inner.notRecorded(why); }

private:
    void tellProblem()
    {
        if (!m_told && !m_recorder.problem().isEmpty()) {
            m_told = true;
            m_inner.notRecorded(m_recorder.problem());
        }
    }

    TRunRecorder& m_recorder;
    TSortJobObserver& m_inner;
    bool m_told = false;
};

} // namespace

TMoveSummary RunRecordedSortJob(const TSortJob& job, Pump& pump, DetailsSink& details,
    TSortJobObserver& observer, const QString& historyPath)
{
    TSortJob run = job;
    if (IsAutomatic(job.origin)) {
        if (auto held = HeldByUndo(historyPath)) {
            run.leaveOut = [held = std::move(held), before = job.leaveOut](const QString& file) {
                return held(file) || (before && before(file));
            };
        }
    }
    if (job.dryRun)
        return RunSortJob(run, pump, details, observer);
    TRunRecorder recorder(job.origin, job.source, job.destination, historyPath);
    RecordingObserver recording(recorder, observer);
    TRunRecorder::RecordingPump recordingPump(recorder, pump);
    return RunSortJob(run, recordingPump, details, recording);
}

} // namespace plumtide
