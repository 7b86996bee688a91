#pragma once

#include "platform/folderwatch.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace plumtide
{

// Decides when a file that arrives in the source folder is complete enough to be sorted: its
// size and modification time unchanged, and nobody using it, for the settle time. A download
// or a copy in progress keeps changing the file, or keeps it open, so it is never offered
// half-written.
//
// Plain bookkeeping, with the clock given by the caller (milliseconds of a steady clock).
// A file is in one of three states:
// - waiting: quiet since some moment; due once the settle time has passed since then;
// - offered: handed to a run; left alone until the run ends;
// - parked: left in the source by a run (no folder for its artist yet, a double kept): not
//   offered again until it changes or the caller offers every parked file again.
class TSettleTracker
{
public:
    explicit TSettleTracker(qint64 settleMs)
        : m_settle(settleMs)
    {
    }

    // A look at `path` at `now`. A file met for the first time, or changed since the last
    // look, has been quiet since this look: its modification time tells that it changed,
    // not when (a copy may keep the original's, another machine's clock may differ).
    // Returns whether the file counts as changed: its quiet time starts anew.
    bool seen(const QString& path, const TFileSample& sample, qint64 now);
    // Found open or locked by another program: its quiet time starts again, and it is not
    // looked at again for kInUseRecheckMs however short the settle time (a file held open
    // for hours must not be tested in a tight loop).
    void inUse(const QString& path, qint64 now);
    // Gone from the source: deleted, moved away, or moved by a run.
    void forget(const QString& path);
    // Every file below `folder` is gone.
    void forgetBelow(const QString& folder);
    // Forgets every file not in `present` (a whole reading of the folder found only those).
    void keepOnly(const QSet<QString>& present);

    // Waiting files whose quiet time has reached the settle time: to be looked at once more
    // and checked for use before they are offered.
    QStringList due(qint64 now) const;
    // When the first and the last waiting file become due; nothing when none waits.
    struct DueTimes {
        qint64 first;
        qint64 last;
    };
    std::optional<DueTimes> dueTimes() const;
    // A waiting file is not due before `other` (waiting too) is: a song waits for the files
    // that travel with it.
    void waitFor(const QString& path, const QString& other);
    void offer(const QString& path);
    // After the run: a file still in the source is parked with how it is now.
    void park(const QString& path, const TFileSample& sample, qint64 now);
    // Every parked file waits again, its quiet time kept.
    void unparkAll();

    qint64 settleMs() const { return m_settle; }
    // Whether `path` is known and not yet settled (a run must leave it out).
    bool settling(const QString& path) const { return m_waiting.contains(path); }
    const QSet<QString>& offered() const { return m_offered; }
    qsizetype parkedCount() const { return m_parked.size(); }
    qsizetype waitingCount() const { return m_waiting.size(); }

private:
    struct Quiet {
        TFileSample sample;
        qint64 since = 0; // quiet since
        qint64 notBefore = 0; // found in use: not due before then

        qint64 dueAt(qint64 settle) const { return std::max(since + settle, notBefore); }
    };

    qint64 m_settle;
    QHash<QString, Quiet> m_waiting;
    QHash<QString, Quiet> m_parked;
    QSet<QString> m_offered;
};

// How long a file found in use waits at least before it is tested again.
inline constexpr qint64 kInUseRecheckMs = 1000;

// Whether `path` names an mp3 file by its extension, as the source list takes them.
bool IsMp3Name(const QString& path);

} // namespace plumtide
