#include "cli/commands.h"

#include "cli/records.h"
#include "cli/terminal.h"
#include "core/matching/artistmatch.h"
#include "core/moving/filesleft.h"
#include "core/pipeline.h"
#include "core/planning/listing.h"
#include "core/planning/planner.h"
#include "core/planning/scanner.h"
#include "id3/id3engine.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/termination.h"
#include "session/recorder.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace plumtide::cli
{

namespace
{

// Lines of standard input, without their line ends.
QStringList stdinLines()
{
    QTextStream in(stdin);
    in.setEncoding(QStringConverter::Utf8);
    QStringList lines;
    QString line;
    while (in.readLineInto(&line))
        lines.append(line);
    return lines;
}

void requireOperands(const ParsedCommand& command, qsizetype count, const char* what)
{
    if (command.operands.size() != count)
        throw UsageError(QStringLiteral("%1 needs %2 (see plumtide-cli %1 --help)")
                             .arg(command.name, QString::fromUtf8(what)));
}

// A folder operand that must exist, as its user typed it.
QString existingFolder(const QString& path, const char* role)
{
    if (!QFileInfo(path).isDir())
        throw UsageError(
            QStringLiteral("%1 folder '%2' does not exist").arg(QString::fromLatin1(role), path));
    return path;
}

// The settings the desktop program stored, first-run defaults where none are stored. A
// stored value that cannot be used is reported; the ones after it keep their defaults.
TWorkingCopy storedSettings()
{
    TWorkingCopy copy = DefaultWorkingCopy(ProgramFolder());
    TFileSettingsStore store;
    try {
        LoadWorkingCopy(store, copy, ProgramFolder());
    } catch (const PlumtideError& error) {
        PrintError(
            QStringLiteral("plumtide-cli: warning: %1 (in %2); using defaults from there on\n")
                .arg(error.message(), store.settingsFile()));
    }
    return copy;
}

// The option over a stored setting, as the settings table names it.
QString optionOver(const TSetting& setting)
{
    return QString::fromLatin1(setting.option);
}

// The formats a command files: --formats, or else those of the stored settings.
TFileFormats formatsOf(const ParsedCommand& command, const TWorkingCopy& stored)
{
    const QString option = optionOver(Setting("Formats"));
    if (!command.has(option))
        return stored.formats;
    const QString value = command.value(option);
    const std::optional<TFileFormats> formats = TFileFormats::FromText(value);
    if (!formats)
        throw UsageError(QStringLiteral("%1 takes a comma-separated list of %2, not '%3'")
                             .arg(option, AudioExtensions().join(QStringLiteral(", ")), value));
    return *formats;
}

// What plan and sort work with: the stored settings with the command's options over them,
// and how long a file must have been left alone.
struct SortSettings {
    TWorkingCopy settings;
    qint64 settleMs = kHandSettleMs;
    bool acceptOneOff = false;
};

SortSettings sortSettings(const ParsedCommand& command)
{
    SortSettings sort;
    TWorkingCopy& settings = sort.settings;
    settings = storedSettings();
    settings.formats = formatsOf(command, settings);
    const QString match = optionOver(Setting("Matching"));
    if (command.has(match)) {
        const std::optional<TMatching> matching = MatchingOf(command.value(match));
        if (!matching)
            throw UsageError(QStringLiteral("%1 takes similar or careful, not '%2'")
                                 .arg(match, command.value(match)));
        settings.matching = *matching;
    }

    const TSetting& percentage = Setting("Percentage");
    if (command.has(optionOver(percentage)))
        settings.comparePercentage = quint8(ParseNumber(optionOver(percentage),
            command.value(optionOver(percentage)), percentage.min, percentage.max));
    const QString doubles = optionOver(Setting("DoubleDir"));
    if (command.has(doubles)) {
        const QString value = command.value(doubles);
        settings.moveDoubles = value.startsWith(QStringLiteral("move:")) && value.size() > 5;
        settings.deleteDoubles = value == QStringLiteral("delete");
        if (settings.moveDoubles)
            settings.doublesFolder = value.mid(5);
        else if (!settings.deleteDoubles && value != QStringLiteral("keep"))
            throw UsageError(QStringLiteral("%1 takes move:FOLDER, delete or keep, not '%2'")
                                 .arg(doubles, value));
    }
    const QString deleteSmall = optionOver(Setting("delFileSize"));
    if (command.has(deleteSmall) && command.has(QStringLiteral("--keep-small")))
        throw UsageError(QStringLiteral("%1 and --keep-small exclude each other").arg(deleteSmall));
    if (command.has(deleteSmall)) {
        settings.deleteSmallFiles = true;
        // Beyond the settings window's arrows: a limit typed here is taken as it is.
        settings.smallFileLimit = ParseNumber(deleteSmall, command.value(deleteSmall), 0, 2000000);
    }
    if (command.has(QStringLiteral("--keep-small")))
        settings.deleteSmallFiles = false;
    const QString trash = optionOver(Setting("UseTrash"));
    if (command.has(trash) && command.has(QStringLiteral("--no-trash")))
        throw UsageError(QStringLiteral("%1 and --no-trash exclude each other").arg(trash));
    if (command.has(trash) || command.has(QStringLiteral("--no-trash")))
        settings.useTrash = command.has(trash);
    if (command.has(optionOver(Setting("MoveCompanions"))))
        settings.moveCompanions = false;
    if (command.has(optionOver(Setting("KeepHistory"))))
        settings.keepHistory = false;
    if (command.has(optionOver(Setting("DoublesByAudio"))))
        settings.doublesByAudio = true;
    if (command.has(optionOver(Setting("RemoveEmptiedFolders"))))
        settings.removeEmptiedFolders = true;
    const QString onRun = optionOver(Setting("OnRun"));
    if (command.has(onRun))
        settings.onRun = command.value(onRun);
    const TSetting& timeout = Setting("OnRunTimeout");
    if (command.has(optionOver(timeout)))
        settings.onRunTimeout = ParseNumber(
            optionOver(timeout), command.value(optionOver(timeout)), timeout.min, timeout.max);
    sort.acceptOneOff = command.has(QStringLiteral("--accept-one-off"));
    if (command.has(QStringLiteral("--settle")))
        sort.settleMs = qint64(ParseNumber(QStringLiteral("--settle"),
                            command.value(QStringLiteral("--settle")), 0, 86400))
            * 1000;
    // A doubles folder that is missing is no reason to refuse: the default one is made when a
    // double first needs it, and while one the user chose is missing its doubles stay
    // where they are (a watch started at log-on would otherwise never run at all).
    return sort;
}

} // namespace

TAssignments StoredAssignments()
{
    try {
        return LoadAssignments(AssignmentsFile());
    } catch (const PlumtideError& error) {
        PrintError(QStringLiteral("plumtide-cli: warning: %1; no assignments apply\n")
                       .arg(error.message()));
        return {};
    }
}

namespace
{

void tellIgnored(const TAssignment& assignment)
{
    PrintError(QStringLiteral("plumtide-cli: the assignment of '%1' to '%2' is ignored: no such "
                              "folder\n")
                   .arg(assignment.artist, assignment.folder));
}

} // namespace

int RunKey(const ParsedCommand& command)
{
    const QStringList names = command.operands.isEmpty() ? stdinLines() : command.operands;
    RecordWriter out(stdout, false);
    for (const QString& name : names)
        out.write({ { "key", NormaliseArtist(name) } });
    return kExitOk;
}

int RunScore(const ParsedCommand& command)
{
    RecordWriter out(stdout, false);
    if (!command.operands.isEmpty()) {
        requireOperands(command, 2, "FIRST and SECOND, or no arguments");
        out.write({ { "score",
            FormatScore(ArtistSimilarity(command.operands.at(0), command.operands.at(1))) } });
        return kExitOk;
    }
    const QStringList lines = stdinLines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype tab = lines.at(i).indexOf(QLatin1Char('\t'));
        if (tab < 0)
            throw UsageError(
                QStringLiteral("line %1 of the input has no TAB between FIRST and SECOND")
                    .arg(i + 1));
        out.write({ { "score",
            FormatScore(ArtistSimilarity(lines.at(i).left(tab), lines.at(i).mid(tab + 1))) } });
    }
    return kExitOk;
}

