#include "core/watching/watcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

using namespace plumtide;

namespace
{

// One step of a file's life as the tracker hears of it: s seen (with sample number
// `sample`), u found in use, o offered, p parked (with `sample`), r every parked file
// unparked, f forgotten below its folder, x notices lost.
struct Step {
    char op;
    qint64 at;
    int sample = 0;
};

struct Case {
    const char* rule;
    std::vector<Step> steps;
    qint64 dueFrom; // the first moment it is due; -1: never
    qint64 settle = 1000;
};

} // namespace

TEST(SettleTracker, AFileIsDueOnceQuietAndUnusedForTheSettleTime)
{
    const Case cases[] = {
        { "new: due a settle time after the first look", { { 's', 0, 1 } }, 1000 },
        { "the same look again changes nothing", { { 's', 0, 1 }, { 's', 900, 1 } }, 1000 },
        { "a change starts the wait anew", { { 's', 0, 1 }, { 's', 800, 2 } }, 1800 },
        { "in use starts the wait anew", { { 's', 0, 1 }, { 'u', 1000 } }, 2000 },
        { "offered: left alone", { { 's', 0, 1 }, { 'o', 1000 }, { 's', 1500, 2 } }, -1 },
        { "parked: stays while unchanged",
            { { 's', 0, 1 }, { 'o', 1000 }, { 'p', 1200, 1 }, { 's', 5000, 1 } }, -1 },
        { "parked and changed: a new arrival",
            { { 's', 0, 1 }, { 'o', 1000 }, { 'p', 1200, 1 }, { 's', 5000, 2 } }, 6000 },
        { "parked, then unparked: due at once",
            { { 's', 0, 1 }, { 'o', 1000 }, { 'p', 1200, 1 }, { 'r', 5000 } }, 1200 },
        { "gone with its folder", { { 's', 0, 1 }, { 'f', 10 } }, -1 },
        { "notices lost: quiet only from then", { { 's', 0, 1 }, { 'x', 700 } }, 1700 },
        { "no settle time: due at once", { { 's', 0, 1 } }, 0, 0 },
        { "no settle time, in use: tested again a second later", { { 's', 0, 1 }, { 'u', 0 } },
            1000, 0 },
        { "no settle time, in use, then changed: still a second later",
            { { 's', 0, 1 }, { 'u', 0 }, { 's', 300, 2 } }, 1000, 0 },
    };
    const QString file = QStringLiteral("/in/sub/a.mp3");
    for (const Case& c : cases) {
        TSettleTracker tracker(c.settle);
        for (const Step& step : c.steps) {
            const TFileSample sample { 1000 * step.sample, step.sample };
            switch (step.op) {
            case 's':
                tracker.seen(file, sample, step.at);
                break;
            case 'u':
                tracker.inUse(file, step.at);
                break;
            case 'o':
                tracker.offer(file);
                break;
            case 'p':
                tracker.park(file, sample, step.at);
                break;
            case 'r':
                tracker.unparkAll();
                break;
            case 'f':
                tracker.forgetBelow(QStringLiteral("/in/"));
                break;
            case 'x':
                tracker.restartAll(step.at);
                break;
            }
        }
        if (c.dueFrom < 0) {
            EXPECT_TRUE(tracker.due(1000000).isEmpty()) << c.rule;
            EXPECT_FALSE(tracker.dueTimes()) << c.rule;
        } else {
            EXPECT_TRUE(c.dueFrom == 0 || tracker.due(c.dueFrom - 1).isEmpty()) << c.rule;
            EXPECT_EQ(tracker.due(c.dueFrom), QStringList { file }) << c.rule;
            EXPECT_EQ(tracker.dueTimes()->first, c.dueFrom) << c.rule;
        }
    }
}

