#include "history/history.h"

#include "core/moving/fileutils.h"
#include "platform/filestatus.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include <algorithm>

namespace plumtide
{

namespace
{

// "PlTd": marks the file as a Plumtide history for whoever finds it.
constexpr qint64 kApplicationId = 0x506C5464;
constexpr qint64 kSchemaVersion = 4;

const char* const kSchema = R"(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    started INTEGER NOT NULL,
    ended INTEGER,
    origin INTEGER NOT NULL,
    source TEXT NOT NULL,
    destination TEXT NOT NULL,
    files INTEGER NOT NULL DEFAULT 0,
    state INTEGER NOT NULL,
    pid INTEGER,
    undoes INTEGER,
    pending_from INTEGER
);
CREATE INDEX runs_started ON runs(started);
CREATE INDEX runs_pending ON runs(pending_from) WHERE pending_from IS NOT NULL;
CREATE TABLE records (
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    outcome INTEGER NOT NULL,
    file TEXT NOT NULL,
    target TEXT NOT NULL DEFAULT '',
    reason TEXT NOT NULL DEFAULT '',
    size INTEGER NOT NULL DEFAULT -1,
    modified INTEGER NOT NULL DEFAULT 0,
    trashed TEXT NOT NULL DEFAULT '',
    kept INTEGER NOT NULL DEFAULT 0,
    restores INTEGER,
    restored_by INTEGER,
    pending INTEGER NOT NULL DEFAULT 0,
    companion INTEGER
);
CREATE INDEX records_run ON records(run, id);
CREATE INDEX records_file ON records(file);
CREATE TABLE holds (
    path TEXT PRIMARY KEY,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE
);
CREATE INDEX holds_run ON holds(run);
)";

// Version 1 kept origins, states and outcomes as their words; version 2 keeps the numbers
// of TRunOrigin, TRunState and TMoveOutcome. The two tables are made anew with the numbers
// (a column's type cannot change in place) and take the place of the old ones.
const char* const kMigrateFrom1 = R"(
CREATE TABLE runs_2 (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    started INTEGER NOT NULL,
    ended INTEGER,
    origin INTEGER NOT NULL,
    source TEXT NOT NULL,
    destination TEXT NOT NULL,
    files INTEGER NOT NULL DEFAULT 0,
    state INTEGER NOT NULL,
    pid INTEGER,
    undoes INTEGER
);
INSERT INTO runs_2 SELECT id, started, ended,
    CASE origin WHEN 'window' THEN 1 WHEN 'auto' THEN 2 WHEN 'menu' THEN 3 WHEN 'cli' THEN 4
        WHEN 'watch' THEN 5 WHEN 'undo' THEN 6 ELSE 0 END,
    source, destination, files,
    CASE state WHEN 'running' THEN 1 WHEN 'done' THEN 2 WHEN 'aborted' THEN 3 WHEN 'failed' THEN 4
        WHEN 'undone' THEN 5 WHEN 'partly-undone' THEN 6 ELSE 3 END,
    pid, undoes FROM runs;
CREATE TABLE records_2 (
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    outcome INTEGER NOT NULL,
    file TEXT NOT NULL,
    target TEXT NOT NULL DEFAULT '',
    reason TEXT NOT NULL DEFAULT '',
    size INTEGER NOT NULL DEFAULT -1,
    modified INTEGER NOT NULL DEFAULT 0,
    trashed TEXT NOT NULL DEFAULT '',
    kept INTEGER NOT NULL DEFAULT 0,
    restores INTEGER,
    restored_by INTEGER
);
INSERT INTO records_2 SELECT id, run,
    CASE outcome WHEN 'moved' THEN 1 WHEN 'double-moved' THEN 2 WHEN 'double-deleted' THEN 3
        WHEN 'double-kept' THEN 4 WHEN 'small-deleted' THEN 5 WHEN 'skipped' THEN 6
        WHEN 'in-place' THEN 7 WHEN 'created' THEN 8 WHEN 'not-created' THEN 9
        WHEN 'deleted' THEN 10 WHEN 'restored' THEN 11 WHEN 'not-restored' THEN 12 ELSE 0 END,
    file, target, reason, size, modified, trashed, kept, restores, restored_by FROM records;
DROP TABLE records;
DROP TABLE runs;
ALTER TABLE runs_2 RENAME TO runs;
ALTER TABLE records_2 RENAME TO records;
CREATE INDEX runs_started ON runs(started);
CREATE INDEX records_run ON records(run, id);
)";