// Whether the file ends in an ID3v1 block ("TAG" 128 bytes before the end).
bool hasID3V1Block(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 128 || !file.seek(file.size() - 128))
        return false;
    return file.read(3) == "TAG";
}

int RunTags(const ParsedCommand& command)
{
    if (command.operands.isEmpty())
        throw UsageError(QStringLiteral("tags needs at least one FILE"));
    for (const QString& path : command.operands) {
        if (!QFileInfo(path).isFile())
            throw UsageError(QStringLiteral("file '%1' does not exist").arg(path));
    }
    RecordWriter out(stdout, false);
    int status = kExitOk;
    for (const QString& path : command.operands) {
        TID3Engine engine;
        engine.SetFileName(path);
        try {
            engine.SetActive(true);
        } catch (const PlumtideError& error) {
            // Report it and go on with the other files; what was read is still printed.
            PrintError(QStringLiteral("plumtide-cli: %1: %2\n").arg(path, error.message()));
            status = kExitError;
        }
        out.write({ { "", QStringLiteral("file") }, { "", path } });
        const TID3Header& header = engine.Header();
        out.write({ { "", QStringLiteral("version") },
            { "",
                engine.TagLength() > 0 ? QStringLiteral("%1.%2")
                                             .arg(header.VersionNumber())
                                             .arg(header.VersionRevision())
                                       : QStringLiteral("none") } });
        out.write({ { "", QStringLiteral("v1") },
            { "", hasID3V1Block(path) ? QStringLiteral("yes") : QStringLiteral("no") } });
        const TID3Frames& frames = engine.Frames();
        for (int i = 0; i < frames.Count(); ++i) {
            const TID3Frames_Item& frame = frames.Items(i);
            const QString id = QString::fromLatin1(frame.FrameID(), qstrnlen(frame.FrameID(), 4));
            const bool text = id.startsWith(QLatin1Char('T'));
            out.write({ { "", QStringLiteral("frame") }, { "", id },
                { "", QString::number(frame.DataSize()) },
                { "", text ? frame.AsText() : QString() } });
        }
    }
    return status;
}

