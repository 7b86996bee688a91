#pragma once

#include "core/pump.h"

#include <QElapsedTimer>
#include <QStringList>

#include <functional>

class QPlainTextEdit;

namespace plumtide
{

// The main window's event pump for the core's long loops. The loops call it before every
// folder, entry and row, tens of thousands of times in a large scan, while a pass through
// the event queue costs microseconds even when nothing is waiting. So it lets events run
// at most once per `interval` (often enough for repaints and an Abort click to feel
// immediate) and only reads the abort flag in between.
class TWindowPump : public Pump
{
public:
    // `abortFlag` is read on every question; `beforeEvents` runs before each pass through
    // the event queue, so that what the window shows is current when it repaints.
    TWindowPump(const bool& abortFlag, std::function<void()> beforeEvents, int interval = 40);

    void processEvents() override;
    bool abortRequested() const override { return m_abortFlag; }

private:
    const bool& m_abortFlag;
    std::function<void()> m_beforeEvents;
    int m_interval;
    QElapsedTimer m_sinceEvents;
};

// The `Details` memo as the core writes it. A scan writes a line per file and a refresh
// replaces its progress line per row; doing each on the widget would cost more than
// reading the tags. Lines are gathered here and reach the memo in one step when flushed
// (before the window repaints, and whenever the window itself reads or writes the memo).
// A progress line is kept as its numbers until it is shown, and of a burst of lines longer
// than the memo can show only the last kShownLines are laid out: the ones before would
// have scrolled out of sight before anyone could see them (the memo is disabled, and so
// cannot be scrolled, while the window is busy).
class TDetailsMemo : public DetailsSink
{
public:
    static constexpr qsizetype kShownLines = 100;

    explicit TDetailsMemo(QPlainTextEdit& memo);

    void clear() override;
    void addLine(const QString& line) override;
    void progress(QLatin1StringView what, qint64 done, qint64 total) override;

    // Shows what was written since the last flush.
    void flush();
    // The memo's lines, pending ones included.
    QStringList lines() const;

private:
    // The pending progress line becomes a pending line.
    void settleProgress();

    QPlainTextEdit& m_memo;
    bool m_clearPending = false;
    QStringList m_pending;
    QLatin1StringView m_progressOf; // empty: no progress line pending
    qint64 m_done = 0;
    qint64 m_total = 0;
};

} // namespace plumtide