namespace
{

// A watcher on a temporary folder, run in an event loop until a condition holds.
class Watched : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "core_tests";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(argc, argv);
    }

    void start(
        bool poll, TWatchSettings::FileSystemProbe remote = {}, const TFileFormats& formats = {})
    {
        TWatchSettings settings;
        settings.folder = dir.path();
        settings.formats = formats;
        settings.settleMs = 300;
        settings.pollMs = 400;
        settings.poll = poll;
        settings.remoteFileSystem = std::move(remote);
        watcher = std::make_unique<TSourceWatcher>(settings,
            TSourceWatcher::Callbacks {
                [this](const QStringList& files) { batches.push_back(files); },
                [this](const QString& message) { notices.append(message); } });
        watcher->start();
    }

    void write(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(dir.filePath(relative)).path());
        QFile file(dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
        file.write(bytes);
    }

    // Runs the event loop until `done` holds, for at most `forMs` milliseconds.
    template <typename Done> bool runUntil(Done done, qint64 forMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < forMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            QThread::msleep(5);
        }
        return done();
    }

    QStringList offered() const
    {
        QStringList all;
        for (const QStringList& batch : batches)
            all.append(batch);
        return all;
    }

    QTemporaryDir dir;
    std::unique_ptr<TSourceWatcher> watcher;
    std::vector<QStringList> batches;
    QStringList notices;

private:
    std::unique_ptr<QCoreApplication> m_app;
};

} // namespace

// Told by the kernel: files in a folder made after the start are found, files that arrive
// together are offered together, a file the run left behind waits until it changes.
TEST_F(Watched, OffersSettledFilesInBatchesAndLeftoversOnlyOnceChanged)
{
    write(QStringLiteral("old.mp3"), "old");
    start(false);
    ASSERT_TRUE(runUntil([&] { return batches.size() == 1; }));
    EXPECT_EQ(batches.at(0), QStringList { dir.filePath(QStringLiteral("old.mp3")) });
    watcher->runEnded(); // it stayed: parked

    for (int i = 0; i < 20; ++i)
        write(QStringLiteral("new/deeper/%1.mp3").arg(i), "new");
    write(QStringLiteral("notes.txt"), "not music");
    ASSERT_TRUE(runUntil([&] { return offered().size() == 22; }));
    EXPECT_LE(batches.size(), 3u);
    // Notes named as no song there are offered once settled, for the run to let them follow
    // a song of their name that it filed before.
    EXPECT_TRUE(offered().contains(dir.filePath(QStringLiteral("notes.txt"))));
    EXPECT_EQ(watcher->tracker().parkedCount(), 1);

    write(QStringLiteral("old.mp3"), " and more");
    ASSERT_TRUE(runUntil([&] { return offered().size() == 23; }));
    EXPECT_EQ(batches.back(), QStringList { dir.filePath(QStringLiteral("old.mp3")) });
    // The run found it in use: it settles anew, unchanged.
    watcher->runEnded({ dir.filePath(QStringLiteral("old.mp3")) });
    ASSERT_TRUE(runUntil([&] { return offered().size() == 24; }));
    EXPECT_TRUE(notices.isEmpty()) << notices.join(QLatin1Char('\n')).toStdString();
}

// Only the formats asked for are watched, both those found at the start and those that
// arrive later.
TEST_F(Watched, OffersFilesOfTheFormatsAskedFor)
{
    for (const char* name : { "a.mp3", "b.flac", "c.OPUS", "d.wav", "e.flac.part" })
        write(QString::fromLatin1(name), "x");
    start(false, {}, *TFileFormats::FromText(u"flac,opus"));
    ASSERT_TRUE(runUntil([&] { return offered().size() >= 2; }));
    EXPECT_EQ(offered(),
        (QStringList {
            dir.filePath(QStringLiteral("b.flac")), dir.filePath(QStringLiteral("c.OPUS")) }));
    watcher->runEnded();

    write(QStringLiteral("new/f.mp3"), "x");
    write(QStringLiteral("new/g.flac"), "x");
    ASSERT_TRUE(runUntil([&] { return offered().size() == 3; }));
    EXPECT_EQ(offered().at(2), dir.filePath(QStringLiteral("new/g.flac")));
}

// A song waits for its lyrics: while they are still being written it is not offered, and
// they are never offered themselves.
TEST_F(Watched, ASongIsOfferedOnlyOnceItsCompanionsHaveSettled)
{
    start(false);
    write(QStringLiteral("album/a.mp3"), "song");
    QElapsedTimer writing;
    writing.start();
    while (writing.elapsed() < 1200) {
        write(QStringLiteral("album/a.lrc"), "[00:01]line\n");
        runUntil([] { return false; }, 100);
        ASSERT_TRUE(batches.empty()) << "offered while its lyrics were written";
    }
    ASSERT_TRUE(runUntil([&] { return !batches.empty(); }));
    EXPECT_EQ(offered(), QStringList { dir.filePath(QStringLiteral("album/a.mp3")) });
}

