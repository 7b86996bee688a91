// plumtide-cli watch: the sort of `sort`, run on the files that settle in the source folder,
// for as long as the program runs (a service, for months).

#include "cli/commands.h"
#include "cli/records.h"
#include "core/moving/fileutils.h"
#include "core/watching/autosort.h"
#include "core/watching/watcher.h"
#include "platform/errors.h"
#include "platform/termination.h"
#include "session/recorder.h"
#include "session/tellonce.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace plumtide::cli
{

namespace
{

// The folders as given, or else those the desktop program sorts.
std::pair<QString, QString> watchedFolders(const ParsedCommand& command)
{
    if (command.operands.size() == 2)
        return { command.operands.at(0), command.operands.at(1) };
    if (!command.operands.isEmpty())
        throw UsageError(QStringLiteral(
            "watch needs SOURCE and DEST, or neither (see plumtide-cli watch --help)"));
    const TFileSettingsStore store;
    const std::optional<QString> source = store.ReadValue(SettingName(Setting("Source")));
    const std::optional<QString> destination = store.ReadValue(SettingName(Setting("Destination")));
    if (source.value_or(QString()).isEmpty() || destination.value_or(QString()).isEmpty())
        throw UsageError(
            QStringLiteral("watch needs SOURCE and DEST: none given, and %1 names no Source "
                           "and Destination")
                .arg(store.settingsFile()));
    return { *source, *destination };
}

qint64 secondsOption(const ParsedCommand& command, const char* name, int fallback, int low)
{
    const QString option = QString::fromLatin1(name);
    if (!command.has(option))
        return qint64(fallback) * 1000;
    return qint64(ParseNumber(option, command.value(option), low, 86400)) * 1000;
}

// The watch: settled files are gathered and sorted in one run as soon as the event loop is
// free; a destination that is missing is waited for; a run that fails is tried again after
// a wait that doubles with each failure in a row.
class Watch
{
public:
    Watch(SortCommand sort, const TWatchSettings& settings, bool json)
        : m_sort(std::move(sort))
        , m_out(stdout, json)
        , m_destination(m_sort.request.destination)
        , m_tell(TellOnceFor(m_sort.request.source, TRunOrigin::Watch))
        , m_retryCap(QTime::fromMSecsSinceStartOfDay(
              int(std::min<qint64>(settings.retryMs > 0 ? settings.retryMs : 600000, 86399000))))
        , m_watcher(settings,
              { [this](const QStringList& files) { settled(files); },
                  [this](const QString& message) { say(message); } })
    {
        m_sortTimer.setSingleShot(true);
        QObject::connect(&m_sortTimer, &QTimer::timeout, &m_sortTimer, [this] { sortPending(); });
        if (TerminationRequestDescriptor() >= 0) {
            m_interrupt = std::make_unique<QSocketNotifier>(
                TerminationRequestDescriptor(), QSocketNotifier::Read);
            QObject::connect(m_interrupt.get(), &QSocketNotifier::activated, m_interrupt.get(),
                [this] { m_loop.quit(); });
        }
    }

    void run()
    {
        say(QStringLiteral("watching '%1' (settle %2 s), sorting into '%3'")
                .arg(m_watcher.folder())
                .arg(m_watcher.tracker().settleMs() / 1000.0)
                .arg(m_sort.request.destination));
        // The destination is known from now on by its identity.
        destinationHere();
        m_watcher.start();
        if (!TerminationRequested() && !OutputError())
            m_loop.exec();
        say(QStringLiteral("watch stopped"));
    }

private:
    void say(const QString& message)
    {
        m_progress.finish();
        PrintError(QStringLiteral("plumtide-cli: %1\n").arg(message));
    }

    void settled(const QStringList& files)
    {
        m_pending.append(files);
        if (!m_sortTimer.isActive())
            m_sortTimer.start(0);
    }

    // Whether the destination is the folder the watch began with; says so when that
    // changes.
    bool destinationHere()
    {
        using State = TWatchedDestination::State;
        const State state = m_destination.look();
        if (state == m_destinationState)
            return state == State::Here;
        m_destinationState = state;
        const QString& folder = m_destination.folder();
        switch (state) {
        case State::Here:
            if (m_destinationWaited)
                say(QStringLiteral("destination folder '%1' is back").arg(folder));
            break;
        case State::Missing:
            say(QStringLiteral("destination folder '%1' is missing; waiting for it").arg(folder));
            break;
        case State::BareMountPoint:
            say(QStringLiteral("destination folder '%1' is an empty mount point with nothing "
                               "mounted on it; waiting for its disk")
                    .arg(folder));
            break;
        case State::Replaced:
            say(QStringLiteral("destination folder '%1' is no longer the folder the watch began "
                               "with (a disk mounted or taken away there); waiting for it")
                    .arg(folder));
            break;
        }
        m_destinationWaited = m_destinationWaited || state != State::Here;
        return state == State::Here;
    }

    void sortPending()
    {
        if (TerminationRequested() || m_pending.isEmpty())
            return;
        // Nothing is filed into, and no folder made in, a folder that is not the destination.
        if (!destinationHere()) {
            m_sortTimer.start(1000);
            return;
        }

        SortCommand sort = m_sort;
        sort.request.files = std::exchange(m_pending, {});
        // The files an undo brought back are read afresh for every run: an undo may have
        // run since the last.
        sort.request.leaveOut
            = TLeaveOutPolicy(TRunOrigin::Watch, m_sort.request.leaveOut.settleMs(), LoadHolds());
        // A file opened since it was offered is left for the next run.
        sort.request.leaveOut.setOpenCounts(m_watcher.openCounts().known());
        sort.how.leaveOut = sort.request.leaveOut;
        // And the assignments: the user may have made one for a file this watch left.
        sort.request.assignments = StoredAssignments();
        // A program that opened a file as the run came to it (a player, an indexer) has
        // usually let go a moment later, and a file written again has not settled: such
        // files settle anew instead of waiting for the retry.
        QSet<QString> inUse;
        const auto shown = [&](const TMoveEvent& event) {
            if (event.outcome != TMoveOutcome::Skipped) {
                if (!NamesFolder(event.outcome))
                    m_tell.forget(event.file);
                return true;
            }
            if (event.reason == TReason::InUse || event.reason == TReason::StillBeingWritten)
                inUse.insert(event.file);
            // A file left for the reason it was left before is not told again at every retry.
            return m_tell.isNew(event.file, event.reason);
        };
        bool errorNews = true;
        try {
            // Nor is a file left unfiled as before.
            const auto unfiledShown
                = [&](const QString& file) { return m_tell.isNew(file, TReason::NoArtistFolder); };
            tellLeft(
                RunSortPrinting(sort, m_out, m_progress, shown, unfiledShown, &m_tell, &errorNews));
            m_failures = 0;
            m_tell.succeeded();
        } catch (const PlumtideError& error) {
            if (OutputError()) {
                // Nobody reads the records any more: the watch ends (main() tells why).
                m_loop.quit();
                return;
            }
            // The same error at every retry is told once.
            const bool news = errorNews;
            if (news)
                say(error.message());
            // The files it did not get to stay offered and are tried again after a wait.
            for (const QString& file : std::as_const(*sort.request.files)) {
                if (FileExists(file))
                    m_pending.append(file);
            }
            ++m_failures;
            if (!m_pending.isEmpty()) {
                const qint64 wait = RetryDelayMs(m_failures, m_retryCap);
                if (news)
                    say(QStringLiteral("trying again in %1 s").arg(wait / 1000.0));
                m_sortTimer.start(int(wait));
                return;
            }
        }
        m_watcher.runEnded(inUse);
        if (TerminationRequested())
            m_loop.quit();
    }

    // One line per file left, when it is first left and when its reason changes.
    void tellLeft(const SortResult& result)
    {
        for (const TLeftOut& file : result.newlyLeft) {
            m_progress.finish();
            PrintLeft(file);
        }
    }

    SortCommand m_sort;
    RecordWriter m_out;
    TWatchedDestination m_destination;
    TWatchedDestination::State m_destinationState = TWatchedDestination::State::Here;
    bool m_destinationWaited = false;
    TTellOnce& m_tell;
    TerminalProgress m_progress;
    QTime m_retryCap;
    TSourceWatcher m_watcher;
    QEventLoop m_loop;
    QTimer m_sortTimer;
    std::unique_ptr<QSocketNotifier> m_interrupt;
    QStringList m_pending;
    int m_failures = 0;
};

} // namespace

int RunWatch(const ParsedCommand& command)
{
    const auto [source, destination] = watchedFolders(command);
    TWatchSettings settings;
    settings.folder = source;
    settings.settleMs = secondsOption(command, "--settle", DefaultInteger("WatchSettle"), 0);
    settings.pollMs = secondsOption(command, "--poll", 30, 1);
    settings.retryMs = secondsOption(command, "--retry", 600, 0);
    SortCommand sort = SortCommandOf(command, source, destination, TRunOrigin::Watch);
    settings.formats = sort.request.formats;
    sort.request.leaveOut = TLeaveOutPolicy(TRunOrigin::Watch, settings.settleMs);
    settings.companions = sort.how.move.moveCompanions;
    Watch watch(sort, settings, command.has(QStringLiteral("--json")));
    watch.run();
    return kExitOk;
}

} // namespace plumtide::cli