// Version 3 writes the moves of a group before they are made: records.pending says how
// such a record is judged (the numbers of TPending), and runs.pending_from is the first
// record of the group written but not yet confirmed. Confirming a group is then one change
// to its run, whatever its size.
const char* const kMigrateFrom2 = R"(
ALTER TABLE records ADD COLUMN pending INTEGER NOT NULL DEFAULT 0;
ALTER TABLE runs ADD COLUMN pending_from INTEGER;
CREATE INDEX runs_pending ON runs(pending_from) WHERE pending_from IS NOT NULL;
)";

// Version 4 says of a move whether it travelled with the song recorded just before it
// (records.companion, 0 or 1); older records leave it unknown.
const char* const kMigrateFrom3 = R"(
ALTER TABLE records ADD COLUMN companion INTEGER;
)";

// The records that are shown: all but those of a group not yet confirmed.
const char* const kShown
    = "(records.pending = 0 OR records.id < IFNULL((SELECT pending_from FROM runs AS owner WHERE "
      "owner.id = records.run), records.id + 1) OR records.id IN temp.settled)";

// The outcomes a run's file count counts (ChangedFiles), and those an undo takes back
// (UndoTakesBack): the files a run changed, and the folders it made.
// The numbers of the outcomes `which` holds for, as an SQL list: "(1, 2, 5)".
QString outcomeList(bool (*which)(TMoveOutcome))
{
    QStringList numbers;
    for (int value = 1; IsKnownOutcome(value); ++value) {
        if (which(TMoveOutcome(value)))
            numbers.append(QString::number(value));
    }
    return QLatin1Char('(') + numbers.join(QLatin1String(", ")) + QLatin1Char(')');
}

const QString& changedOutcomes()
{
    static const QString list = outcomeList(ChangedFiles);
    return list;
}

const QString& takenBackOutcomes()
{
    static const QString list = outcomeList(UndoTakesBack);
    return list;
}

// A run's files count what recovery keeps as well (see THistory: a reader shows them).
const QString& runColumns()
{
    static const QString columns
        = QStringLiteral("id, started, ended, origin, source, destination, files + (SELECT "
                         "count(*) FROM records WHERE run = runs.id AND id IN temp.settled AND "
                         "outcome IN %1), state, pid, undoes")
              .arg(changedOutcomes());
    return columns;
}