int RunList(const ParsedCommand& command)
{
    requireOperands(command, 1, "SOURCE");
    const QString source = existingFolder(command.operands.at(0), "source");
    const TFileFormats formats = formatsOf(command, storedSettings());
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    TerminalProgress progress;
    progress.setPhase(QStringLiteral("reading"));
    ForEachSourceFile(
        source, progress, progress,
        [&](TSourceRow&& row) {
            out.write({ { "path", row.path }, { "key", row.key }, { "title", row.title } });
        },
        {}, {}, std::nullopt, formats);
    return kExitOk;
}

int RunFolders(const ParsedCommand& command)
{
    requireOperands(command, 1, "DEST");
    const QString destination = existingFolder(command.operands.at(0), "destination");
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    TerminalProgress progress;
    progress.setPhase(QStringLiteral("scanning"));
    ListDestinationFolders(destination, progress, progress, [&](const TFolderRow& row) {
        out.write({ { "path", row.path }, { "folder", row.relativeName } });
    });
    return kExitOk;
}

namespace
{

// What planning shows on the terminal: the phase, and a count per planned file.
class PlanProgress : public Pump, public TPlanObserver
{
public:
    explicit PlanProgress(TerminalProgress& progress)
        : m_progress(progress)
    {
    }

    void processEvents() override
    {
        FlushOutputWhenDue();
        CheckOutput();
        if (m_countPumps)
            m_progress.setProgress(++m_done, m_total);
        else
            m_progress.processEvents();
    }
    bool abortRequested() const override { return m_progress.abortRequested(); }
    void beforeChanges() override { FlushBeforeChanges(); }

