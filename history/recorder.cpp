#include "history/recorder.h"

#include "platform/locks.h"
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
    TLockedFile lock = TryLockFile(RunLockPath(historyPath), undo);
    m_lock = std::move(lock.file);
    if (lock.error == EWOULDBLOCK) {
        if (undo)
            throw PlumtideError(QStringLiteral("A sort is under way; undo once it has ended"));
        throw UndoUnderWay();
    }
    try {
        if (ReleasesHolds(origin))
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
        TMoveSummary unfinished;
        unfinished.end = TRunEnd::Failed;
        finish(unfinished);
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

void TRunRecorder::record(const TMoveEvent& event)
{
    if (!m_history)
        return;
    THistoryRecord record = RecordOf(event);
    record.file = AbsolutePath(record.file);
    record.target = AbsolutePath(record.target);
    m_changed = m_changed || UndoTakesBack(record.outcome);
    m_queue.push_back(std::move(record));
    // A long run of records without a checkpoint in between (a big group) is still written
    // in bounded transactions.
    if (m_queue.size() >= 1024)
        checkpoint();
}

void TRunRecorder::checkpoint()
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

void TRunRecorder::finish(const TMoveSummary& summary)
{
    m_finished = true;
    checkpoint();
    if (!m_history)
        return;
    try {
        if ((IsAutomatic(m_origin) || m_origin == TRunOrigin::Create) && !m_changed)
            m_history->forgetRun(m_run);
        else
            m_history->endRun(m_run, summary.end);
        m_history->prune(THistory::kDefaultDays);
    } catch (const PlumtideError& error) {
        failed(error.message());
    }
}

THeldFiles LoadHolds(const QString& historyPath)
{
    try {
        return THistory(historyPath, THistory::Access::Read).holds();
    } catch (const PlumtideError&) {
        return {};
    }
}

} // namespace plumtide