// Where the system cannot watch, the folder is read again and again, and files settle all
// the same; a file that keeps growing is not offered while it does.
TEST_F(Watched, ReadingAgainFindsFilesWhereNoticesAreMissing)
{
    start(true);
    EXPECT_TRUE(watcher->polling());
    write(QStringLiteral("sub/a.mp3"), "a");
    // A settled file waits a little for others still arriving, but not for ever.
    QElapsedTimer growing;
    growing.start();
    while (offered().isEmpty() && growing.elapsed() < 8000) {
        write(QStringLiteral("growing.mp3"), "more");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(100);
    }
    EXPECT_EQ(offered(), QStringList { dir.filePath(QStringLiteral("sub/a.mp3")) });
    ASSERT_TRUE(runUntil([&] { return offered().size() == 2; }));
    EXPECT_EQ(offered().at(1), dir.filePath(QStringLiteral("growing.mp3")));
}

// A source, or a folder below it, on a file system whose changes from elsewhere send no
// notices (as the probe tells: NFS here) is read again every poll time, and said so once.
TEST_F(Watched, ASourceOnANetworkFileSystemIsReadAgain)
{
    for (const QString& remote : { QString(), QStringLiteral("/share") }) {
        batches.clear();
        notices.clear();
        const QString share = dir.filePath(QStringLiteral("share"));
        QDir().mkpath(share);
        start(false, [&](const QString& folder) -> std::optional<QString> {
            if (folder == dir.path() + remote)
                return QStringLiteral("nfs");
            return std::nullopt;
        });
        EXPECT_TRUE(watcher->polling()) << remote.toStdString();
        ASSERT_EQ(notices.size(), 1) << notices.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(notices.at(0).contains(QStringLiteral("network or FUSE file system (nfs)")));
        EXPECT_TRUE(notices.at(0).contains(QStringLiteral("every 0.4 s")));
        write(QStringLiteral("share/a.mp3"), "a");
        ASSERT_TRUE(runUntil([&] { return !batches.empty(); }));
        EXPECT_EQ(offered(), QStringList { share + QStringLiteral("/a.mp3") });
        EXPECT_EQ(notices.size(), 1);
        QFile::remove(share + QStringLiteral("/a.mp3"));
    }
}

// The destination of a watch counts only while it is the folder it was when watching began;
// a bare mount point (named in the table of file systems, empty, nothing mounted) not even
// then: files put there would be hidden once the disk is mounted.
TEST(WatchedDestination, OnlyTheFolderTheWatchBeganWithCounts)
{
    using State = TWatchedDestination::State;
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("my music"));
    const QString fstab = dir.filePath(QStringLiteral("fstab"));
    QFile table(fstab);
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("# <file system> <mount point> <type>\n"
                "UUID=1234  /  ext4  defaults  0 1\n"
                "LABEL=music\t"
        + QFile::encodeName(dir.path()) + "/my\\040music  ext4  nofail  0 2\n");
    table.close();

    TWatchedDestination destination(music, fstab);
    EXPECT_EQ(destination.look(), State::Missing);
    ASSERT_TRUE(QDir().mkpath(music));
    EXPECT_EQ(destination.look(), State::BareMountPoint);
    QFile first(music + QStringLiteral("/first.mp3"));
    ASSERT_TRUE(first.open(QIODevice::WriteOnly));
    first.close();
    EXPECT_EQ(destination.look(), State::Here) << "not bare: taken as the destination";

    ASSERT_TRUE(QDir().rename(music, dir.filePath(QStringLiteral("away"))));
    EXPECT_EQ(destination.look(), State::Missing);
    ASSERT_TRUE(QDir().mkpath(music));
    EXPECT_EQ(destination.look(), State::Replaced);
    ASSERT_TRUE(QDir().rmdir(music));
    ASSERT_TRUE(QDir().rename(dir.filePath(QStringLiteral("away")), music));
    EXPECT_EQ(destination.look(), State::Here);

    // Not named in the table: an empty folder is simply the destination.
    const QString other = dir.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other));
    EXPECT_EQ(TWatchedDestination(other, fstab).look(), State::Here);
}
