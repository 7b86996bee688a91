#include "core/planning/leaveout.h"
#include "core/planning/listing.h"
#include "tests/support/pumps.h"
#include "tests/support/unprivileged.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

constexpr qint64 kSecond = 1000000000;
constexpr qint64 kNow = 1800000000 * kSecond;

TFileStatus fileChanged(qint64 modified, qint64 changed, qint64 size = 5000)
{
    TFileStatus status;
    status.kind = PathKind::File;
    status.size = size;
    status.modified = modified;
    status.changed = changed;
    return status;
}

} // namespace

// One rule for every way a sort starts: what is left out at listing, and what counts as
// still being written when a file is carried out.
TEST(LeaveOut, OneRuleForEveryOrigin)
{
    const QString song = QStringLiteral("/in/song.mp3");
    const THeldFiles held { { song, THeldFile { 5000, kNow - 60 * kSecond } } };
    const TFileStatus quiet = fileChanged(kNow - 60 * kSecond, kNow - 60 * kSecond);
    const TFileStatus justWritten = fileChanged(kNow - kSecond / 2, kNow - kSecond / 2);
    const TFileStatus futureTime = fileChanged(kNow + 3600 * kSecond, kNow - 60 * kSecond);
    const TFileStatus heldButChanged = fileChanged(kNow - 30 * kSecond, kNow - 30 * kSecond, 6000);

    const struct Case {
        const char* name;
        TRunOrigin origin;
        TFileStatus status;
        TReason atListing;
        bool stillBeingWritten;
    } cases[] = {
        { "auto: held by an undo", TRunOrigin::Auto, quiet, TReason::HeldByUndo, false },
        { "watch: held by an undo", TRunOrigin::Watch, quiet, TReason::HeldByUndo, false },
        { "window by hand: the user asks for it", TRunOrigin::Window, quiet, TReason::None, false },
        { "cli by hand", TRunOrigin::Cli, quiet, TReason::None, false },
        { "auto: held file changed since", TRunOrigin::Auto, heldButChanged, TReason::None, false },
        { "auto: written half a second ago", TRunOrigin::Auto, justWritten,
            TReason::StillBeingWritten, true },
        { "watch: written half a second ago", TRunOrigin::Watch, justWritten,
            TReason::StillBeingWritten, true },
        // By hand the listing keeps it; carrying out waits it out first (see WaitOut).
        { "cli: written half a second ago", TRunOrigin::Cli, justWritten, TReason::None, true },
        { "auto: a time in the future counts as now", TRunOrigin::Auto, futureTime,
            TReason::StillBeingWritten, true },
        { "menu: never held", TRunOrigin::Menu, quiet, TReason::None, false },
    };
    for (const Case& c : cases) {
        const TLeaveOutPolicy policy(c.origin, 10000, held);
        EXPECT_EQ(policy.atListing(song, c.status, kNow), c.atListing) << c.name;
        EXPECT_EQ(policy.stillBeingWritten(song, c.status, kNow), c.stillBeingWritten) << c.name;
    }
    EXPECT_FALSE(TLeaveOutPolicy(TRunOrigin::Auto, 0).stillBeingWritten(song, justWritten, kNow))
        << "no settle time, nothing still being written";
}

// Where no lease can be taken (another user's file, without privileges) the watch's open
// counts decide: a file known open is in use, one known closed settles as usual, and one
// whose opens nobody saw waits twice the settle time.
TEST(LeaveOut, OpenCountsOrATwiceLongerSettleTimeWhereNoLeaseSees)
{
    const QString song = QStringLiteral("/in/song.mp3");
    const struct {
        const char* name;
        bool own; // else root's, another user's to the unprivileged child
        std::optional<int> openCount; // nothing: unknown
        qint64 changedAgo; // seconds
        TReason atListing;
    } cases[] = {
        { "another user's file, known open", false, 1, 60, TReason::InUse },
        { "another user's file, known closed", false, 0, 15, TReason::None },
        { "another user's file, count unknown", false, {}, 15, TReason::StillBeingWritten },
        { "another user's file, unknown, quiet twice as long", false, {}, 25, TReason::None },
        { "own file, count unknown: the lease sees", true, {}, 15, TReason::None },
    };
    const std::optional<QByteArray> out = test::RunUnprivileged([&] {
        QByteArray reasons;
        for (const auto& c : cases) {
            TFileStatus status = fileChanged(kNow - c.changedAgo * kSecond, kNow - 60 * kSecond);
            status.owner = c.own ? quint32(::geteuid()) : 0;
            TLeaveOutPolicy policy(TRunOrigin::Watch, 10000);
            if (c.openCount)
                policy.setOpenCounts({ { song, *c.openCount } });
            reasons += ReasonText(policy.atListing(song, status, kNow)).toUtf8() + '\n';
        }
        return reasons;
    });
    ASSERT_TRUE(out);
    const QList<QByteArray> reasons = out->split('\n');
    ASSERT_GE(reasons.size(), qsizetype(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(reasons.at(qsizetype(i)), ReasonText(cases[i].atListing).toUtf8())
            << cases[i].name;
}

// A sort by hand waits once for files changed just before it, at most the settle time, then
// takes those that stayed as they were (even with a time in the future) and leaves out those
// changed meanwhile.
TEST(LeaveOut, HandSortWaitsOutTheSettleTimeOnce)
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.mp3"));
    const QString future = dir.filePath(QStringLiteral("future.mp3"));
    const QString growing = dir.filePath(QStringLiteral("growing.mp3"));
    for (const QString& path : { fresh, future, growing }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("song");
    }
    const struct timeval times[2] = { { 4000000000, 0 }, { 4000000000, 0 } };
    ASSERT_EQ(::utimes(QFile::encodeName(future).constData(), times), 0);

    TLeaveOutPolicy policy(TRunOrigin::Cli, 600);
    struct Writer : Pump {
        QString path;
        int calls = 0;
        void processEvents() override
        {
            // Another program appends to one of them while the sort waits.
            if (++calls == 3) {
                QFile file(path);
                file.open(QIODevice::Append);
                file.write("more");
            }
        }
        bool abortRequested() const override { return false; }
    } pump;
    pump.path = growing;
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(policy.waitOut({ fresh, future, growing }, pump));
    EXPECT_GE(waited.elapsed(), 400);
    EXPECT_LT(waited.elapsed(), 3000);
    const qint64 now = TLeaveOutPolicy::Now();
    EXPECT_FALSE(policy.stillBeingWritten(fresh, StatusOf(fresh), now));
    EXPECT_FALSE(policy.stillBeingWritten(future, StatusOf(future), now));
    EXPECT_TRUE(policy.stillBeingWritten(growing, StatusOf(growing), now));

    AbortAfterPump abort(0);
    TLeaveOutPolicy again(TRunOrigin::Window, 600);
    EXPECT_FALSE(again.waitOut({ growing }, abort)) << "the user may stop the wait";
}

// A file nobody else has open but that cannot be read says so, not "in use".
TEST(LeaveOut, UnreadableFileIsLeftOutWithItsReason)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked.mp3"));
    QFile file(locked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(locked).constData(), 0);
    const std::optional<QByteArray> reason = test::RunUnprivileged([&] {
        const auto read = ReadUnusedSourceRow(locked);
        return ReasonText(std::get<TReason>(read)).toUtf8();
    });
    ASSERT_TRUE(reason);
    EXPECT_EQ(*reason, QByteArray("permission denied"));
}
