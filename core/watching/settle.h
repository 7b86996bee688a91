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
    // Every waiting file has been quiet only since `now` (notices were lost: what happened
    // meanwhile is unknown).
    void restartAll(qint64 now);

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

// How many descriptors every process together holds open on each file of a watched folder,
// from the kernel's open and close notices. It tells that another program still writes a
// file where nothing else can: a lease cannot be taken on another user's file, and a writer
// that stalls with the file open changes neither its size nor its times. The count is known
// only for a file created while the folder was watched (its first open is then seen); a file
// found by reading the folder, moved in, or met after notices were lost may have been open
// already: its count is unknown, and the settle time alone decides.
class TOpenCounts
{
public:
    // The file was created: nobody had it open before.
    void created(const QString& path) { m_counts.insert(path, 0); }
    void opened(const QString& path);
    // A close never seen opened (the count is then unknown after all) forgets the file.
    void closed(const QString& path);
    void forget(const QString& path) { m_counts.remove(path); }
    void forgetBelow(const QString& folder);
    // Notices were lost: no count is known any more.
    void forgetAll() { m_counts.clear(); }

    // The count, or nothing when it is unknown.
    std::optional<int> count(const QString& path) const;
    // Whether the file is known to be open.
    bool open(const QString& path) const { return count(path).value_or(0) > 0; }
    // Every known count.
    const QHash<QString, int>& known() const { return m_counts; }

private:
    QHash<QString, int> m_counts;
};

// How long a file found in use waits at least before it is tested again.
inline constexpr qint64 kInUseRecheckMs = 1000;

} // namespace plumtide
