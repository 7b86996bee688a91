#pragma once

#include "core/moving/moveevents.h"
#include "core/planning/leaveout.h"
#include "core/runlog.h"
#include "core/summary.h"
#include "history/sqlite.h"
#include "platform/descriptor.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace plumtide
{

// Where a run stands. The numbers are what the history stores: never change one.
enum class TRunState : quint8 {
    Running = 1, // while a live process runs it
    Done = 2,
    Aborted = 3, // also a run that was killed
    Failed = 4,
    Undone = 5,
    PartlyUndone = 6,
};
const char* StateName(TRunState state);

// One run as the history keeps it.
struct THistoryRun {
    qint64 id = 0;
    QDateTime started;
    QDateTime ended; // invalid while it runs, and for a run that was killed
    TRunOrigin origin = TRunOrigin::Cli;
    QString source; // absolute, as every path of the history
    QString destination;
    qint64 files = 0; // files it moved, deleted or restored
    TRunState state = TRunState::Running;
    qint64 undoes = 0; // an undo: the run it took back
};

// What happened to one file (or folder) of a run.
struct THistoryRecord {
    qint64 id = 0;
    TMoveOutcome outcome = TMoveOutcome::Skipped;
    QString file {}; // the file, or the folder of created and not-created
    QString target {}; // where it went
    QString reason {}; // in the words it was given then
    qint64 size = -1; // of the file moved, deleted or restored
    qint64 modified = 0; // its modification time, nanoseconds since the epoch
    QString trashed {}; // a deleted file's place in the Trash
    bool targetKept = false; // see TMoveEvent
    qint64 restores = 0; // a restored record: the record it took back
    qint64 restoredBy = 0; // the undo run that took this one back
    // A move written before it was made, until it is confirmed or settled (see addRecords).
    TPending pending = TPending::None;
    // A move that travelled with the song recorded just before it (see TMoveEvent); unknown
    // in the records of versions that did not say.
    std::optional<bool> companion {};
};

// The record of an event, its paths as they were given.
THistoryRecord RecordOf(const TMoveEvent& event);

// What recovery finds of runs that ended (killed, or their recording failed) with moves
// written down but not confirmed: which of them happened. Deciding only looks at the disk.
struct TRecovery {
    struct TRun {
        qint64 id = 0;
        std::vector<qint64> kept; // happened: shown, and confirmed when recovery acts
        std::vector<qint64> dropped; // never happened
        // Moves across file systems cut between the copy and the deletion of their source
        // (both places hold the same bytes): acting finishes them, the source deleted.
        std::vector<std::pair<QString, QString>> cut; // source, target
    };
    std::vector<TRun> runs;

    // The sources that acting would delete: a dry run takes them as gone.
    QStringList finishedSources() const;
};

// The history database: every run with what happened to each of its files, and the files
// an undo brought back. SQLite, in WAL mode so that readers never wait for a run that is
// recording; several processes may write to it at once.
//
// A run writes the moves of a group (and its deletions and folders made) before it makes
// them, as pending records, and confirms them once they are on disk. Pending records of a
// run under way are not shown (records(), counts, undo). A run under way is one that holds
// its byte of the live-runs lock file beside the history (see TryLockByte): never judged by a
// process id, which another namespace or a later boot may give to another process.
//
// Opening the history, even for writing, never changes the disk beyond the database itself,
// and opening it for reading never changes anything: an older schema is brought up to date
// in memory, and the pending records of runs no longer under way are judged in memory
// (recovery()) and shown as the next run will keep them. That run, holding the run lock,
// acts on the same judgement (Recover in session/recovery.h): a move whose target holds the file
// with the recorded size and modification time, and whose source is gone (a copy's source stays),
// happened; a deletion whose file is gone happened; a folder made that is there happened; a
// move cut between its copy and the deletion of its source is finished (the source deleted
// while it has the copy's very bytes and nobody uses it); any other is dropped.
class THistory
{
public:
    enum class Access { Read, Write };

    // ${XDG_STATE_HOME:-~/.local/state}/Plumtide/history.sqlite
    static QString DefaultPath();
    // How long runs are kept when nothing else is said.
    static constexpr int kDefaultDays = 365;

    // Opens the file. For writing (by a caller holding the run lock: see TRunRecorder in
    // session/recorder.h) it and its folder are made when missing and the schema is created
    // or brought up to date, in one transaction, so two runs that start at once make it once.
    // Throws HistoryError when it cannot: a folder it may not make, a read-only file, a file
    // that is not a Plumtide history, or one that a newer Plumtide wrote; HistoryDamaged where
    // SQLite finds the file damaged or not a database. For reading, a missing file is an
    // empty history.
    THistory(const QString& path, Access access);
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    const QString& path() const { return m_path; }

    // A new run under way; returns its id. The folders are kept absolute. The run holds its
    // byte of the live-runs lock until it ends or this object goes.
    qint64 beginRun(
        TRunOrigin origin, const QString& source, const QString& destination, qint64 undoes = 0);
    // Adds records to a run in one transaction; returns their ids. A restored record also
    // marks the record it took back and holds the restored file (see holds()). A pending
    // record does so, and counts as a file of the run, only once it is confirmed; records
    // with pending ones among them are on disk before this returns, whatever happens next.
    std::vector<qint64> addRecords(qint64 run, const std::vector<THistoryRecord>& records);
    // Confirms the run's pending records in one transaction, each as it is written now except
    // those in `corrected` (by id), which are written as given: a move that could not be
    // made, as the file's skip.
    void confirmRecords(qint64 run, const std::vector<THistoryRecord>& corrected = {});
    // What recovery would do now: it only looks (see above). Of a reader: what it shows.
    TRecovery recovery() const;
    // The judgement of one run's pending records now; an id of 0 when it has none.
    TRecovery::TRun judgeRun(qint64 run) const;
    // The pending records of a run that move `file` to `target`.
    std::vector<qint64> pendingMoves(qint64 run, const QString& file, const QString& target) const;
    // Writes a judgement down: drops what never happened, confirms the rest. The files are
    // the caller's (see Recover in session/recovery.h): a store changes no file.
    void settle(const TRecovery::TRun& judged);
    // A run's lock in the live-runs lock file, to settle a run no longer under way while
    // nobody else does; false when another holds it.
    bool lockRun(qint64 run);
    void unlockRun(qint64 run);
    void endRun(qint64 run, TRunEnd end);
    void setState(qint64 run, TRunState state);
    // Removes a run and its records.
    void forgetRun(qint64 run);
    // Removes the runs that started more than `days` days ago; returns how many.
    int prune(int days);

    // Every run, newest first.
    std::vector<THistoryRun> runs() const;
    std::optional<THistoryRun> run(qint64 id) const;
    // A run's records in the order they happened.
    std::vector<THistoryRecord> records(qint64 run) const;
    // The files moved (into their folders, or set aside as doubles) whose path starts with
    // `stem`, and that no undo took back, newest first (at most 16).
    std::vector<TKeptMove> movesFrom(const QString& stem) const;
    // The newest run that an undo can take back: not itself an undo, not (partly) undone,
    // and with a file moved or trashed that no undo brought back yet.
    std::optional<qint64> lastUndoable() const;
    // Of a run: how many records an undo could take back, and how many it did.
    std::pair<int, int> restoredCount(qint64 run) const;

    // Files an undo brought back, with their size and modification time then: automatic
    // runs leave them where they are until they change.
    THeldFiles holds() const;
    void release(const QString& path);
    void releaseAll();

private:
    void openForWriting();
    void openForReading();
    void create();
    void migrate(qint64 from);
    // Judges the pending records of `run` (see above).
    TRecovery::TRun judge(qint64 run, qint64 from) const;
    bool underWay(qint64 run, TRunState state) const;
    // The first record of the run's group not confirmed yet; 0 when none.
    qint64 pendingFrom(qint64 run) const;
    THistoryRun runFrom(const class TStatement& row) const;

    QString m_path;
    std::unique_ptr<TSqlite> m_db;
    FileDescriptor m_live; // the live-runs lock file
    std::vector<qint64> m_ownRuns; // the runs this object began, and holds the locks of
};

// The lock file beside a history whose bytes the runs under way hold (see THistory).
QString LiveRunsPath(const QString& historyPath);

// The ISO 8601 form of a moment in the history: local time with its offset from UTC.
QString IsoTime(const QDateTime& moment);

} // namespace plumtide
