#include "core/watching/settle.h"

#include <algorithm>

namespace plumtide
{

bool TSettleTracker::seen(const QString& path, const TFileSample& sample, qint64 now)
{
    if (m_offered.contains(path))
        return false;
    if (const auto parked = m_parked.find(path); parked != m_parked.end()) {
        if (parked->sample == sample)
            return false;
        // It changed since the run left it: a new arrival under an old name.
        m_parked.erase(parked);
        m_waiting.insert(path, { sample, now });
        return true;
    }
    const auto waiting = m_waiting.find(path);
    if (waiting == m_waiting.end()) {
        m_waiting.insert(path, { sample, now });
        return true;
    }
    if (waiting->sample == sample)
        return false;
    *waiting = { sample, now, waiting->notBefore };
    return true;
}

void TSettleTracker::inUse(const QString& path, qint64 now)
{
    if (const auto waiting = m_waiting.find(path); waiting != m_waiting.end()) {
        waiting->since = now;
        waiting->notBefore = now + kInUseRecheckMs;
    }
}

void TSettleTracker::forget(const QString& path)
{
    m_waiting.remove(path);
    m_parked.remove(path);
    m_offered.remove(path);
}

void TSettleTracker::forgetBelow(const QString& folder)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const auto below = [&](const QString& path) { return path.startsWith(prefix); };
    m_waiting.removeIf([&](const auto& item) { return below(item.key()); });
    m_parked.removeIf([&](const auto& item) { return below(item.key()); });
    m_offered.removeIf(below);
}

void TSettleTracker::keepOnly(const QSet<QString>& present)
{
    const auto gone = [&](const QString& path) { return !present.contains(path); };
    m_waiting.removeIf([&](const auto& item) { return gone(item.key()); });
    m_parked.removeIf([&](const auto& item) { return gone(item.key()); });
    m_offered.removeIf(gone);
}

QStringList TSettleTracker::due(qint64 now) const
{
    QStringList result;
    for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it) {
        if (now >= it->dueAt(m_settle))
            result.append(it.key());
    }
    return result;
}

std::optional<TSettleTracker::DueTimes> TSettleTracker::dueTimes() const
{
    std::optional<DueTimes> times;
    for (const Quiet& quiet : m_waiting) {
        const qint64 at = quiet.dueAt(m_settle);
        times = times ? DueTimes { std::min(times->first, at), std::max(times->last, at) }
                      : DueTimes { at, at };
    }
    return times;
}

void TSettleTracker::waitFor(const QString& path, const QString& other)
{
    const auto waiting = m_waiting.find(path);
    const auto awaited = m_waiting.constFind(other);
    if (waiting != m_waiting.end() && awaited != m_waiting.cend())
        waiting->notBefore = std::max(waiting->notBefore, awaited->dueAt(m_settle));
}

void TSettleTracker::offer(const QString& path)
{
    m_waiting.remove(path);
    m_offered.insert(path);
}

void TSettleTracker::park(const QString& path, const TFileSample& sample, qint64 now)
{
    m_offered.remove(path);
    m_waiting.remove(path);
    // Settled already: offered again at once when unparked, unless it changed.
    m_parked.insert(path, { sample, now - m_settle });
}

void TSettleTracker::unparkAll()
{
    for (auto it = m_parked.cbegin(); it != m_parked.cend(); ++it)
        m_waiting.insert(it.key(), it.value());
    m_parked.clear();
}

void TSettleTracker::restartAll(qint64 now)
{
    for (Quiet& quiet : m_waiting)
        quiet.since = std::max(quiet.since, now);
}

void TOpenCounts::opened(const QString& path)
{
    if (const auto known = m_counts.find(path); known != m_counts.end())
        ++*known;
}

void TOpenCounts::closed(const QString& path)
{
    const auto known = m_counts.find(path);
    if (known != m_counts.end() && --*known < 0)
        m_counts.erase(known);
}

void TOpenCounts::forgetBelow(const QString& folder)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    m_counts.removeIf([&](const auto& item) { return item.key().startsWith(prefix); });
}

std::optional<int> TOpenCounts::count(const QString& path) const
{
    const auto known = m_counts.constFind(path);
    if (known == m_counts.cend())
        return std::nullopt;
    return *known;
}

} // namespace plumtide
