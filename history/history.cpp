#include "history/history.h"

#include "platform/fileops.h"
#include "platform/paths.h"

#include <QCoreApplication>

namespace plumtide
{

namespace
{

// "PlTd": marks the file as a Plumtide history for whoever finds it.
constexpr qint64 kApplicationId = 0x506C5464;
constexpr qint64 kSchemaVersion = 1;

const char* const kSchema = R"(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    started INTEGER NOT NULL,
    ended INTEGER,
    origin TEXT NOT NULL,
    source TEXT NOT NULL,
    destination TEXT NOT NULL,
    files INTEGER NOT NULL DEFAULT 0,
    state TEXT NOT NULL,
    pid INTEGER,
    undoes INTEGER
);
CREATE INDEX runs_started ON runs(started);
CREATE TABLE records (
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
    outcome TEXT NOT NULL,
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
CREATE INDEX records_run ON records(run, id);
CREATE TABLE holds (
    path TEXT PRIMARY KEY,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE
);
CREATE INDEX holds_run ON holds(run);
)";

const char* const kRunColumns
    = "id, started, ended, origin, source, destination, files, state, pid, undoes";

const char* stateOf(TRunEnd end)
{
    switch (end) {
    case TRunEnd::Completed:
        return "done";
    case TRunEnd::Aborted:
        return "aborted";
    case TRunEnd::Failed:
        return "failed";
    }
    return "failed";
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

THistoryRecord RecordOf(const TMoveEvent& event)
{
    THistoryRecord record;
    record.outcome = QString::fromLatin1(OutcomeName(event.outcome));
    record.file = event.file;
    record.target = event.target;
    record.reason = event.reason;
    record.size = event.size;
    record.modified = event.modified;
    record.trashed = event.trashed;
    record.targetKept = event.targetKept;
    return record;
}

bool ChangedFiles(const QString& outcome)
{
    static const QStringList changed { QStringLiteral("moved"), QStringLiteral("double-moved"),
        QStringLiteral("double-deleted"), QStringLiteral("small-deleted"),
        QStringLiteral("deleted"), QStringLiteral("restored") };
    return changed.contains(outcome);
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

THistory::THistory(const QString& path, Access access)
    : m_path(path)
{
    const bool write = access == Access::Write;
    if (!write && KindOfPath(path) == PathKind::Missing)
        return;
    if (write) {
        try {
            CreateFolders(FolderOf(path));
        } catch (const IOError& error) {
            throw HistoryError(error.message());
        }
    }
    m_db = std::make_unique<TSqlite>(path, write);
    if (write && m_db->readOnly())
        throw HistoryError(QStringLiteral("%1 is read-only").arg(path));
    const qint64 schema = m_db->number("PRAGMA user_version");
    const qint64 application = m_db->number("PRAGMA application_id");
    if (schema == 0 && application == 0) {
        if (m_db->number("SELECT count(*) FROM sqlite_master") != 0)
            throw HistoryError(QStringLiteral("%1 is not a Plumtide history").arg(path));
        if (write)
            create();
        else
            m_db.reset();
    } else if (application != kApplicationId) {
        throw HistoryError(QStringLiteral("%1 is not a Plumtide history").arg(path));
    } else if (schema > kSchemaVersion) {
        throw HistoryError(
            QStringLiteral("%1 was written by a newer version of Plumtide").arg(path));
    }
    // Later versions migrate older schemas here, one version at a time.
    if (m_db && write) {
        // Readers never wait for a writer; a kill loses nothing committed. The WAL is synced
        // at checkpoints only: a power cut may cost the last records, never a false one,
        // since records are written only once what they say is on disk.
        m_db->number("PRAGMA journal_mode=WAL");
        m_db->exec("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON");
    }
}

THistory::~THistory() = default;

void THistory::create()
{
    TTransaction transaction(*m_db);
    m_db->exec(kSchema);
    m_db->exec(QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                   .arg(kApplicationId)
                   .arg(kSchemaVersion)
                   .toLatin1()
                   .constData());
    transaction.commit();
}

qint64 THistory::beginRun(
    TRunOrigin origin, const QString& source, const QString& destination, qint64 undoes)
{
    TStatement insert(*m_db,
        "INSERT INTO runs (started, origin, source, destination, state, pid, undoes) "
        "VALUES (?, ?, ?, ?, 'running', ?, ?)");
    insert
        .bind({ nowMs(), QString::fromLatin1(OriginName(origin)), source, destination,
            QCoreApplication::applicationPid(), undoes ? TSqlValue(undoes) : TSqlValue(nullptr) })
        .run();
    return m_db->lastInsertId();
}

void THistory::addRecords(qint64 run, const std::vector<THistoryRecord>& records)
{
    if (records.empty())
        return;
    TTransaction transaction(*m_db);
    TStatement insert(*m_db,
        "INSERT INTO records (run, outcome, file, target, reason, size, modified, trashed, kept, "
        "restores) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    TStatement restored(*m_db, "UPDATE records SET restored_by = ? WHERE id = ?");
    TStatement hold(
        *m_db, "INSERT OR REPLACE INTO holds (path, size, modified, run) VALUES (?, ?, ?, ?)");
    qint64 changed = 0;
    for (const THistoryRecord& record : records) {
        insert
            .bind({ run, record.outcome, record.file, record.target, record.reason, record.size,
                record.modified, record.trashed, qint64(record.targetKept),
                record.restores ? TSqlValue(record.restores) : TSqlValue(nullptr) })
            .run();
        if (ChangedFiles(record.outcome))
            ++changed;
        if (record.restores != 0) {
            restored.bind({ run, record.restores }).run();
            hold.bind({ record.target, record.size, record.modified, run }).run();
        }
    }
    TStatement count(*m_db, "UPDATE runs SET files = files + ? WHERE id = ?");
    count.bind({ changed, run }).run();
    transaction.commit();
}

void THistory::endRun(qint64 run, TRunEnd end)
{
    TStatement update(*m_db, "UPDATE runs SET ended = ?, state = ?, pid = NULL WHERE id = ?");
    update.bind({ nowMs(), QString::fromLatin1(stateOf(end)), run }).run();
}

void THistory::setState(qint64 run, const QString& state)
{
    TStatement(*m_db, "UPDATE runs SET state = ? WHERE id = ?").bind({ state, run }).run();
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
    run.origin = row.text(3);
    run.source = row.text(4);
    run.destination = row.text(5);
    run.files = row.integer(6);
    run.state = row.text(7);
    // A run whose process is gone was killed on the way.
    if (run.state == QStringLiteral("running") && !ProcessExists(row.integer(8)))
        run.state = QStringLiteral("aborted");
    run.undoes = row.integer(9);
    return run;
}

std::vector<THistoryRun> THistory::runs() const
{
    std::vector<THistoryRun> result;
    if (!m_db)
        return result;
    TStatement select(
        *m_db, QStringLiteral("SELECT %1 FROM runs ORDER BY id DESC").arg(kRunColumns).toLatin1());
    while (select.step())
        result.push_back(runFrom(select));
    return result;
}

std::optional<THistoryRun> THistory::run(qint64 id) const
{
    if (!m_db)
        return std::nullopt;
    TStatement select(
        *m_db, QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(kRunColumns).toLatin1());
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
        "SELECT id, outcome, file, target, reason, size, modified, trashed, kept, restores, "
        "restored_by FROM records WHERE run = ? ORDER BY id");
    select.bind({ run });
    while (select.step()) {
        THistoryRecord record;
        record.id = select.integer(0);
        record.outcome = select.text(1);
        record.file = select.text(2);
        record.target = select.text(3);
        record.reason = select.text(4);
        record.size = select.integer(5);
        record.modified = select.integer(6);
        record.trashed = select.text(7);
        record.targetKept = select.integer(8) != 0;
        record.restores = select.integer(9);
        record.restoredBy = select.integer(10);
        result.push_back(record);
    }
    return result;
}

namespace
{

// Records an undo can take back: a file moved somewhere (by a sort, or back by an undo), or
// deleted into the Trash.
const char* const kUndoable = "(outcome IN ('moved', 'double-moved', 'restored') OR trashed <> '') "
                              "AND restored_by IS NULL";

} // namespace

std::optional<qint64> THistory::lastUndoable() const
{
    if (!m_db)
        return std::nullopt;
    TStatement select(*m_db,
        QStringLiteral("SELECT id FROM runs WHERE origin <> 'undo' "
                       "AND state NOT IN ('undone', 'partly-undone') AND EXISTS "
                       "(SELECT 1 FROM records WHERE run = runs.id AND %1) "
                       "ORDER BY id DESC LIMIT 1")
            .arg(QLatin1String(kUndoable))
            .toLatin1());
    if (!select.step())
        return std::nullopt;
    return select.integer(0);
}

std::pair<int, int> THistory::restoredCount(qint64 run) const
{
    TStatement select(*m_db,
        "SELECT count(*), count(restored_by) FROM records WHERE run = ? AND outcome IN "
        "('moved', 'double-moved', 'double-deleted', 'small-deleted', 'deleted', 'restored')");
    select.bind({ run }).step();
    return { int(select.integer(0)), int(select.integer(1)) };
}

QHash<QString, THistory::THeld> THistory::holds() const
{
    QHash<QString, THeld> result;
    if (!m_db)
        return result;
    TStatement select(*m_db, "SELECT path, size, modified FROM holds");
    while (select.step())
        result.insert(select.text(0), THeld { select.integer(1), select.integer(2) });
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