    void phase(Phase phase, long long total) override
    {
        static const char* const names[] = { "scanning", "reading", "planning" };
        m_progress.setPhase(QString::fromLatin1(names[static_cast<int>(phase)]));
        m_countPumps = phase == Phase::Planning;
        m_done = 0;
        m_total = total;
    }

protected:
    TerminalProgress& m_progress;

private:
    bool m_countPumps = false;
    long long m_done = 0;
    long long m_total = 0;
};

void writeLeftOut(RecordWriter& out, const TLeftOut& file)
{
    WriteHistoryRecord(
        out, RecordOf(TMoveEvent { TMoveOutcome::Skipped, file.file, QString(), file.reason }));
}

// A listed file the plan gave no row, why, and the folders in question.
void writeUnfiled(RecordWriter& out, const TPlannedSort& plan, const TUnfiledEntry& entry)
{
    QStringList folders;
    for (const qint32 folder : entry.folders)
        folders.append(plan.folders()[size_t(folder)].path);
    out.writeWithList({ { "outcome", QStringLiteral("unfiled") },
                          { "file", plan.files()[size_t(entry.file)].path },
                          { "reason", UnfiledReasonText(entry.reason) } },
        "folders", folders);
}

} // namespace

int RunPlan(const ParsedCommand& command)
{
    requireOperands(command, 2, "SOURCE and DEST");
    const QString source = existingFolder(command.operands.at(0), "source");
    const QString destination = existingFolder(command.operands.at(1), "destination");
    const SortSettings settings = sortSettings(command);
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    TerminalProgress progress;
    TRunChoices choices;
    choices.source = source;
    choices.destination = destination;
    choices.settleMs = settings.settleMs;
    choices.acceptOneOff = settings.acceptOneOff;
    choices.assignments = StoredAssignments();
    choices.dryRun = true;

    // The rows go out as they are made: a plan of millions of rows needs no more memory
    // than one of a few.
    struct Output : PlanProgress {
        Output(TerminalProgress& progress, RecordWriter& out)
            : PlanProgress(progress)
            , out(out)
        {
        }
        void leftOut(const TLeftOut& file) override
        {
            m_progress.finish();
            writeLeftOut(out, file);
        }
        void planning(
            const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders) override
        {
            writer.emplace(stdout, out.json(), files, folders, [this] { m_progress.finish(); });
        }
        void planned(const std::vector<TPlanEntry>& rows) override { writer->write(rows); }
        void assignmentIgnored(const TAssignment& assignment) override
        {
            m_progress.finish();
            tellIgnored(assignment);
        }
        RecordWriter& out;
        std::optional<PlanRowWriter> writer;
    } output(progress, out);

    const TPlannedSort plan
        = PlanSortRun(SetupRun(settings.settings, choices).request, output, progress, output);
    progress.finish();
    output.writer->flush();
    for (const TUnfiledEntry& entry : plan.unfiled())
        writeUnfiled(out, plan, entry);
    for (const QString& key : plan.newArtists())
        out.write({ { "type", QStringLiteral("new") }, { "key", key } });
    return kExitOk;
}

namespace
{

// The sort's records on standard output, its progress on standard error, and the summary
// line there at the end.
class SortOutput : public PlanProgress
{
public:
    SortOutput(RecordWriter& out, TerminalProgress& progress, EventFilter shown)
        : PlanProgress(progress)
        , m_out(out)
        , m_shown(std::move(shown))
    {
    }

    void moving(long long total)
    {
        phase(Phase::Scanning, 0);
        m_progress.setPhase(QStringLiteral("moving"));
        m_done = 0;
        m_total = total;
    }

    void outcome(const TMoveEvent& event)
    {
        m_progress.setProgress(++m_done, m_total);
        if (m_shown && !m_shown(event))
            return;
        if (NamesFolder(event.outcome))
            m_progress.finish();
        // Out in one write with the others of its group, before the next changes.
        WriteHistoryRecord(m_out, RecordOf(event), event.match);
    }

    void assignmentIgnored(const TAssignment& assignment) override
    {
        if (m_toldIgnored.contains(assignment.artist))
            return;
        m_toldIgnored.insert(assignment.artist);
        m_progress.finish();
        tellIgnored(assignment);
    }

