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
    , m_destination(destination)
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
    m_expected.clear();
    m_expectedIds.clear();
    m_corrected.clear();
}

THistoryRecord TRunRecorder::recordOf(const TMoveEvent& event) const
{
    THistoryRecord record = RecordOf(event);
    record.file = AbsolutePath(record.file);
    record.target = AbsolutePath(record.target);
    return record;
}

namespace
{

bool sameEvent(const TMoveEvent& a, const TMoveEvent& b)
{
    return a.outcome == b.outcome && a.file == b.file && a.target == b.target
        && a.reason == b.reason && a.size == b.size && a.modified == b.modified
        && a.trashed == b.trashed && a.targetKept == b.targetKept && a.restores == b.restores;
}

} // namespace

void TRunRecorder::expect(const std::vector<TExpectedEvent>& group)
{
    checkpoint();
    if (!m_history)
        return;
    std::vector<THistoryRecord> records;
    records.reserve(group.size());
    for (const TExpectedEvent& expected : group) {
        records.push_back(recordOf(expected.event));
        records.back().pending = expected.pending;
    }
    try {
        m_expectedIds = m_history->addRecords(m_run, records);
        m_expected = group;
        m_confirmed = 0;
        m_corrected.clear();
    } catch (const PlumtideError& error) {
        failed(error.message());
    }
}

std::vector<TKeptMove> TRunRecorder::movesFrom(const QString& stem) const
{
    if (!m_history)
        return {};
    const QString absolute = AbsolutePath(stem);
    std::vector<TKeptMove> moves;
    try {
        moves = m_history->movesFrom(absolute);
    } catch (const PlumtideError&) {
        // Only a companion that stays for now: the run itself is still recorded.
        return {};
    }
    // Named as the run names its files: it may have been given them from another folder.
    const QString destination = AbsolutePath(m_destination) + QLatin1Char('/');
    for (TKeptMove& move : moves) {
        move.file = stem + move.file.mid(absolute.size());
        if (move.target.startsWith(destination))
            move.target = JoinPath(m_destination, move.target.mid(destination.size()));
    }
    return moves;
}

void TRunRecorder::record(const TMoveEvent& event)
{
    if (!m_history)
        return;
    m_changed = m_changed || UndoTakesBack(event.outcome);
    if (m_confirmed < m_expected.size()) {
        const size_t at = m_confirmed++;
        if (!sameEvent(m_expected[at].event, event)) {
            THistoryRecord record = recordOf(event);
            record.id = m_expectedIds[at];
            m_corrected.push_back(std::move(record));
        }
        // The whole group is on disk: its records are true.
        if (m_confirmed == m_expected.size()) {
            try {
                m_history->confirmRecords(m_run, m_corrected);
                m_expected.clear();
                m_corrected.clear();
            } catch (const PlumtideError& error) {
                failed(error.message());
            }
        }
        return;
    }
    m_queue.push_back(recordOf(event));
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
        // A group cut short by an error: the disk says what became of its moves.
        if (!m_expected.empty()) {
            m_history->settle(m_run);
            m_expected.clear();
        }
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
