#include "core/watching/autosort.h"

#include <QScopeGuard>

#include <algorithm>

namespace plumtide
{

qint64 RetryDelayMs(int failures, const QTime& interval)
{
    const qint64 cap = interval.msecsSinceStartOfDay();
    // Past 2^20 seconds every interval (at most a day) is the cap anyway.
    const int doublings = std::clamp(failures - 1, 0, 20);
    return std::min(cap, qint64(1000) << doublings);
}

TAutoSort::TAutoSort(TAutoRunSteps steps)
    : m_steps(std::move(steps))
{
}

void TAutoSort::restart(const QDateTime& moment)
{
    m_lastRun = moment;
    m_failures = 0;
    m_retryAt = QDateTime();
}

bool TAutoSort::isDue(const QDateTime& now, const QTime& interval) const
{
    if (m_failures > 0)
        return now >= m_retryAt;
    return m_requested || m_lastRun.msecsTo(now) >= interval.msecsSinceStartOfDay();
}

TAutoTick TAutoSort::tick(const QTime& interval)
{
    if (!isDue(m_steps.now(), interval))
        return TAutoTick::NotDue;
    // The steps let events through, this timer's ticks among them.
    if (m_running || m_steps.busy())
        return TAutoTick::Busy;
    if (m_steps.held())
        return TAutoTick::Held;
    m_running = true;
    m_requested = false;
    const auto over = qScopeGuard([this] { m_running = false; });

    bool moved = false;
    try {
        moved = m_steps.run();
    } catch (const std::exception& error) {
        failed(QString::fromUtf8(error.what()), interval);
        m_steps.reportError(&error);
        return TAutoTick::Failed;
    } catch (...) {
        failed(QStringLiteral("unknown error"), interval);
        m_steps.reportError(nullptr);
        return TAutoTick::Failed;
    }
    // An aborted run counts as done, too.
    m_lastRun = m_steps.now();
    m_failures = 0;
    return moved ? TAutoTick::Moved : TAutoTick::Ran;
}

void TAutoSort::failed(const QString& why, const QTime& interval)
{
    ++m_failures;
    m_why = why;
    m_retryAt = m_steps.now().addMSecs(RetryDelayMs(m_failures, interval));
}

QString TAutoSort::failureText() const
{
    return QStringLiteral("Automatic sorting failed: %1. Next attempt at %2.")
        .arg(m_why, m_retryAt.time().toString(QStringLiteral("HH:mm:ss")));
}

} // namespace plumtide
