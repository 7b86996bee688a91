#pragma once

#include "cli/help.h"
#include "cli/options.h"
#include "cli/records.h"
#include "cli/terminal.h"
#include "core/pipeline.h"
#include "history/history.h"
#include "session/setup.h"
#include "session/tellonce.h"

#include <functional>
#include <vector>

namespace plumtide::cli
{

// Each command prints its records on standard output and returns the exit status:
// 0 done (even when some files stayed), 1 ended by an I/O error (standard output's too),
// 2 bad input, 3 files left (sort --fail-if-left; undo: files that stayed but may still come
// back), 130 interrupted (but watch, which runs until it is stopped, 0); where several
// apply, the first of 130, 1, 3. A run's status is the one its session gives (see
// ExitStatusOf). Usage errors are thrown as UsageError; other errors escape as PlumtideError
// and are reported by main().
int RunKey(const ParsedCommand& command);
int RunScore(const ParsedCommand& command);
int RunTags(const ParsedCommand& command);
int RunList(const ParsedCommand& command);
int RunFolders(const ParsedCommand& command);
int RunPlan(const ParsedCommand& command);
int RunSort(const ParsedCommand& command);
int RunHistory(const ParsedCommand& command);
int RunUndo(const ParsedCommand& command);
int RunAssign(const ParsedCommand& command);
// Runs until SIGTERM or SIGINT, which end it normally (exit status 0), as a service.
int RunWatch(const ParsedCommand& command);

// What sort and watch share: the sort a command line asks for (the desktop program's
// settings with the options over them), and one run of it with sort's records and summary;
// `alsoTell`, when set, sees each outcome after its record.
using SortCommand = TRunSetup;
SortCommand SortCommandOf(const ParsedCommand& command, const QString& source,
    const QString& destination, TRunOrigin origin, THeldFiles held = {});
// What a sort did, and the files it left in the source that it was asked to file (see
// TFilesLeft; only known for a run that went through all its work).
struct SortResult {
    TMoveSummary summary;
    std::vector<TLeftOut> left;
    TRunStatus status = TRunStatus::Failed;
    // Of `left`, the files that are news (see RunSortPrinting's `tell`).
    std::vector<TLeftOut> newlyLeft;
};
// Whether an event's record is printed.
using EventFilter = std::function<bool(const TMoveEvent&)>;
// Whether the `unfiled` record of a file the plan gave no row is printed.
using UnfiledFilter = std::function<bool(const QString& file)>;
// Plans and carries out `sort`, recorded in the history unless it is a dry run; `shown`,
// when set, sees each outcome first and decides whether its record is printed, and
// `unfiledShown` each file the plan left unfiled (their records follow the outcomes of a run
// that went through all its work). An error that ends the run escapes once the summary is
// printed. The run's hook is told of it at its end: of the files left and the error that are
// news to `tell` (what a watch told of earlier runs), or all of them without one; when an
// error escapes, `errorNews` says whether it was news.
SortResult RunSortPrinting(const SortCommand& sort, RecordWriter& out, TerminalProgress& progress,
    const EventFilter& shown = {}, const UnfiledFilter& unfiledShown = {},
    TTellOnce* tell = nullptr, bool* errorNews = nullptr);
// Tells on standard error of a file left in the source, and why.
void PrintLeft(const TLeftOut& file);

// The artists the user assigned to folders (assignments.tsv beside the settings file);
// none, said on standard error, when the file cannot be read.
TAssignments StoredAssignments();

// A record of the history in the sort's format; with --json, a row that careful matching or
// an assignment chose says so (`match`).
void WriteHistoryRecord(
    RecordWriter& out, const THistoryRecord& record, TMatchKind match = TMatchKind::Similar);

// The exit status of a run that ended as `status`; files left fail the command only where
// it says so (sort --fail-if-left; undo always).
int ExitStatusOf(TRunStatus status, bool leftFails);

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitLeft = 3;
inline constexpr int kExitInterrupted = 130;

} // namespace plumtide::cli
