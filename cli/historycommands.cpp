// plumtide-cli history and undo: the runs the history keeps, and taking one back.

#include "cli/commands.h"
#include "cli/records.h"
#include "cli/terminal.h"
#include "core/matching/carefulmatch.h"
#include "history/history.h"
#include "platform/locks.h"
#include "session/recorder.h"
#include "session/undo.h"

#include <cerrno>
#include <climits>
#include <cstdio>

namespace plumtide::cli
{

namespace
{

qint64 runOperand(const ParsedCommand& command)
{
    if (command.operands.size() > 1)
        throw UsageError(QStringLiteral("%1 takes at most one RUN").arg(command.name));
    return ParseNumber(QStringLiteral("RUN"), command.operands.at(0), 1, INT_MAX);
}

} // namespace

void WriteHistoryRecord(RecordWriter& out, const THistoryRecord& record, TMatchKind match)
{
    std::vector<RecordWriter::Field> fields {
        { "outcome", QString::fromLatin1(OutcomeName(record.outcome)) },
        { NamesFolder(record.outcome) ? "folder" : "file", record.file }
    };
    if (!record.target.isEmpty())
        fields.push_back({ "target", record.target });
    // A song moved under a numbered name says why (its own name held a different song).
    if (GivesReason(record.outcome) || !record.reason.isEmpty())
        fields.push_back({ "reason", record.reason });
    // Only in JSON: a field more in a TAB record would break readers of the sort format.
    if (out.json() && !record.trashed.isEmpty())
        fields.push_back({ "trash", record.trashed });
    if (out.json() && match != TMatchKind::Similar)
        fields.push_back({ "match", MatchKindWord(match) });
    out.write(fields);
}

int RunHistory(const ParsedCommand& command)
{
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    const QString path = THistory::DefaultPath();
    if (command.has(QStringLiteral("--prune"))) {
        const int days = ParseNumber(
            QStringLiteral("--prune"), command.value(QStringLiteral("--prune")), 0, 100000);
        // Only a holder of the run lock changes the history (it may bring its schema up to date).
        const TLockedFile lock = TryLockFile(RunLockPath(path), false);
        if (lock.error == EWOULDBLOCK)
            throw UndoUnderWay();
        const int pruned = THistory(path, THistory::Access::Write).prune(days);
        PrintError(QStringLiteral("pruned: %1 %2\n")
                       .arg(pruned)
                       .arg(pruned == 1 ? QStringLiteral("run") : QStringLiteral("runs")));
    }
    const THistory history(path, THistory::Access::Read);
    if (!command.operands.isEmpty()) {
        const qint64 id = runOperand(command);
        if (!history.run(id))
            throw UsageError(QStringLiteral("there is no run %1 in the history").arg(id));
        for (const THistoryRecord& record : history.records(id))
            WriteHistoryRecord(out, record);
        return kExitOk;
    }
    for (const THistoryRun& run : history.runs())
        out.writeWithNumbers(
            { { "type", QStringLiteral("run") }, { "id", QString::number(run.id) },
                { "started", IsoTime(run.started) }, { "ended", IsoTime(run.ended) },
                { "origin", QString::fromLatin1(OriginName(run.origin)) }, { "source", run.source },
                { "destination", run.destination }, { "files", QString::number(run.files) },
                { "state", QString::fromLatin1(StateName(run.state)) } },
            { "id", "files" });
    return kExitOk;
}

int RunUndo(const ParsedCommand& command)
{
    const QString path = THistory::DefaultPath();
    qint64 run = 0;
    if (command.operands.isEmpty()) {
        const std::optional<qint64> last = THistory(path, THistory::Access::Read).lastUndoable();
        if (!last) {
            PrintError(QStringLiteral("plumtide-cli: nothing to undo\n"));
            return kExitError;
        }
        run = *last;
    } else {
        run = runOperand(command);
    }
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    TerminalProgress progress;
    progress.setPhase(QStringLiteral("restoring"));
    long long done = 0;
    const TUndoSummary summary = UndoRun(path, run, command.has(QStringLiteral("--dry-run")),
        progress, [&](const TMoveEvent& event) {
            progress.setProgress(++done, 0);
            WriteHistoryRecord(out, RecordOf(event));
        });
    progress.finish();
    PrintError(QStringLiteral("undone: %1\n").arg(summary.text()));
    return ExitStatusOf(summary.status, true);
}

} // namespace plumtide::cli