TRunState stateOf(TRunEnd end)
{
    switch (end) {
    case TRunEnd::Completed:
        return TRunState::Done;
    case TRunEnd::Aborted:
        return TRunState::Aborted;
    case TRunEnd::Failed:
        return TRunState::Failed;
    }
    return TRunState::Failed;
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

const char* StateName(TRunState state)
{
    switch (state) {
    case TRunState::Running:
        return "running";
    case TRunState::Done:
        return "done";
    case TRunState::Aborted:
        return "aborted";
    case TRunState::Failed:
        return "failed";
    case TRunState::Undone:
        return "undone";
    case TRunState::PartlyUndone:
        return "partly-undone";
    }
    return "";
}

THistoryRecord RecordOf(const TMoveEvent& event)
{
    THistoryRecord record;
    record.outcome = event.outcome;
    record.file = event.file;
    record.target = event.target;
    record.reason = ReasonText(event.reason);
    if (event.reason == TReason::NameTaken)
        record.reason += QStringLiteral(", filed as ") + FileNameOf(event.target);
    record.size = event.size;
    record.modified = event.modified;
    record.trashed = event.trashed;
    record.targetKept = event.targetKept;
    record.companion = event.companion;
    // Only a file brought back (or a folder removed) takes its record back; one left names
    // none.
    const bool takenBack
        = event.outcome == TMoveOutcome::Restored || event.outcome == TMoveOutcome::Removed;
    record.restores = takenBack ? event.restores : 0;
    return record;
}

QString IsoTime(const QDateTime& moment)
{
    if (!moment.isValid())
        return QString();
    const QDateTime local = moment.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString THistory::DefaultPath()
{
    return StateHome() + QStringLiteral("/Plumtide/history.sqlite");
}

QString LiveRunsPath(const QString& historyPath)
{
    return FolderOf(historyPath) + QStringLiteral("/runs.live");
}

QStringList TRecovery::finishedSources() const
{
    QStringList sources;
    for (const TRun& run : runs) {
        for (const auto& [source, target] : run.cut)
            sources.append(source);
    }
    return sources;
}

THistory::THistory(const QString& path, Access access)
    : m_path(path)
{
    if (access == Access::Write)
        openForWriting();
    else
        openForReading();
    // Records that recovery would keep are shown as kept; a writer keeps them for real
    // before it shows anything, so its table stays empty.
    if (m_db) {
        // In memory: a temporary file per run would cost more than the table ever holds.
        m_db->exec("PRAGMA temp_store=MEMORY; CREATE TEMP TABLE IF NOT EXISTS settled (id "
                   "INTEGER PRIMARY KEY)");
        if (access == Access::Read) {
            TStatement insert(*m_db, "INSERT OR IGNORE INTO temp.settled (id) VALUES (?)");
            for (const TRecovery::TRun& run : recovery().runs) {
                for (const qint64 id : run.kept)
                    insert.bind({ id }).run();
            }
        }
    }
}

namespace
{

enum class TSchema { Empty, Current, Older, Newer, Foreign };

TSchema schemaOf(TSqlite& db, qint64& version)
{
    // One statement, so one snapshot: another run may be making the schema meanwhile.
    TStatement read(db,
        "SELECT (SELECT user_version FROM pragma_user_version), (SELECT application_id FROM "
        "pragma_application_id), (SELECT count(*) FROM sqlite_master)");
    read.step();
    version = read.integer(0);
    const qint64 application = read.integer(1);
    if (version == 0 && application == 0)
        return read.integer(2) == 0 ? TSchema::Empty : TSchema::Foreign;
    if (application != kApplicationId)
        return TSchema::Foreign;
    if (version > kSchemaVersion)
        return TSchema::Newer;
    return version < kSchemaVersion ? TSchema::Older : TSchema::Current;
}

// The journal mode changes only while the file is this connection's alone, and SQLite does
// not wait for that (another run may be opening it at the same moment): tried again for as
// long as a write waits. A file in WAL mode already needs nothing.
void useWriteAheadLog(TSqlite& db)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        try {
            db.number("PRAGMA journal_mode=WAL");
            return;
        } catch (const HistoryDamaged&) {
            throw;
        } catch (const HistoryError&) {
            if (waited.elapsed() > 5000)
                throw;
        }
        QThread::msleep(5);
    }
}

[[noreturn]] void refuse(TSchema schema, const QString& path)
{
    if (schema == TSchema::Newer)
        throw HistoryError(
            QStringLiteral("%1 was written by a newer version of Plumtide").arg(path));
    throw HistoryError(QStringLiteral("%1 is not a Plumtide history").arg(path));
}

} // namespace

