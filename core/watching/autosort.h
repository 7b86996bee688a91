#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>

#include <exception>
#include <functional>

namespace plumtide
{

// How long to wait after the `failures`-th failed automatic run in a row before the next
// attempt: one second, twice as long after each further failure, never longer than the
// interval itself. A lasting fault (a destination disk unplugged) then costs a rescan now
// and then, not one every second.
qint64 RetryDelayMs(int failures, const QTime& interval);

// What an automatic run does in the main window.
struct TAutoRunSteps {
    // Whether a sort, a move or a refresh is under way (by hand or automatic).
    std::function<bool()> busy;
    // Whether the user holds runs back for now: a folder field typed in and still being
    // edited, or the settings window open. A run would use half a folder name, or settings
    // about to change.
    std::function<bool()> held = [] { return false; };
    // Lists both folders, plans, and carries the plan out; true when the plan named files
    // to carry out.
    std::function<bool()> run;
    // Where an error that ended a run goes: the window's error handler (nullptr when what
    // was thrown is no std::exception).
    std::function<void(const std::exception*)> reportError;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

// What one tick of the timer did.
enum class TAutoTick {
    NotDue,
    // Due, but other work was under way; nothing started. The run stays due, so it comes
    // at the first tick after that work has ended.
    Busy,
    // Due, but the user holds runs back (see TAutoRunSteps::held); it stays due likewise.
    Held,
    Ran, // found nothing to move
    Moved, // carried a plan out
    Failed, // an error ended the run; it went to the error handler
};

// Automatic sorting: whether a run is due, the run itself, and the wait after runs that
// failed. Runs are timed from the end of the previous run.
class TAutoSort
{
public:
    explicit TAutoSort(TAutoRunSteps steps);

    // Times the next run from `moment` (the window was shown) and forgets earlier failures.
    void restart(const QDateTime& moment);
    const QDateTime& lastRun() const { return m_lastRun; }

    // An interval after the last run, or at once when a run was asked for; after failed
    // runs, once the wait is over.
    bool isDue(const QDateTime& now, const QTime& interval) const;
    // Asks for a run at the next tick that finds no other work under way, before the
    // interval has passed (a file has settled in the source folder). A request that comes
    // while a run is under way gets a run of its own after it.
    void requestRun() { m_requested = true; }

    // One tick of the timer: the run, when it is due and nothing holds it back. The next
    // run is timed from the moment this one ended.
    TAutoTick tick(const QTime& interval);

    // Failed runs since the last one that ended, and about the last of them.
    int failures() const { return m_failures; }
    const QDateTime& retryAt() const { return m_retryAt; }
    // "Automatic sorting failed: <why>. Next attempt at 11:55:31."
    QString failureText() const;

private:
    void failed(const QString& why, const QTime& interval);

    TAutoRunSteps m_steps;
    QDateTime m_lastRun;
    int m_failures = 0;
    QDateTime m_retryAt;
    QString m_why;
    bool m_running = false;
    bool m_requested = false;
};

} // namespace plumtide
