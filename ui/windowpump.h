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
    TWindowPump(const bool& abortFlag, std::function<void()> beforeEvents, int interval = 15);

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
class TDetailsMemo : public DetailsSink
{
public:
    explicit TDetailsMemo(QPlainTextEdit& memo);

    void clear() override;
    void addLine(const QString& line) override;

    // Shows what was written since the last flush.
    void flush();
    // The memo's lines, pending ones included.
    QStringList lines() const;

private:
    QPlainTextEdit& m_memo;
    bool m_clearPending = false;
    QStringList m_pending;
};

} // namespace plumtide
