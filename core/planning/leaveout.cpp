#include "core/planning/leaveout.h"

#include "platform/lease.h"

#include <QDateTime>
#include <QThread>

#include <algorithm>

namespace plumtide
{

namespace
{

constexpr qint64 kNsPerMs = 1000000;

bool sameFile(const TFileStatus& a, const TFileStatus& b)
{
    return a.kind == b.kind && a.size == b.size && a.modified == b.modified
        && a.changed == b.changed && a.inode == b.inode && a.device == b.device;
}

// The moment the file was last written or changed, never later than now.
qint64 lastChange(const TFileStatus& status, qint64 now)
{
    return std::min(std::max(status.modified, status.changed), now);
}

} // namespace

TLeaveOutPolicy::TLeaveOutPolicy(TRunOrigin origin, qint64 settleMs, THeldFiles held)
    : m_origin(origin)
    , m_settleMs(std::max<qint64>(0, settleMs))
    , m_held(std::move(held))
{
}

qint64 TLeaveOutPolicy::Now()
{
    return QDateTime::currentMSecsSinceEpoch() * kNsPerMs;
}

TReason TLeaveOutPolicy::atListing(const QString& path, const TFileStatus& status, qint64 now) const
{
    if (!IsAutomatic(m_origin))
        return TReason::None;
    const auto held = m_held.constFind(path);
    if (held != m_held.constEnd() && held->size == status.size && held->modified == status.modified)
        return TReason::HeldByUndo;
    if (m_openCounts.value(path) > 0)
        return TReason::InUse;
    if (stillBeingWritten(path, status, now))
        return TReason::StillBeingWritten;
    return TReason::None;
}

bool TLeaveOutPolicy::stillBeingWritten(
    const QString& path, const TFileStatus& status, qint64 now) const
{
    if (m_settleMs == 0)
        return false;
    const auto waited = m_waited.constFind(path);
    if (waited != m_waited.constEnd() && sameFile(*waited, status))
        return false;
    return now - lastChange(status, now) < settleMsOf(path, status) * kNsPerMs;
}

qint64 TLeaveOutPolicy::settleMsOf(const QString& path, const TFileStatus& status) const
{
    if (m_openCounts.contains(path) || MayLeaseFileOf(status.owner))
        return m_settleMs;
    return 2 * m_settleMs;
}

bool TLeaveOutPolicy::waitOut(const QStringList& files, Pump& pump)
{
    if (!waitsOut())
        return true;
    const qint64 start = Now();
    qint64 until = start;
    QHash<QString, TFileStatus> recent;
    for (const QString& file : files) {
        const TFileStatus status = StatusOf(file);
        if (status.kind != PathKind::File || !stillBeingWritten(file, status, start))
            continue;
        recent.insert(file, status);
        until = std::max(until, lastChange(status, start) + settleMsOf(file, status) * kNsPerMs);
    }
    while (Now() < until) {
        if (!pump.keepGoing())
            return false;
        QThread::msleep(
            static_cast<unsigned long>(std::clamp<qint64>((until - Now()) / kNsPerMs, 1, 20)));
    }
    for (auto it = recent.cbegin(); it != recent.cend(); ++it) {
        const TFileStatus now = StatusOf(it.key());
        if (sameFile(now, it.value()))
            m_waited.insert(it.key(), now);
    }
    return true;
}

} // namespace plumtide
