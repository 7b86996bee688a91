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
}

void TDetailsMemo::addLine(const QString& line)
{
    m_pending.append(line);
}

void TDetailsMemo::flush()
{
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
    return result + m_pending;
}

} // namespace plumtide