void THistory::openForWriting()
{
    try {
        CreateFolders(FolderOf(m_path));
    } catch (const IOError& error) {
        throw HistoryError(error.message());
    }
    m_live = FileDescriptor(::open(EncodePath(LiveRunsPath(m_path)).constData(),
        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_live.isOpen())
        throw HistoryError(QStringLiteral("Cannot open %1: %2")
                               .arg(LiveRunsPath(m_path), QString::fromLocal8Bit(strerror(errno))));
    m_db = std::make_unique<TSqlite>(m_path, true);
    if (m_db->readOnly())
        throw HistoryError(QStringLiteral("%1 is read-only").arg(m_path));
    qint64 version = 0;
    TSchema schema = schemaOf(*m_db, version);
    if (schema == TSchema::Newer || schema == TSchema::Foreign)
        refuse(schema, m_path);
    // Readers never wait for a writer; a kill loses nothing committed. The WAL is synced at
    // checkpoints only: a power cut may cost the last records, never a false one, since
    // records are written only once what they say is on disk. Dropping the old tables of a
    // migration must not cascade into the records being carried over: foreign keys are on
    // once the schema is settled.
    useWriteAheadLog(*m_db);
    m_db->exec("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF");
    {
        // Read again inside the write transaction: another run may have made it meanwhile.
        TTransaction transaction(*m_db);
        schema = schemaOf(*m_db, version);
        if (schema == TSchema::Empty)
            create();
        else if (schema == TSchema::Older)
            migrate(version);
        else if (schema != TSchema::Current)
            refuse(schema, m_path);
        // Where a file went is looked up by its path (movesFrom); older versions read a
        // history with the index as well.
        m_db->exec("CREATE INDEX IF NOT EXISTS records_file ON records(file)");
        transaction.commit();
    }
    m_db->exec("PRAGMA foreign_keys=ON");
}

void THistory::openForReading()
{
    if (KindOfPath(m_path) == PathKind::Missing)
        return;
    m_db = std::make_unique<TSqlite>(m_path, false);
    // A log that a killed run left stays as it is: the reader that closes last would
    // otherwise copy it into the file. (With none there, closing removes what opening made.)
    if (StatusOf(m_path + QStringLiteral("-wal")).size > 0)
        m_db->keepLogOnClose();
    qint64 version = 0;
    const TSchema schema = schemaOf(*m_db, version);
    if (schema == TSchema::Empty) {
        m_db.reset();
        return;
    }
    if (schema == TSchema::Newer || schema == TSchema::Foreign)
        refuse(schema, m_path);
    if (schema == TSchema::Older) {
        // Brought up to date in memory: only a run holding the run lock changes the file.
        m_db = m_db->copyInMemory();
        m_db->exec("PRAGMA foreign_keys=OFF");
        TTransaction transaction(*m_db);
        migrate(version);
        transaction.commit();
    }
    const QByteArray live = EncodePath(LiveRunsPath(m_path));
    m_live = FileDescriptor(::open(live.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
}

THistory::~THistory() = default;

// Both run inside the caller's transaction, with foreign keys off.
void THistory::create()
{
    m_db->exec(kSchema);
    m_db->exec(QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                   .arg(kApplicationId)
                   .arg(kSchemaVersion)
                   .toLatin1()
                   .constData());
}

void THistory::migrate(qint64 from)
{
    if (from < 2)
        m_db->exec(kMigrateFrom1);
    if (from < 3)
        m_db->exec(kMigrateFrom2);
    if (from < 4)
        m_db->exec(kMigrateFrom3);
    m_db->exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion).toLatin1().constData());
}

qint64 THistory::beginRun(
    TRunOrigin origin, const QString& source, const QString& destination, qint64 undoes)
{
    // The run holds its lock before anybody can see it.
    TTransaction transaction(*m_db);
    TStatement insert(*m_db,
        "INSERT INTO runs (started, origin, source, destination, state, pid, undoes) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)");
    insert
        .bind({ nowMs(), qint64(origin), AbsolutePath(source), AbsolutePath(destination),
            qint64(TRunState::Running), QCoreApplication::applicationPid(),
            undoes ? TSqlValue(undoes) : TSqlValue(nullptr) })
        .run();
    const qint64 run = m_db->lastInsertId();
    if (!TryLockByte(m_live, run))
        throw HistoryError(QStringLiteral("Cannot lock run %1 in %2: %3")
                               .arg(run)
                               .arg(LiveRunsPath(m_path), QString::fromLocal8Bit(strerror(errno))));
    transaction.commit();
    m_ownRuns.push_back(run);
    return run;
}

std::vector<qint64> THistory::addRecords(qint64 run, const std::vector<THistoryRecord>& records)
{
    std::vector<qint64> ids;
    if (records.empty())
        return ids;
    ids.reserve(records.size());
    // Pending moves are about to be made: they must be on disk first, also through a power
    // cut, or a move could happen that no record tells of.
    const bool pending = std::any_of(records.begin(), records.end(),
        [](const THistoryRecord& record) { return record.pending != TPending::None; });
    struct Durable {
        TSqlite& db;
        const bool on;
        Durable(TSqlite& db, bool on)
            : db(db)
            , on(on)
        {
            if (on)
                db.exec("PRAGMA synchronous=FULL");
        }
        ~Durable()
        {
            try {
                if (on)
                    db.exec("PRAGMA synchronous=NORMAL");
            } catch (const HistoryError&) {
                // Only slower: every commit of this connection is flushed.
            }
        }
    } durable(*m_db, pending);
    TTransaction transaction(*m_db);
    TStatement insert(*m_db,
        "INSERT INTO records (run, outcome, file, target, reason, size, modified, trashed, kept, "
        "restores, pending, companion) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    TStatement restored(*m_db, "UPDATE records SET restored_by = ? WHERE id = ?");
    TStatement hold(
        *m_db, "INSERT OR REPLACE INTO holds (path, size, modified, run) VALUES (?, ?, ?, ?)");
    qint64 changed = 0;
    for (const THistoryRecord& record : records) {
        insert
            .bind({ run, qint64(record.outcome), record.file, record.target, record.reason,
                record.size, record.modified, record.trashed, qint64(record.targetKept),
                record.restores ? TSqlValue(record.restores) : TSqlValue(nullptr),
                qint64(record.pending), qint64(record.companion.value_or(false)) })
            .run();
        ids.push_back(m_db->lastInsertId());
        if (record.pending != TPending::None)
            continue;
        if (ChangedFiles(record.outcome))
            ++changed;
        if (record.restores != 0)
            restored.bind({ run, record.restores }).run();
        if (record.restores != 0 && record.outcome == TMoveOutcome::Restored)
            hold.bind({ record.target, record.size, record.modified, run }).run();
    }
    TStatement count(*m_db, "UPDATE runs SET files = files + ? WHERE id = ?");
    count.bind({ changed, run }).run();
    if (pending) {
        TStatement(*m_db, "UPDATE runs SET pending_from = ? WHERE id = ? AND pending_from IS NULL")
            .bind({ ids.front(), run })
            .run();
    }
    transaction.commit();
    return ids;
}

void THistory::confirmRecords(qint64 run, const std::vector<THistoryRecord>& corrected)
{
    TTransaction transaction(*m_db);
    TStatement correct(*m_db,
        "UPDATE records SET outcome = ?, file = ?, target = ?, reason = ?, size = ?, "
        "modified = ?, trashed = ?, kept = ?, restores = ?, companion = ? WHERE id = ? AND "
        "run = ?");
    for (const THistoryRecord& record : corrected) {
        correct
            .bind({ qint64(record.outcome), record.file, record.target, record.reason, record.size,
                record.modified, record.trashed, qint64(record.targetKept),
                record.restores ? TSqlValue(record.restores) : TSqlValue(nullptr),
                qint64(record.companion.value_or(false)), record.id, run })
            .run();
    }
    // What addRecords does for each record that is not pending, for all of them at once.
    const char* const group = "run = ?1 AND pending <> 0 AND id >= (SELECT pending_from FROM "
                              "runs WHERE id = ?1)";
    const QByteArray confirm[] = {
        QStringLiteral("UPDATE records SET restored_by = ?1 WHERE id IN (SELECT restores FROM "
                       "records WHERE %1 AND restores IS NOT NULL)")
            .arg(QLatin1String(group))
            .toLatin1(),
        QStringLiteral(
            "INSERT OR REPLACE INTO holds (path, size, modified, run) SELECT target, "
            "size, modified, run FROM records WHERE %1 AND restores IS NOT NULL AND outcome = 11 "
            "ORDER BY id")
            .arg(QLatin1String(group))
            .toLatin1(),
        QStringLiteral("UPDATE runs SET files = files + (SELECT count(*) FROM records WHERE %1 "
                       "AND outcome IN %2) WHERE id = ?1")
            .arg(QLatin1String(group), changedOutcomes())
            .toLatin1(),
        "UPDATE runs SET pending_from = NULL WHERE id = ?1",
    };
    for (const QByteArray& sql : confirm)
        TStatement(*m_db, sql).bind({ run }).run();
    transaction.commit();
}

bool THistory::underWay(qint64 run, TRunState state) const
{
    if (state != TRunState::Running)
        return false;
    if (std::find(m_ownRuns.begin(), m_ownRuns.end(), run) != m_ownRuns.end())
        return true;
    // No lock file: no run ever held a lock there.
    return m_live.isOpen() && ByteLockedElsewhere(m_live, run);
}

TRecovery::TRun THistory::judge(qint64 run, qint64 from) const
{
    TRecovery::TRun judged;
    judged.id = run;
    TStatement select(*m_db,
        "SELECT id, file, target, size, modified, pending FROM records WHERE run = ? AND "
        "id >= ? AND pending <> 0");
    select.bind({ run, from });
    while (select.step()) {
        const QString file = select.text(1);
        const QString target = select.text(2);
        bool happened = false;
        switch (TPending(select.integer(5))) {
        case TPending::None:
            break;
        case TPending::Move:
        case TPending::Copy: {
            const TFileStatus there = StatusOf(target);
            const bool arrived = there.kind == PathKind::File && there.size == select.integer(3)
                && there.modified == select.integer(4);
            if (!arrived)
                break;
            if (TPending(select.integer(5)) == TPending::Copy
                || KindOfPath(file) == PathKind::Missing) {
                happened = true;
            } else if (SameContents(file, target)) {
                happened = true;
                judged.cut.emplace_back(file, target);
            }
            break;
        }
        case TPending::Delete:
            happened = KindOfPath(file) == PathKind::Missing;
            break;
        case TPending::Create:
            happened = KindOfPath(file) == PathKind::Folder;
            break;
        }
        (happened ? judged.kept : judged.dropped).push_back(select.integer(0));
    }
    return judged;
}

TRecovery THistory::recovery() const
{
    TRecovery found;
    if (!m_db)
        return found;
    TStatement select(
        *m_db, "SELECT id, pending_from, state FROM runs WHERE pending_from IS NOT NULL");
    while (select.step()) {
        if (!underWay(select.integer(0), TRunState(select.integer(2))))
            found.runs.push_back(judge(select.integer(0), select.integer(1)));
    }
    return found;
}

bool THistory::lockRun(qint64 run)
{
    return TryLockByte(m_live, run);
}

void THistory::unlockRun(qint64 run)
{
    UnlockByte(m_live, run);
}

qint64 THistory::pendingFrom(qint64 run) const
{
    TStatement select(*m_db, "SELECT IFNULL(pending_from, 0) FROM runs WHERE id = ?");
    select.bind({ run });
    return select.step() ? select.integer(0) : 0;
}

TRecovery::TRun THistory::judgeRun(qint64 run) const
{
    const qint64 from = pendingFrom(run);
    return from != 0 ? judge(run, from) : TRecovery::TRun {};
}

std::vector<qint64> THistory::pendingMoves(
    qint64 run, const QString& file, const QString& target) const
{
    std::vector<qint64> ids;
    TStatement find(
        *m_db, "SELECT id FROM records WHERE run = ? AND file = ? AND target = ? AND pending <> 0");
    find.bind({ run, file, target });
    while (find.step())
        ids.push_back(find.integer(0));
    return ids;
}

void THistory::settle(const TRecovery::TRun& judged)
{
    TTransaction transaction(*m_db);
    TStatement drop(*m_db, "DELETE FROM records WHERE id = ?");
    for (const qint64 id : judged.dropped)
        drop.bind({ id }).run();
    transaction.commit();
    confirmRecords(judged.id);
}

void THistory::endRun(qint64 run, TRunEnd end)
{
    TStatement update(*m_db, "UPDATE runs SET ended = ?, state = ?, pid = NULL WHERE id = ?");
    update.bind({ nowMs(), qint64(stateOf(end)), run }).run();
    const auto own = std::find(m_ownRuns.begin(), m_ownRuns.end(), run);
    if (own != m_ownRuns.end()) {
        UnlockByte(m_live, run);
        m_ownRuns.erase(own);
    }
}

void THistory::setState(qint64 run, TRunState state)
{
    TStatement(*m_db, "UPDATE runs SET state = ? WHERE id = ?").bind({ qint64(state), run }).run();
}

void THistory::forgetRun(qint64 run)
{
    TStatement(*m_db, "DELETE FROM runs WHERE id = ?").bind({ run }).run();
}

int THistory::prune(int days)
{
    TStatement remove(*m_db, "DELETE FROM runs WHERE started < ?");
    remove.bind({ nowMs() - qint64(days) * 24 * 3600 * 1000 }).run();
    return m_db->changes();
}

THistoryRun THistory::runFrom(const TStatement& row) const
{
    THistoryRun run;
    run.id = row.integer(0);
    run.started = QDateTime::fromMSecsSinceEpoch(row.integer(1));
    if (!row.isNull(2))
        run.ended = QDateTime::fromMSecsSinceEpoch(row.integer(2));
    run.origin = TRunOrigin(row.integer(3));
    run.source = row.text(4);
    run.destination = row.text(5);
    run.files = row.integer(6);
    run.state = TRunState(row.integer(7));
    // A run that holds no lock was killed on the way.
    if (run.state == TRunState::Running && !underWay(run.id, TRunState::Running))
        run.state = TRunState::Aborted;
    run.undoes = row.integer(9);
    return run;
}

std::vector<THistoryRun> THistory::runs() const
{
    std::vector<THistoryRun> result;
    if (!m_db)
        return result;
    TStatement select(
        *m_db, QStringLiteral("SELECT %1 FROM runs ORDER BY id DESC").arg(runColumns()).toLatin1());
    while (select.step())
        result.push_back(runFrom(select));
    return result;
}

std::optional<THistoryRun> THistory::run(qint64 id) const
{
    if (!m_db)
        return std::nullopt;
    TStatement select(
        *m_db, QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(runColumns()).toLatin1());
    select.bind({ id });
    if (!select.step())
        return std::nullopt;
    return runFrom(select);
}

std::vector<THistoryRecord> THistory::records(qint64 run) const
{
    std::vector<THistoryRecord> result;
    if (!m_db)
        return result;
    TStatement select(*m_db,
        QStringLiteral("SELECT id, outcome, file, target, reason, size, modified, trashed, kept, "
                       "restores, restored_by, companion FROM records WHERE run = ? AND %1 "
                       "ORDER BY id")
            .arg(QLatin1String(kShown))
            .toLatin1());
    select.bind({ run });
    while (select.step()) {
        THistoryRecord record;
        record.id = select.integer(0);
        record.outcome = TMoveOutcome(select.integer(1));
        record.file = select.text(2);
        record.target = select.text(3);
        record.reason = select.text(4);
        record.size = select.integer(5);
        record.modified = select.integer(6);
        record.trashed = select.text(7);
        record.targetKept = select.integer(8) != 0;
        record.restores = select.integer(9);
        record.restoredBy = select.integer(10);
        if (!select.isNull(11))
            record.companion = select.integer(11) != 0;
        result.push_back(record);
    }
    return result;
}

std::vector<TKeptMove> THistory::movesFrom(const QString& stem) const
{
    std::vector<TKeptMove> result;
    if (!m_db || stem.isEmpty())
        return result;
    // The paths from `stem` up to the stem with its last character one higher: a range the
    // index on paths serves, where LIKE would read every record.
    QString end = stem;
    end.back() = QChar(char16_t(end.back().unicode() + 1));
    TStatement select(*m_db,
        QStringLiteral("SELECT file, target, size, modified FROM records WHERE file >= ? AND "
                       "file < ? AND outcome IN (1, 2) AND kept = 0 AND restored_by IS NULL AND "
                       "%1 ORDER BY id DESC LIMIT 16")
            .arg(QLatin1String(kShown))
            .toLatin1());
    select.bind({ stem, end });
    while (select.step())
        result.push_back({ select.text(0), select.text(1), select.integer(2), select.integer(3) });
    return result;
}

namespace
{

// Records an undo can take back: a file moved somewhere (by a sort, or back by an undo),
// deleted into the Trash, or a folder made.
const QString& undoable()
{
    static const QString condition
        = QStringLiteral("(outcome IN %1 OR trashed <> '') AND restored_by IS NULL")
              .arg(outcomeList([](TMoveOutcome outcome) {
                  return UndoTakesBack(outcome) && !DeletesFile(outcome);
              }));
    return condition;
}

} // namespace

std::optional<qint64> THistory::lastUndoable() const
{
    if (!m_db)
        return std::nullopt;
    TStatement select(*m_db,
        QStringLiteral("SELECT id FROM runs WHERE origin <> %1 AND state NOT IN (%2, %3) AND "
                       "EXISTS (SELECT 1 FROM records WHERE run = runs.id AND %4 AND %5) "
                       "ORDER BY id DESC LIMIT 1")
            .arg(qint64(TRunOrigin::Undo))
            .arg(qint64(TRunState::Undone))
            .arg(qint64(TRunState::PartlyUndone))
            .arg(undoable(), QLatin1String(kShown))
            .toLatin1());
    if (!select.step())
        return std::nullopt;
    return select.integer(0);
}

std::pair<int, int> THistory::restoredCount(qint64 run) const
{
    TStatement select(*m_db,
        QStringLiteral("SELECT count(*), count(restored_by) FROM records WHERE run = ? AND "
                       "%1 AND outcome IN %2")
            .arg(QLatin1String(kShown), takenBackOutcomes())
            .toLatin1());
    select.bind({ run }).step();
    return { int(select.integer(0)), int(select.integer(1)) };
}

THeldFiles THistory::holds() const
{
    THeldFiles result;
    if (!m_db)
        return result;
    TStatement select(*m_db, "SELECT path, size, modified FROM holds");
    while (select.step())
        result.insert(select.text(0), THeldFile { select.integer(1), select.integer(2) });
    return result;
}

void THistory::release(const QString& path)
{
    TStatement(*m_db, "DELETE FROM holds WHERE path = ?").bind({ path }).run();
}

void THistory::releaseAll()
{
    m_db->exec("DELETE FROM holds");
}

} // namespace plumtide