    void notice(const QString& what)
    {
        m_progress.finish();
        PrintError(QStringLiteral("plumtide-cli: %1\n").arg(what));
    }

    // The files the plan left unfiled, once it is carried out to the end.
    void unfiled(const TPlannedSort& plan, const UnfiledFilter& shown)
    {
        m_progress.finish();
        for (const TUnfiledEntry& entry : plan.unfiled()) {
            if (!shown || shown(plan.files()[size_t(entry.file)].path))
                writeUnfiled(m_out, plan, entry);
        }
        FlushOutput();
    }

    // `left`: the files the run left, as --fail-if-left counts them.
    void finished(const TMoveSummary& summary, size_t left)
    {
        m_progress.finish();
        if (m_out.json()) {
            m_out.writeJsonLine(SummaryRecordJson(summary, left));
        }
        FlushOutput();
        // The error itself follows on its own line.
        TMoveSummary said = summary;
        said.failure.clear();
        PrintError(QStringLiteral("sorted: %1\n").arg(said.text()));
    }

private:
    RecordWriter& m_out;
    EventFilter m_shown;
    QSet<QString> m_toldIgnored; // assignments said to be ignored, once per run
    long long m_done = 0;
    long long m_total = 0;
};

} // namespace

SortCommand SortCommandOf(const ParsedCommand& command, const QString& source,
    const QString& destination, TRunOrigin origin, THeldFiles held)
{
    const SortSettings settings = sortSettings(command);
    TRunChoices choices;
    choices.origin = origin;
    choices.source = source;
    choices.destination = destination;
    choices.settleMs = settings.settleMs;
    choices.acceptOneOff = settings.acceptOneOff;
    choices.held = std::move(held);
    choices.assignments = StoredAssignments();
    choices.dryRun = command.has(QStringLiteral("--dry-run"));
    choices.createArtistFolders = command.has(QStringLiteral("--create-artist-folders"));
    return SetupRun(settings.settings, choices);
}

SortResult RunSortPrinting(const SortCommand& sort, RecordWriter& out, TerminalProgress& progress,
    const EventFilter& shown, const UnfiledFilter& unfiledShown, TTellOnce* tell, bool* errorNews)
{
    SortOutput output(out, progress, shown);
    // The hook waits on nothing but a request to end the program.
    struct HookPump : Pump {
        void processEvents() override { }
        bool abortRequested() const override { return TerminationRequested(); }
    } hookPump;
    const auto news = [&](const std::exception& error) {
        const QString message = QString::fromUtf8(error.what());
        const bool isNews = !tell || tell->newError(message);
        if (errorNews)
            *errorNews = isNews;
        return isNews ? message : QString();
    };
    std::optional<TRunSession> started;
    try {
        started.emplace(sort.start);
    } catch (const std::exception& error) {
        if (const QString told = news(error); !told.isEmpty())
            TRunSession::tellHookNotStarted(sort.start, hookPump, told);
        throw;
    }
    TRunSession& session = *started;
    for (const QString& notice : session.notices())
        output.notice(notice);
    TPlannedSort plan;
    try {
        plan = PlanSortRun(sort.request, output, progress, output);
        QStringList folders;
        if (sort.start.foldersApart && !plan.aborted()) {
            for (const QString& key : plan.newArtists())
                folders.append(JoinPath(sort.request.destination, key));
        }
        // Folders for new artists first; then the plan is made again with them.
        TWorkSource rows;
        qsizetype created = 0;
        const TWorkSource work = [&](TWorkItem& item) {
            if (created < folders.size()) {
                item = TCreateFolder { folders.at(created++) };
                return true;
            }
            if (!rows) {
                if (!folders.isEmpty())
                    plan.planAgain(
                        output, progress, output, sort.how.dryRun ? folders : QStringList());
                output.moving(plan.rowCount() + static_cast<long long>(plan.leftOut().size()));
                rows = plan.work();
            }
            return rows(item);
        };
        output.moving(folders.size());
        session.carryOut(sort.how, work, plan.filePaths(), output,
            [&](const TMoveEvent& event) { output.outcome(event); });
    } catch (const std::exception& error) {
        output.finished(session.summary(), session.left().size());
        session.tellHook(hookPump, {}, news(error));
        throw;
    }
    const TMoveSummary& summary = session.summary();
    // A run stopped half-way may not have planned again with the folders it made.
    if (summary.end == TRunEnd::Completed)
        output.unfiled(plan, unfiledShown);
    session.completed(plan);
    output.finished(summary, session.left().size());
    std::vector<TLeftOut> newlyLeft = tell ? tell->newlyLeft(session.left()) : session.left();
    session.tellHook(hookPump, newlyLeft);
    return { summary, session.left(), session.status(), std::move(newlyLeft) };
}

