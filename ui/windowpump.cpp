#include "ui/windowpump.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

namespace plumtide
{

TWindowPump::TWindowPump(const bool& abortFlag, std::function<void()> beforeEvents, int interval)
    : m_abortFlag(abortFlag)
    , m_beforeEvents(std::move(beforeEvents))
    , m_interval(interval)
{
}

void TWindowPump::processEvents()
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < m_interval)
        return;
    if (m_beforeEvents)
        m_beforeEvents();
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

TDetailsMemo::TDetailsMemo(QPlainTextEdit& memo)
    : m_memo(memo)
{
}

void TDetailsMemo::clear()
{
    m_clearPending = true;
    m_pending.clear();
    m_progressOf = {};
}

void TDetailsMemo::addLine(const QString& line)
{
    settleProgress();
    m_pending.append(line);
}

void TDetailsMemo::progress(QLatin1StringView what, qint64 done, qint64 total)
{
    clear();
    m_progressOf = what;
    m_done = done;
    m_total = total;
}

void TDetailsMemo::settleProgress()
{
    if (m_progressOf.isEmpty())
        return;
    m_pending.append(ProgressLine(m_progressOf, m_done, m_total));
    m_progressOf = {};
}

void TDetailsMemo::flush()
{
    settleProgress();
    if (m_pending.size() > kShownLines) {
        // The lines before the last ones would only scroll by unseen.
        m_clearPending = true;
        m_pending.remove(0, m_pending.size() - kShownLines);
    }
    if (m_clearPending)
        m_memo.clear();
    m_clearPending = false;
    if (m_pending.isEmpty())
        return;
    m_memo.appendPlainText(m_pending.join(QLatin1Char('\n')));
    m_pending.clear();
    QScrollBar* bar = m_memo.verticalScrollBar();
    bar->setValue(bar->maximum());
}

QStringList TDetailsMemo::lines() const
{
    QStringList result;
    if (!m_clearPending) {
        for (QTextBlock block = m_memo.document()->begin(); block.isValid(); block = block.next())
            result.append(block.text());
        // An empty memo has one empty block, but no lines.
        if (result.size() == 1 && result.front().isEmpty())
            result.clear();
    }
    result += m_pending;
    if (!m_progressOf.isEmpty())
        result.append(ProgressLine(m_progressOf, m_done, m_total));
    return result;
}

} // namespace plumtide
