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

// What an automatic run does in the main window, step by step.
struct TAutoRunSteps {
    // Whether a sort, a move or a refresh is under way (by hand or automatic).
    std::function<bool()> busy;
    // The rows the source list holds now.
    std::function<int()> sourceRows;
    std::function<void()> refresh;
    // "Start sort": plans, and enables "Move files" when the plan names a file.
    std::function<void()> plan;
    std::function<bool()> moveEnabled;
    // "Move files".
    std::function<void()> move;
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
    Ran, // found nothing to move
    Moved, // ran "Move files"
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

    // One tick of the timer. An empty source list is listed afresh first, since nothing
    // else refreshes it while the program sits in the notification area.
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