int RunAssign(const ParsedCommand& command)
{
    const QString path = AssignmentsFile();
    RecordWriter out(stdout, false);
    if (command.has(QStringLiteral("--list"))) {
        if (!command.operands.isEmpty() || command.has(QStringLiteral("--remove")))
            throw UsageError(QStringLiteral("assign --list takes nothing more"));
        for (const TAssignment& assignment : LoadAssignments(path).entries())
            out.write({ { "artist", assignment.artist }, { "folder", assignment.folder } });
        return kExitOk;
    }
    if (command.has(QStringLiteral("--remove"))) {
        if (!command.operands.isEmpty())
            throw UsageError(QStringLiteral("assign --remove takes one ARTIST"));
        const QString artist = command.value(QStringLiteral("--remove"));
        if (!UpdateAssignments(
                path, [&](TAssignments& assignments) { return assignments.remove(artist); })) {
            PrintError(QStringLiteral("plumtide-cli: '%1' is assigned to no folder\n").arg(artist));
            return kExitError;
        }
        return kExitOk;
    }
    requireOperands(command, 2, "ARTIST and FOLDER");
    QString folder = command.operands.at(1);
    if (!IsRelativePath(folder)) {
        // A path below the destination is kept relative to it, so a moved library keeps it.
        const QString destination = AbsolutePath(storedSettings().destinationFolder);
        const QString below = AbsolutePath(folder);
        if (!below.startsWith(destination + QLatin1Char('/')))
            throw UsageError(QStringLiteral("folder '%1' is not below the destination folder '%2'")
                                 .arg(folder, destination));
        folder = below.mid(destination.size() + 1);
    }
    folder = QDir::cleanPath(folder);
    if (!UpdateAssignments(path, [&](TAssignments& assignments) {
            return assignments.assign(command.operands.at(0), folder);
        }))
        throw UsageError(QStringLiteral("cannot assign '%1' to '%2' (an artist of no letters, or "
                                        "a folder outside the destination)")
                             .arg(command.operands.at(0), folder));
    return kExitOk;
}

int RunSort(const ParsedCommand& command)
{
    requireOperands(command, 2, "SOURCE and DEST");
    const QString source = existingFolder(command.operands.at(0), "source");
    const QString destination = existingFolder(command.operands.at(1), "destination");
    RecordWriter out(stdout, command.has(QStringLiteral("--json")));
    TerminalProgress progress;
    const SortResult result = RunSortPrinting(
        SortCommandOf(command, source, destination, TRunOrigin::Cli), out, progress);
    const bool failIfLeft = command.has(QStringLiteral("--fail-if-left"));
    if (failIfLeft && result.status == TRunStatus::FilesLeft) {
        for (const TLeftOut& file : result.left)
            PrintLeft(file);
    }
    return ExitStatusOf(result.status, failIfLeft);
}

int ExitStatusOf(TRunStatus status, bool leftFails)
{
    switch (status) {
    case TRunStatus::Done:
        break;
    case TRunStatus::FilesLeft:
        return leftFails ? kExitLeft : kExitOk;
    case TRunStatus::Failed:
        return kExitError;
    case TRunStatus::Interrupted:
        return kExitInterrupted;
    }
    return kExitOk;
}

void PrintLeft(const TLeftOut& file)
{
    PrintError(QStringLiteral("plumtide-cli: left '%1': %2\n")
                   .arg(OneLine(file.file), ReasonText(file.reason)));
}

} // namespace plumtide::cli
