#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

namespace plumtide
{

// What a long operation (scanning, planning, moving) is given so that it can run on the one
// thread of the program without freezing it: before each folder, entry or row it lets
// pending events run (the window repaints, the Abort click is seen) and then asks whether
// the user wants it to stop. The desktop program runs its event loop and reports its abort
// flag; the command-line program advances a progress bar.
class Pump
{
public:
    virtual ~Pump() = default;

    // Runs pending events. Called tens of thousands of times in a large scan, so an
    // expensive implementation should throttle itself.
    virtual void processEvents() = 0;
    // True once the user asked the running operation to stop.
    virtual bool abortRequested() const = 0;
    // Called once a run's next changes (a group of moves, a deletion, a folder) are decided
    // and before any is made: what was told of the work before them should be out by now. An
    // exception ends the run before the changes.
    virtual void beforeChanges() { }

    // The step taken before each unit of work: events, then the question. False = stop.
    bool keepGoing()
    {
        processEvents();
        return !abortRequested();
    }
};

// The progress line of a long loop: "Files: 3/900".
inline QString ProgressLine(QLatin1StringView what, qint64 done, qint64 total)
{
    return what + QLatin1String(": ") + QString::number(done) + QLatin1Char('/')
        + QString::number(total);
}

// Where progress and per-file lines go (the `Details` box under the lists).
class DetailsSink
{
public:
    virtual ~DetailsSink() = default;
    virtual void clear() = 0;
    virtual void addLine(const QString& line) = 0;
    // Replaces everything by the progress line ProgressLine(what, done, total). Called once
    // per row of a refresh, so a sink that shows only what is current can keep the numbers
    // and make the text only when it is shown.
    virtual void progress(QLatin1StringView what, qint64 done, qint64 total)
    {
        clear();
        addLine(ProgressLine(what, done, total));
    }
};

} // namespace plumtide
