#pragma once

#include "core/moving/moveevents.h"
#include "core/pump.h"
#include "core/reasons.h"
#include "platform/filestatus.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace plumtide
{

// A file an undo brought back, as it was then: automatic runs leave it where it is while it
// is still so.
struct THeldFile {
    qint64 size = 0;
    qint64 modified = 0;
};
using THeldFiles = QHash<QString, THeldFile>;

// A file a run leaves out before planning, and why.
struct TLeftOut {
    QString file;
    TReason reason = TReason::None;
};

// How long a file must have been left alone before a sort takes it, by who started it.
inline constexpr qint64 kHandSettleMs = 2000;

// The files a run leaves alone, for every way a sort starts, in one place:
// - a file an undo brought back, while it is unchanged since (automatic runs only: a sort
//   by hand is the user asking for it);
// - a file another program has open or locked (found by the open that reads its tag, and
//   again when it is carried out);
// - a file a watch saw opened and not closed again (automatic runs, with the watch's open
//   counts): in use, whoever holds it;
// - a file still being written: the later of its modification and change times lies within
//   the settle time of now (a time in the future counts as now). Automatic runs leave such
//   a file out; a sort started by hand waits the remaining settle time out once, at most
//   that long, then leaves out what changed meanwhile. A writer that opens, appends and
//   closes again and again is never seen by the in-use test between two writes, but its
//   times always give it away. Where neither the in-use test (no lease on another user's
//   file) nor an open count sees a writer that stalls with the file open, only the times
//   do: for such a file the settle time is doubled.
class TLeaveOutPolicy
{
public:
    TLeaveOutPolicy() = default;
    TLeaveOutPolicy(TRunOrigin origin, qint64 settleMs, THeldFiles held = {});

    TRunOrigin origin() const { return m_origin; }
    qint64 settleMs() const { return m_settleMs; }
    bool waitsOut() const { return !IsAutomatic(m_origin) && m_settleMs > 0; }

    // The reason to leave out a file that nobody has open, as the listing found it at `now`
    // (nanoseconds since the epoch); None to list it.
    TReason atListing(const QString& path, const TFileStatus& status, qint64 now) const;
    // The open counts of a watch on the source (see TOpenCounts::known); files not in it
    // have none.
    void setOpenCounts(QHash<QString, int> counts) { m_openCounts = std::move(counts); }
    // The settle time of the file: doubled where nobody's open of it can be seen.
    qint64 settleMsOf(const QString& path, const TFileStatus& status) const;
    // Whether the file counts as still being written at `now`.
    bool stillBeingWritten(const QString& path, const TFileStatus& status, qint64 now) const;

    // For a sort by hand, before its first file is carried out: looks at `files` once and,
    // when some were changed within the settle time, lets the pump run until the last of
    // them has been quiet that long. Those that did not change meanwhile are then taken as
    // they are (also with a time in the future). Returns false when the pump stopped it.
    bool waitOut(const QStringList& files, Pump& pump);

    // Nanoseconds since the epoch, as file times count them.
    static qint64 Now();

private:
    TRunOrigin m_origin = TRunOrigin::Cli;
    qint64 m_settleMs = 0;
    THeldFiles m_held;
    QHash<QString, int> m_openCounts;
    QHash<QString, TFileStatus> m_waited; // files waited out, as they stayed
};

} // namespace plumtide
