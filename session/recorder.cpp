#include "session/recorder.h"

#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"
#include "session/recovery.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <cstring>
#include <sys/file.h>

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

namespace
{

// The file and its journal files, set aside together under one dated name; returns the name
// of the file.
QString setAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int attempt = 1;; ++attempt) {
        const QString aside
            = QStringLiteral("%1.damaged-%2%3")
                  .arg(path, stamp, attempt == 1 ? QString() : QStringLiteral("-%1").arg(attempt));
        const int error = RenameNoReplace(path, aside);
        if (error == EEXIST && attempt < 100)
            continue;
        if (error != 0)
            throw HistoryError(QStringLiteral("Cannot set the damaged history %1 aside: %2")
                                   .arg(path, QString::fromLocal8Bit(strerror(error))));
        for (const char* journal : { "-wal", "-shm", "-journal" }) {
            const QString from = path + QLatin1String(journal);
            if (KindOfPath(from) != PathKind::Missing)
                RenameNoReplace(from, aside + QLatin1String(journal));
        }
        return aside;
    }
}

} // namespace

TRunRecorder::TRunRecorder(TRunOrigin origin, const QString& source, const QString& destination,
    const QString& historyPath, qint64 undoes, bool keep)
    : m_origin(origin)
    , m_destination(destination)
{
    // An undo needs the disk to itself; runs only need to know that no undo is under way.
    const bool undo = origin == TRunOrigin::Undo;
    try {
        CreateFolders(FolderOf(historyPath));
    } catch (const IOError& error) {
        if (keep)
            throw HistoryError(error.message());
    }
    TLockedFile lock = TryLockFile(RunLockPath(historyPath), undo);
    m_lock = std::move(lock.file);
    if (lock.error == EWOULDBLOCK) {
        if (!undo)
            throw UndoUnderWay();
        // Sorts share the lock; only an undo holds it alone.
        if (TryLockFile(RunLockPath(historyPath), false).error == EWOULDBLOCK)
            throw UndoUnderWay();
        throw PlumtideError(QStringLiteral("A sort is under way; undo once it has ended"));
    }
    if (lock.error != 0 && keep)
        throw HistoryError(
            QStringLiteral("Cannot lock %1: %2")
                .arg(RunLockPath(historyPath), QString::fromLocal8Bit(strerror(lock.error))));
    if (!keep)
        return;
    try {
        open(historyPath, undo);
        // What killed runs left is settled before this run's first change.
        Recover(*m_history);
        if (ReleasesHolds(origin))
            m_history->releaseAll();
        m_run = m_history->beginRun(origin, source, destination, undoes);
    } catch (const HistoryError& error) {
        throw HistoryError(
            QStringLiteral("Nothing is changed, since the history cannot be kept: %1")
                .arg(error.message()));
    }
}

void TRunRecorder::open(const QString& historyPath, bool undo)
{
    try {
        m_history = std::make_unique<THistory>(historyPath, THistory::Access::Write);
        return;
    } catch (const HistoryDamaged& damaged) {
        // Set aside only while no other run has it open: they hold the run lock too.
        if (!undo && ::flock(m_lock.get(), LOCK_EX | LOCK_NB) != 0)
            throw HistoryError(QStringLiteral("The history %1 is damaged (%2); it is set aside "
                                              "and a new one begun once no other run is under "
                                              "way")
                                   .arg(historyPath, damaged.message()));
        const QString aside = setAside(historyPath);
        m_notice = QStringLiteral("The history was damaged (%1); it was set aside as %2 and a "
                                  "new one begun")
                       .arg(damaged.message(), aside);
        if (!undo)
            ::flock(m_lock.get(), LOCK_SH);
    }
    m_history = std::make_unique<THistory>(historyPath, THistory::Access::Write);
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
    m_problem = QStringLiteral("the history could not be written: %1").arg(why);
    m_history.reset();
    m_queue.clear();
    m_expected.clear();
    m_expectedIds.clear();
    m_corrected.clear();
}

void TRunRecorder::throwIfFailed() const
{
    if (!m_problem.isEmpty())
        throw HistoryError(m_problem);
}

THistoryRecord TRunRecorder::recordOf(const TMoveEvent& event) const
{
    THistoryRecord record = RecordOf(event);
    // The current folder is asked once a run (a system call), not twice a record: the
    // program never changes it.
    const auto absolute = [this](const QString& path) {
        if (path.isEmpty() || !IsRelativePath(path))
            return AbsolutePath(path);
        if (m_currentFolder.isEmpty())
            m_currentFolder = QDir::currentPath();
        return QDir::cleanPath(JoinPath(m_currentFolder, path));
    };
    record.file = absolute(record.file);
    record.target = absolute(record.target);
    return record;
}

namespace
{

bool sameEvent(const TMoveEvent& a, const TMoveEvent& b)
{
    return a.outcome == b.outcome && a.file == b.file && a.target == b.target
        && a.reason == b.reason && a.size == b.size && a.modified == b.modified
        && a.trashed == b.trashed && a.targetKept == b.targetKept && a.restores == b.restores
        && a.companion == b.companion;
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
        // The group is not made.
        failed(error.message());
        throwIfFailed();
    }
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
    // in bounded transactions. A failure stops the run at its next change, not while it
    // reports what is already done.
    if (m_queue.size() >= 1024) {
        try {
            checkpoint();
        } catch (const HistoryError&) {
        }
    }
}

void TRunRecorder::checkpoint()
{
    throwIfFailed();
    if (!m_history || m_queue.empty())
        return;
    try {
        m_history->addRecords(m_run, m_queue);
        m_queue.clear();
    } catch (const PlumtideError& error) {
        failed(error.message());
        throwIfFailed();
    }
}

void TRunRecorder::finish(const TMoveSummary& summary)
{
    m_finished = true;
    try {
        checkpoint();
    } catch (const HistoryError&) {
        if (summary.end != TRunEnd::Failed)
            throw;
        return;
    }
    if (!m_history)
        return;
    try {
        // A group cut short by an error: the disk says what became of its moves.
        if (!m_expected.empty()) {
            SettleRun(*m_history, m_run);
            m_expected.clear();
        }
        if ((IsAutomatic(m_origin) || m_origin == TRunOrigin::Create) && !m_changed)
            m_history->forgetRun(m_run);
        else
            m_history->endRun(m_run, summary.end);
        m_history->prune(THistory::kDefaultDays);
    } catch (const PlumtideError& error) {
        failed(error.message());
        if (summary.end != TRunEnd::Failed)
            throwIfFailed();
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
