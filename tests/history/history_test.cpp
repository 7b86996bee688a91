#include "history/history.h"
#include "history/sqlite.h"
#include "platform/locks.h"
#include "platform/trash.h"
#include "session/recorder.h"
#include "session/recovery.h"
#include "session/undo.h"
#include "tests/history/historylibrary.h"
#include "tests/support/unprivileged.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace plumtide;
using namespace plumtide::test;

namespace
{

void append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(bytes);
}

QStringList notRestored(const std::vector<TMoveEvent>& events)
{
    QStringList lines;
    for (const TMoveEvent& event : events) {
        if (event.outcome != TMoveOutcome::Restored)
            lines.append(
                QFileInfo(event.file).fileName() + QStringLiteral(": ") + ReasonText(event.reason));
    }
    return lines;
}

} // namespace

// What a user sees: a sort filed things, the user changed a few on the way, and the undo puts
// back exactly what can come back and says why the rest stays.
TEST(Undo, PutsTheSourceFolderBackExceptWhatChangedOrWasTaken)
{
    HistoryLibrary lib;
    for (const char* name : { "Madonna - Vogue.mp3", "old/Madonna - Frozen.mp3",
             "ABBA - Waterloo.mp3", "ABBA - SOS.mp3", "Queen - One.mp3", "ABBA - Dup.mp3" })
        lib.song(QStringLiteral("in/") + QString::fromLatin1(name));
    lib.song(QStringLiteral("in/Queen - Tiny.mp3"), 100);
    lib.copySong(QStringLiteral("in/ABBA - Dup.mp3"), QStringLiteral("music/ABBA/ABBA - Dup.mp3"));
    const auto before = lib.tree(QStringLiteral("in"));

    HistoryLibrary::SortJob job = lib.job();
    job.move.deleteSmallFiles = true;
    job.move.smallFileLimit = 1;
    job.move.useTrash = true;
    EXPECT_TRUE(lib.sort(job).isEmpty());
    EXPECT_TRUE(lib.tree(QStringLiteral("in")).empty());

    // Meanwhile: a source folder removed, a target changed, an old path taken by a new file.
    QDir(lib.path(QStringLiteral("in/old"))).removeRecursively();
    append(lib.path(QStringLiteral("music/ABBA/ABBA - SOS.mp3")), "more");
    const QString newcomer = lib.song(QStringLiteral("in/Queen - One.mp3"), 1234);

    const THistory history(lib.history(), THistory::Access::Read);
    ASSERT_EQ(history.lastUndoable(), 1);
    EXPECT_EQ(notRestored(lib.undo(1)),
        (QStringList { QStringLiteral("Queen - One.mp3: old path taken"),
            QStringLiteral("ABBA - SOS.mp3: changed since the move") }));

    auto expected = before;
    expected.erase(QStringLiteral("ABBA - SOS.mp3"));
    expected[QStringLiteral("Queen - One.mp3")]
        = lib.tree(QStringLiteral("in")).at(QStringLiteral("Queen - One.mp3"));
    EXPECT_EQ(lib.tree(QStringLiteral("in")), expected);
    EXPECT_EQ(lib.tree(QStringLiteral("music/ABBA")).count(QStringLiteral("ABBA - SOS.mp3")), 1u);
    EXPECT_TRUE(lib.tree(QStringLiteral("doubles")).empty());
    EXPECT_TRUE(lib.treeAt(lib.home(QStringLiteral("data/Trash"))).empty());

    const std::vector<THistoryRun> runs = history.runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].origin, TRunOrigin::Undo);
    EXPECT_EQ(runs[0].undoes, 1);
    EXPECT_EQ(runs[0].files, 5); // restored
    EXPECT_EQ(runs[1].state, TRunState::PartlyUndone);
    EXPECT_EQ(runs[1].files, 7);
    EXPECT_EQ(history.lastUndoable(), std::nullopt);
}

// A sort killed at any moment, renaming within one file system or copying across two: every
// move the history lists happened, every file that moved is in it, and undo brings each back.
class KilledSort : public ::testing::TestWithParam<bool>
{
};

TEST_P(KilledSort, TheHistoryHoldsEveryMoveThatHappenedAndNoOther)
{
    const bool across = GetParam();
    const TFileStatus shm = StatusOf(QStringLiteral("/dev/shm"));
    const bool shmApart
        = shm.kind == PathKind::Folder && shm.device != StatusOf(QDir::tempPath()).device;
    if (across && !shmApart)
        GTEST_SKIP() << "no second file system";
    // Copies go in small groups, so a slow run of few files is killed between two of them.
    // Renames go in large groups: a run of many files, in memory where there is room (where
    // making them is quick), is killed in the middle of its renames often enough.
    const int count = across ? 80 : 1500;
    const useconds_t pause = across ? 2000 : 0;
    const QString sources = !across && shmApart ? QStringLiteral("/dev/shm") : QString();
    const QString targetBase = across ? QStringLiteral("/dev/shm") : sources;
    std::mt19937 random(16);
    qint64 fullRun = 0; // ms, measured by the first round, which is not killed
    int kills = 0;
    int killedHalfWay = 0;
    int missing = 0;
    for (int round = 0; round < 13; ++round) {
        HistoryLibrary lib(sources);
        HistoryLibrary targets(targetBase);
        std::vector<TPlanRow> rows;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("in/%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
            lib.song(name, 2000 + i % 97);
            rows.push_back({ lib.path(name), 50.0,
                targets.path(
                    i % 2 ? QStringLiteral("music/ABBA") : QStringLiteral("music/Queen")) });
        }
        const auto before = lib.tree(QStringLiteral("in"));
        QElapsedTimer timer;
        timer.start();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TRunRecorder recorder(TRunOrigin::Cli, lib.path(QStringLiteral("in")),
                lib.path(QStringLiteral("music")), lib.history());
            TCarryOut how;
            how.move = lib.job().move;
            // A run slow enough that the kill comes half-way through it, whatever the disk.
            class SlowPump : public Pump
            {
            public:
                explicit SlowPump(useconds_t pause)
                    : m_pause(pause)
                {
                }
                void processEvents() override
                {
                    if (m_pause)
                        ::usleep(m_pause);
                }
                bool abortRequested() const override { return false; }

            private:
                useconds_t m_pause;
            } pump(pause);
            CarryOut(
                how, WorkOf(std::vector<TWorkItem>(rows.begin(), rows.end())), {}, pump, &recorder);
            ::_exit(0);
        }
        if (round == 0) {
            ::waitpid(child, nullptr, 0);
            fullRun = std::max<qint64>(timer.elapsed(), 10);
        } else {
            if (round % 2) {
                // At any moment of the run.
                ::usleep(useconds_t(1000
                    * std::uniform_int_distribution<qint64>(fullRun / 20, fullRun * 19 / 20)(
                        random)));
            } else {
                // While its files arrive: as soon as one picked at random is at its target.
                const TPlanRow& row
                    = rows[std::uniform_int_distribution<size_t>(1, rows.size() - 2)(random)];
                const QString arrived = row.folder + '/' + QFileInfo(row.file).fileName();
                while (StatusOf(arrived).kind == PathKind::Missing
                    && timer.elapsed() < fullRun * 10) { }
            }
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            ++kills;
        }

        std::map<QString, QByteArray> atTargets;
        for (const char* folder : { "music/ABBA", "music/Queen" })
            atTargets.merge(targets.tree(QString::fromLatin1(folder)));
        const auto checksum = [](const std::map<QString, QByteArray>& files, const QString& name) {
            const auto found = files.find(name);
            return found == files.end() ? QByteArray() : found->second;
        };
        const auto atSources = lib.tree(QStringLiteral("in"));
        // Read after the kill: the history shows what the next run will keep of what this one
        // had under way.
        const THistory history(lib.history(), THistory::Access::Read);
        std::set<QString> recorded;
        for (const THistoryRun& run : history.runs()) {
            for (const THistoryRecord& record : history.records(run.id)) {
                ASSERT_EQ(record.outcome, TMoveOutcome::Moved);
                const QString name = QFileInfo(record.target).fileName();
                ASSERT_EQ(checksum(atTargets, name), before.at(name))
                    << "round " << round << ": " << name.toStdString();
                recorded.insert(name);
            }
        }
        for (const auto& [name, sum] : before) {
            const bool moved = checksum(atSources, name) != sum;
            ASSERT_TRUE(!moved || checksum(atTargets, name) == sum)
                << "round " << round << ": " << name.toStdString() << " is nowhere whole";

            missing += moved && !recorded.count(name);
        }
        // Settled by the next run, no file is in both places: a copy whose source was still
        // to be deleted is finished.
        {
            THistory next(lib.history(), THistory::Access::Write);
            Recover(next);
        }
        std::map<QString, QByteArray> settledTargets;
        for (const char* folder : { "music/ABBA", "music/Queen" })
            settledTargets.merge(targets.tree(QString::fromLatin1(folder)));
        for (const auto& [name, sum] : lib.tree(QStringLiteral("in")))
            EXPECT_FALSE(settledTargets.count(name))
                << "round " << round << ": " << name.toStdString() << " is in both places";
        killedHalfWay += !recorded.empty() && recorded.size() < rows.size();
        if (recorded.empty())
            continue;
        const std::vector<TMoveEvent> events = lib.undo(history.runs().back().id);
        EXPECT_TRUE(notRestored(events).isEmpty()) << notRestored(events).join('\n').toStdString();
        EXPECT_EQ(lib.tree(QStringLiteral("in")), before) << "round " << round;
    }
    std::printf("%d kills, %d half-way through the run, %d moved files missing from the history\n",
        kills, killedHalfWay, missing);
    EXPECT_EQ(missing, 0);
    EXPECT_GT(killedHalfWay, 0) << "no kill came half-way through a run";
}

INSTANTIATE_TEST_SUITE_P(Sorts, KilledSort, ::testing::Values(false, true),
    [](const auto& info) { return info.param ? "CopiesAcrossFileSystems" : "RenamesWithinOne"; });

// No run changes anything its history cannot keep. A history SQLite cannot read is set aside
// with its journal and a new one begun, said once; any other history that cannot be used
// (a newer version's included, which is never set aside) stops the run before its first
// change.
TEST(RecordedSort, NeverChangesWhatItsHistoryCannotKeep)
{
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const struct {
        const char* name;
        std::function<void(const HistoryLibrary&)> spoil;
        bool setAside;
        bool unprivileged = false;
    } cases[] = {
        { "not a database",
            [&](const HistoryLibrary& lib) { writeFile(lib.history(), QByteArray(8192, 'g')); },
            true },
        { "state folder is a file",
            [&](const HistoryLibrary& lib) { writeFile(lib.home(QStringLiteral("state")), {}); },
            false },
        { "written by a newer version",
            [](const HistoryLibrary& lib) {
                lib.sort(lib.job()); // makes the history
                TSqlite(lib.history(), false).exec("PRAGMA user_version=99");
            },
            false },
        { "read-only file",
            [](const HistoryLibrary& lib) {
                lib.sort(lib.job());
                ::chmod(lib.history().toUtf8().constData(), 0444);
                ::chmod(QFileInfo(lib.history()).path().toUtf8().constData(), 0555);
            },
            false, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryLibrary lib;
        c.spoil(lib);
        lib.song(QStringLiteral("in/Madonna - Vogue.mp3"));
        lib.song(QStringLiteral("in/sub/Queen - One.mp3"));
        const auto in = lib.tree(QStringLiteral("in"));
        const auto spoiled = lib.treeAt(lib.home(QString()));
        const auto sort = [&] {
            try {
                return QStringLiteral("told: ") + lib.sort(lib.job()).join('\n');
            } catch (const PlumtideError& error) {
                return QStringLiteral("stopped: ") + error.message();
            }
        };
        QString said;
        if (c.unprivileged) {
            ASSERT_EQ(::system(QStringLiteral("chmod -R a+rwX '%1/in' '%1/music'")
                                   .arg(lib.path(QString()))
                                   .toUtf8()
                                   .constData()),
                0);
            ::chmod(lib.path(QString()).toUtf8().constData(), 0777);
            const std::optional<QByteArray> out = RunUnprivileged([&] { return sort().toUtf8(); });
            ASSERT_TRUE(out);
            said = QString::fromUtf8(*out);
        } else {
            said = sort();
        }
        if (c.setAside) {
            EXPECT_TRUE(said.startsWith(QStringLiteral("told: The history was damaged")))
                << said.toStdString();
            EXPECT_TRUE(lib.tree(QStringLiteral("in")).empty());
            // The old file kept as it was under a dated name; the new history has the run.
            const QStringList aside
                = QDir(QFileInfo(lib.history()).path())
                      .entryList({ QStringLiteral("history.sqlite.damaged-*") });
            ASSERT_EQ(aside.size(), 1);
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^history.sqlite.damaged-\\d{8}-\\d{6}$"))
                            .match(aside.first())
                            .hasMatch());
            QFile old(QFileInfo(lib.history()).path() + '/' + aside.first());
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), QByteArray(8192, 'g'));
            EXPECT_EQ(THistory(lib.history(), THistory::Access::Read).runs().size(), 1u);
        } else {
            EXPECT_TRUE(said.startsWith(QStringLiteral("stopped: "))) << said.toStdString();
            EXPECT_EQ(lib.tree(QStringLiteral("in")), in);
            EXPECT_EQ(lib.treeAt(lib.home(QString())), spoiled);
        }
    }
}

// A change is written down before it is made; where that fails (a disk full, the database
// held by another program past its wait) the change is not made and the run stops with the
// reason.
TEST(RecordedSort, AChangeThatCannotBeWrittenDownIsNotMade)
{
    const struct {
        const char* name;
        std::function<void(HistoryLibrary&, HistoryLibrary::SortJob&)> prepare;
        std::function<std::vector<TWorkItem>(const HistoryLibrary&)> work;
    } cases[] = {
        { "a move", [](HistoryLibrary&, HistoryLibrary::SortJob&) {},
            [](const HistoryLibrary& lib) {
                return std::vector<TWorkItem> { TPlanRow { lib.path(QStringLiteral("in/a.mp3")),
                    100.0, lib.path(QStringLiteral("music/ABBA")) } };
            } },
        { "a deletion",
            [](HistoryLibrary&, HistoryLibrary::SortJob& job) {
                job.move.deleteSmallFiles = true;
                job.move.smallFileLimit = 10;
            },
            [](const HistoryLibrary& lib) {
                return std::vector<TWorkItem> { TPlanRow { lib.path(QStringLiteral("in/a.mp3")),
                    100.0, lib.path(QStringLiteral("music/ABBA")) } };
            } },
        { "a folder made", [](HistoryLibrary&, HistoryLibrary::SortJob&) {},
            [](const HistoryLibrary& lib) {
                return std::vector<TWorkItem> { TCreateFolder {
                    lib.path(QStringLiteral("music/Blondie")) } };
            } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryLibrary lib;
        HistoryLibrary::SortJob job = lib.job();
        c.prepare(lib, job);
        lib.sort(lib.job()); // makes the history
        lib.song(QStringLiteral("in/a.mp3"));
        const auto before = lib.treeAt(lib.path(QString()));
        TCarryOut how;
        how.move = job.move;
        TRunRecorder recorder(TRunOrigin::Cli, lib.path(QStringLiteral("in")),
            lib.path(QStringLiteral("music")), lib.history());
        TSqlite other(lib.history(), false);
        other.exec("BEGIN IMMEDIATE");
        NullPump pump;
        EXPECT_THROW(CarryOut(how, WorkOf(c.work(lib)), {}, pump, &recorder), HistoryError);
        other.exec("ROLLBACK");
        EXPECT_EQ(lib.treeAt(lib.path(QString())), before);
        EXPECT_TRUE(QDir(lib.path(QStringLiteral("music/ABBA"))).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(lib.path(QStringLiteral("music/Blondie"))));
    }
}

// Runs that find no history and start at the same moment (the watch service and the window at
// log-on) make it once, and each is recorded.
TEST(RecordedSort, RunsThatMakeTheHistoryAtOnceAreEachRecorded)
{
    for (int trial = 0; trial < 10; ++trial) {
        HistoryLibrary lib;
        constexpr int kRuns = 6;
        std::atomic<int> ready { 0 };
        std::vector<QString> failures(kRuns);
        std::vector<std::thread> runs;
        for (int i = 0; i < kRuns; ++i) {
            runs.emplace_back([&, i] {
                ++ready;
                while (ready < kRuns) { }
                try {
                    TRunRecorder recorder(TRunOrigin::Watch, lib.path(QStringLiteral("in")),
                        lib.path(QStringLiteral("music")), lib.history());
                    recorder.record({ TMoveOutcome::Created, lib.path(QStringLiteral("music")) });
                    recorder.finish(TMoveSummary {});
                } catch (const PlumtideError& error) {
                    failures[size_t(i)] = error.message();
                }
            });
        }
        for (std::thread& run : runs)
            run.join();
        for (const QString& failure : failures)
            EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
        EXPECT_EQ(THistory(lib.history(), THistory::Access::Read).runs().size(), size_t(kRuns));
    }
}

// One undo at a time, and none while a sort runs; each is told what it waits for.
TEST(RecordedSort, AnUndoIsToldWhatIsUnderWay)
{
    HistoryLibrary lib;
    lib.sort(lib.job());
    for (const bool undoing : { false, true }) {
        const TLockedFile held = TryLockFile(RunLockPath(lib.history()), undoing);
        ASSERT_EQ(held.error, 0);
        try {
            TRunRecorder undo(TRunOrigin::Undo, lib.path(QStringLiteral("in")),
                lib.path(QStringLiteral("music")), lib.history(), 1);
            ADD_FAILURE() << "an undo started beside another run";
        } catch (const PlumtideError& error) {
            EXPECT_TRUE(error.message().startsWith(undoing ? QStringLiteral("An undo is under way")
                                                           : QStringLiteral("A sort is under way")))
                << error.message().toStdString();
        }
    }
}

// Small files and doubles deleted with the Trash on are in the Trash of their own file system
// with their info files, and undo brings them back.
TEST(Trash, DeletedFilesGoToTheTrashOfTheirFileSystemAndComeBack)
{
    struct stat tmp {
    }, shm {};
    const bool otherFileSystem = ::stat("/dev/shm", &shm) == 0 && ::access("/dev/shm", W_OK) == 0
        && ::stat(QDir::tempPath().toUtf8().constData(), &tmp) == 0 && tmp.st_dev != shm.st_dev;
    for (const QString& base : { QString(), QStringLiteral("/dev/shm") }) {
        if (!base.isEmpty() && !otherFileSystem)
            continue;
        SCOPED_TRACE(base.toStdString());
        HistoryLibrary lib(base);
        lib.song(QStringLiteral("in/Queen - Tiny.mp3"), 100);
        lib.song(QStringLiteral("in/ABBA - Dup.mp3"));
        lib.copySong(
            QStringLiteral("in/ABBA - Dup.mp3"), QStringLiteral("music/ABBA/ABBA - Dup.mp3"));
        const auto before = lib.tree(QStringLiteral("in"));
        HistoryLibrary::SortJob job = lib.job();
        job.move.deleteSmallFiles = true;
        job.move.smallFileLimit = 1;
        job.move.doubles = TDoubles::Delete;
        job.move.useTrash = true;
        lib.sort(job);
        EXPECT_TRUE(lib.tree(QStringLiteral("in")).empty());

        const THistory history(lib.history(), THistory::Access::Read);
        const std::vector<THistoryRecord> records = history.records(1);
        ASSERT_EQ(records.size(), 2u);
        for (const THistoryRecord& record : records) {
            SCOPED_TRACE(record.file.toStdString());
            EXPECT_TRUE(record.reason.isEmpty());
            QFile info(TrashInfoOf(record.trashed));
            ASSERT_TRUE(info.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(info.readAll());
            // Home: an absolute path; elsewhere relative to the top of the file system.
            const QString original = base.isEmpty()
                ? record.file
                : record.file.mid(record.trashed.indexOf(QStringLiteral("/.Trash")) + 1);
            EXPECT_TRUE(text.startsWith(QStringLiteral("[Trash Info]\nPath=")
                + QString::fromUtf8(QFile::encodeName(original).toPercentEncoding("/"))
                + QStringLiteral("\nDeletionDate=")))
                << text.toStdString();
            EXPECT_TRUE(QFile::exists(record.trashed));
            EXPECT_EQ(record.trashed.startsWith(lib.home(QStringLiteral("data/Trash/files/"))),
                base.isEmpty());
        }
        EXPECT_TRUE(notRestored(lib.undo(1)).isEmpty());
        EXPECT_EQ(lib.tree(QStringLiteral("in")), before);
        for (const THistoryRecord& record : records)
            EXPECT_FALSE(QFile::exists(TrashInfoOf(record.trashed)));
    }
}

// With the Trash asked for, a deletion goes where the user's Trash is, also through a home
// Trash that is a link; a file no Trash can take (seen through a bind mount, whose renames
// cannot leave it) is kept and said so, never deleted for good.
TEST(Trash, ADeletionGoesToTheTrashOrTheFileIsKept)
{
    enum class Setup { LinkedHomeTrash, BindMountedSource };
    for (const Setup setup : { Setup::LinkedHomeTrash, Setup::BindMountedSource }) {
        SCOPED_TRACE(int(setup));
        HistoryLibrary lib;
        lib.song(QStringLiteral("in/Queen - Tiny.mp3"), 100);
        lib.song(QStringLiteral("in/ABBA - Dup.mp3"));
        lib.copySong(
            QStringLiteral("in/ABBA - Dup.mp3"), QStringLiteral("music/ABBA/ABBA - Dup.mp3"));
        const auto before = lib.tree(QStringLiteral("in"));
        const QString in = lib.path(QStringLiteral("in"));
        struct Unmount {
            QByteArray at;
            ~Unmount()
            {
                if (!at.isEmpty())
                    ::umount2(at.constData(), MNT_DETACH);
            }
        } unmount;
        if (setup == Setup::LinkedHomeTrash) {
            QDir().mkpath(lib.home(QStringLiteral("data")));
            QDir().mkpath(lib.home(QStringLiteral("elsewhere")));
            ASSERT_TRUE(QFile::link(
                lib.home(QStringLiteral("elsewhere")), lib.home(QStringLiteral("data/Trash"))));
        } else {
            const QByteArray at = QFile::encodeName(in);
            if (::mount(at.constData(), at.constData(), nullptr, MS_BIND, nullptr) != 0)
                continue; // not permitted here
            unmount.at = at;
        }
        HistoryLibrary::SortJob job = lib.job();
        job.move.deleteSmallFiles = true;
        job.move.smallFileLimit = 1;
        job.move.doubles = TDoubles::Delete;
        job.move.useTrash = true;
        lib.sort(job);

        const std::vector<THistoryRecord> records
            = THistory(lib.history(), THistory::Access::Read).records(1);
        ASSERT_EQ(records.size(), 2u);
        if (setup == Setup::BindMountedSource) {
            for (const THistoryRecord& record : records) {
                EXPECT_EQ(record.outcome, TMoveOutcome::Skipped);
                EXPECT_EQ(record.reason, ReasonText(TReason::NotTrashedNoTrash));
            }
            EXPECT_EQ(lib.tree(QStringLiteral("in")), before);
            continue;
        }
        for (const THistoryRecord& record : records) {
            SCOPED_TRACE(record.file.toStdString());
            ASSERT_FALSE(record.trashed.isEmpty());
            const QString name = QFileInfo(record.trashed).fileName();
            EXPECT_TRUE(QFile::exists(lib.home(QStringLiteral("elsewhere/files/") + name)));
            EXPECT_TRUE(QFile::exists(
                lib.home(QStringLiteral("elsewhere/info/") + name + QStringLiteral(".trashinfo"))));
        }
        EXPECT_TRUE(notRestored(lib.undo(1)).isEmpty());
        EXPECT_EQ(lib.tree(QStringLiteral("in")), before);
    }
}

// An undo of the undo that brought a file back from the Trash puts it into the Trash again
// with its info file, as a file manager shows it; the next undo brings it back once more.
TEST(Trash, AnUndoOfAnUndoPutsTheFileBackIntoTheTrash)
{
    HistoryLibrary lib;
    const QString tiny = lib.song(QStringLiteral("in/Queen - Tiny.mp3"), 100);
    const auto before = lib.tree(QStringLiteral("in"));
    HistoryLibrary::SortJob job = lib.job();
    job.move.deleteSmallFiles = true;
    job.move.smallFileLimit = 1;
    job.move.useTrash = true;
    lib.sort(job);
    // Each name in the Trash's files/ with the original path its info file gives.
    const auto trash = [&] {
        std::map<QString, QString> shown;
        const QString files = lib.home(QStringLiteral("data/Trash/files"));
        for (const QString& name : QDir(files).entryList(QDir::Files)) {
            QFile info(TrashInfoOf(files + QLatin1Char('/') + name));
            shown[name] = info.open(QIODevice::ReadOnly)
                ? QString::fromUtf8(info.readAll()).section(QLatin1Char('\n'), 1, 1)
                : QStringLiteral("no info file");
        }
        return shown;
    };
    const std::map<QString, QString> trashed = trash();
    ASSERT_EQ(trashed.size(), 1u);
    EXPECT_EQ(trashed.begin()->second,
        QStringLiteral("Path=")
            + QString::fromUtf8(QFile::encodeName(tiny).toPercentEncoding("/")));

    for (qint64 run = 1; run <= 3; ++run) {
        SCOPED_TRACE(run);
        EXPECT_TRUE(notRestored(lib.undo(run)).isEmpty());
        const bool inTrash = run % 2 == 0;
        EXPECT_EQ(lib.tree(QStringLiteral("in")).empty(), inTrash);
        const std::map<QString, QString> none;
        EXPECT_EQ(trash(), inTrash ? trashed : none);
        EXPECT_TRUE(QDir(lib.home(QStringLiteral("data/Trash/info"))).isEmpty() != inTrash);
    }
    EXPECT_EQ(lib.tree(QStringLiteral("in")), before);
}

// Automatic runs leave what an undo brought back where it is, until it changes or a sort by
// hand takes it.
TEST(RecordedSort, AutomaticRunsLeaveRestoredFilesAloneUntilTheyChange)
{
    HistoryLibrary lib;
    lib.song(QStringLiteral("in/Madonna - Vogue.mp3"));
    lib.song(QStringLiteral("in/Queen - One.mp3"));
    lib.sort(lib.job(TRunOrigin::Window));
    lib.undo(1);
    const auto restored = lib.tree(QStringLiteral("in"));
    ASSERT_EQ(restored.size(), 2u);

    for (const TRunOrigin origin : { TRunOrigin::Auto, TRunOrigin::Watch })
        lib.sort(lib.job(origin));
    EXPECT_EQ(lib.tree(QStringLiteral("in")), restored);

    append(lib.path(QStringLiteral("in/Queen - One.mp3")), "changed");
    lib.sort(lib.job(TRunOrigin::Auto));
    EXPECT_EQ(lib.tree(QStringLiteral("in")).count(QStringLiteral("Queen - One.mp3")), 0u);
    EXPECT_EQ(lib.tree(QStringLiteral("in")).size(), 1u);

    lib.sort(lib.job(TRunOrigin::Cli));
    EXPECT_TRUE(lib.tree(QStringLiteral("in")).empty());
    // Automatic runs that changed nothing are not kept.
    const THistory history(lib.history(), THistory::Access::Read);
    QStringList origins;
    for (const THistoryRun& run : history.runs())
        origins.append(QString::fromLatin1(OriginName(run.origin)));
    EXPECT_EQ(origins,
        (QStringList { QStringLiteral("cli"), QStringLiteral("auto"), QStringLiteral("undo"),
            QStringLiteral("window") }));
}

// A history of the first version, which kept origins, states and outcomes as words and paths
// as typed, is brought up to date where it lies: its runs read as they were, and a record
// with a relative path is never guessed at by an undo.
TEST(History, VersionOneIsMigratedInPlaceAndRelativePathsAreRefused)
{
    HistoryLibrary lib;
    const QString moved = lib.song(QStringLiteral("music/ABBA/Waterloo.mp3"));
    const TFileStatus status = StatusOf(moved);
    QDir().mkpath(QFileInfo(lib.history()).path());
    {
        TSqlite old(lib.history(), true);
        old.exec(R"(
CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, started INTEGER NOT NULL,
    ended INTEGER, origin TEXT NOT NULL, source TEXT NOT NULL, destination TEXT NOT NULL,
    files INTEGER NOT NULL DEFAULT 0, state TEXT NOT NULL, pid INTEGER, undoes INTEGER);
CREATE INDEX runs_started ON runs(started);
CREATE TABLE records (id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE, outcome TEXT NOT NULL,
    file TEXT NOT NULL, target TEXT NOT NULL DEFAULT '', reason TEXT NOT NULL DEFAULT '',
    size INTEGER NOT NULL DEFAULT -1, modified INTEGER NOT NULL DEFAULT 0,
    trashed TEXT NOT NULL DEFAULT '', kept INTEGER NOT NULL DEFAULT 0, restores INTEGER,
    restored_by INTEGER);
CREATE INDEX records_run ON records(run, id);
CREATE TABLE holds (path TEXT PRIMARY KEY, size INTEGER NOT NULL, modified INTEGER NOT NULL,
    run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE);
CREATE INDEX holds_run ON holds(run);
PRAGMA application_id=1349276772; PRAGMA user_version=1;
INSERT INTO runs (started, ended, origin, source, destination, files, state)
    VALUES (1700000000000, 1700000001000, 'watch', 'in', 'music', 1, 'done');
INSERT INTO records (run, outcome, file, reason) VALUES (1, 'skipped', 'in/x.mp3', 'in use');
)");
        TStatement(old,
            "INSERT INTO records (run, outcome, file, target, size, modified) "
            "VALUES (1, 'moved', 'in/Waterloo.mp3', ?, ?, ?)")
            .bind({ moved, status.size, status.modified })
            .run();
    }
    {
        const THistory history(lib.history(), THistory::Access::Read);
        const std::vector<THistoryRun> runs = history.runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].origin, TRunOrigin::Watch);
        EXPECT_EQ(runs[0].state, TRunState::Done);
        const std::vector<THistoryRecord> records = history.records(1);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].outcome, TMoveOutcome::Skipped);
        EXPECT_EQ(records[0].reason, QStringLiteral("in use"));
        EXPECT_EQ(records[1].outcome, TMoveOutcome::Moved);
        EXPECT_EQ(history.lastUndoable(), 1);
    }
    EXPECT_EQ(notRestored(lib.undo(1)),
        QStringList { QStringLiteral("Waterloo.mp3: recorded path is relative") });
    EXPECT_TRUE(QFile::exists(moved));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("in/Waterloo.mp3"))));
}

// What a killed run had under way is judged against the disk: a move whose target holds the
// file and whose source is gone happened, and so did a copy whose target holds it; a move
// whose copy was in place, its source not yet deleted, is finished while the source still
// has the copy's bytes; nothing else happened. A reader shows that judgement and changes
// nothing; the next run acts on it. A run that still holds its lock is under way, whatever
// its process id says (another process namespace gives other numbers).
TEST(History, PendingMovesOfAKilledRunAreSettledAgainstTheDisk)
{
    HistoryLibrary lib;
    const struct Case {
        const char* name;
        TPending pending;
        bool atTarget;
        bool atSource;
        qint64 otherSize; // the target holds another file: this much larger
        bool happened;
        bool sourceChanged = false; // other bytes, the same size and time
    } cases[] = {
        { "renamed", TPending::Move, true, false, 0, true },
        { "not made yet", TPending::Move, false, true, 0, false },
        { "copied, its source not yet deleted", TPending::Move, true, true, 0, true },
        { "copied, its source changed since", TPending::Move, true, true, 0, false, true },
        { "another file at the target", TPending::Move, true, false, 1, false },
        { "copied back, its source stays", TPending::Copy, true, true, 0, true },
        { "deleted", TPending::Delete, false, false, 0, true },
        { "not deleted yet", TPending::Delete, false, true, 0, false },
    };
    std::vector<THistoryRecord> records;
    QStringList happened;
    QStringList sources; // those still there once settled
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name) + QStringLiteral(".mp3");
        const QString source = lib.song(QStringLiteral("in/") + name);
        const bool deletion = c.pending == TPending::Delete;
        const QString target
            = deletion ? QString() : lib.path(QStringLiteral("music/ABBA/") + name);
        const TFileStatus status = StatusOf(source);
        if (c.atTarget) {
            QFile::copy(source, target);
            ::utimensat(AT_FDCWD, QFile::encodeName(target).constData(),
                std::array<timespec, 2> { timespec { 0, UTIME_OMIT },
                    timespec { status.modified / 1000000000, status.modified % 1000000000 } }
                    .data(),
                0);
        }
        if (!c.atSource)
            QFile::remove(source);
        if (c.sourceChanged) {
            QFile file(source);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.write("changed");
            file.close();
            ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(),
                std::array<timespec, 2> { timespec { 0, UTIME_OMIT },
                    timespec { status.modified / 1000000000, status.modified % 1000000000 } }
                    .data(),
                0);
        }
        sources.append(
            c.atSource && !(c.happened && c.pending == TPending::Move) ? source : QString());
        THistoryRecord record;
        record.outcome = deletion ? TMoveOutcome::SmallDeleted : TMoveOutcome::Moved;
        record.file = source;
        record.target = target;
        record.size = status.size - c.otherSize;
        record.modified = status.modified;
        record.pending = c.pending;
        records.push_back(record);
        if (c.happened)
            happened.append(source);
    }
    const auto atSources = [&] {
        std::vector<bool> there;
        for (const THistoryRecord& record : records)
            there.push_back(QFile::exists(record.file));
        return there;
    };
    const auto keptOf = [&](const THistory& history, qint64 run) {
        QStringList kept;
        for (const THistoryRecord& record : history.records(run))
            kept.append(record.file);
        return kept;
    };
    const QString in = lib.path(QStringLiteral("in"));
    const QString music = lib.path(QStringLiteral("music"));
    THistory live(lib.history(), THistory::Access::Write);
    const qint64 underWay = live.beginRun(TRunOrigin::Cli, in, music);
    live.addRecords(underWay, records);
    qint64 killed = 0;
    {
        THistory history(lib.history(), THistory::Access::Write);
        killed = history.beginRun(TRunOrigin::Cli, in, music);
        history.addRecords(killed, records);
        EXPECT_TRUE(history.records(killed).empty());
    }
    // The live run's process id names no process here.
    TSqlite(lib.history(), false)
        .exec(QStringLiteral("UPDATE runs SET pid = 999999999 WHERE id = %1")
                  .arg(underWay)
                  .toLatin1()
                  .constData());

    const std::vector<bool> before = atSources();
    // The shared-memory index of the live run's database is written by every reader.
    const auto historyFiles = [&] {
        auto files = lib.treeAt(lib.home(QString()));
        std::erase_if(files, [](const auto& file) { return file.first.endsWith("-shm"); });
        return files;
    };
    const auto files = historyFiles();
    {
        const THistory reader(lib.history(), THistory::Access::Read);
        EXPECT_EQ(keptOf(reader, killed), happened);
        EXPECT_EQ(reader.run(killed)->files, happened.size());
        EXPECT_EQ(reader.run(killed)->state, TRunState::Aborted);
        EXPECT_TRUE(reader.records(underWay).empty());
        EXPECT_EQ(reader.run(underWay)->state, TRunState::Running);
    }
    EXPECT_EQ(atSources(), before) << "a reader changed the disk";
    EXPECT_TRUE(historyFiles() == files) << "a reader changed the history";

    THistory next(lib.history(), THistory::Access::Write);
    EXPECT_EQ(Recover(next), 1);
    EXPECT_EQ(keptOf(next, killed), happened);
    EXPECT_EQ(next.run(killed)->files, happened.size());
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(QFile::exists(records[i].file), !sources[qsizetype(i)].isEmpty())
            << cases[i].name;
    EXPECT_TRUE(next.records(underWay).empty());
    EXPECT_EQ(next.run(underWay)->state, TRunState::Running);
}

// Reading the history (history, undo --dry-run, the window's undo question) never changes the
// disk, not even after a killed run; a dry run says what the real undo will do once that run
// is settled.
TEST(Undo, ADryRunChangesNothingAndSaysWhatTheUndoWillDo)
{
    HistoryLibrary lib;
    // Killed with one file renamed and another copied across, its source not yet deleted.
    std::vector<THistoryRecord> records;
    for (const char* name : { "renamed.mp3", "cut.mp3" }) {
        const QString source = lib.song(QStringLiteral("in/") + QLatin1String(name));
        const QString target = lib.path(QStringLiteral("music/ABBA/") + QLatin1String(name));
        const TFileStatus status = StatusOf(source);
        ASSERT_TRUE(QFile::copy(source, target));
        const std::array<timespec, 2> times { timespec { 0, UTIME_OMIT },
            timespec { status.modified / 1000000000, status.modified % 1000000000 } };
        ::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times.data(), 0);
        if (QLatin1String(name) == QLatin1String("renamed.mp3"))
            QFile::remove(source);
        THistoryRecord record;
        record.outcome = TMoveOutcome::Moved;
        record.file = source;
        record.target = target;
        record.size = status.size;
        record.modified = status.modified;
        record.pending = TPending::Move;
        records.push_back(record);
    }
    qint64 run = 0;
    {
        THistory killed(lib.history(), THistory::Access::Write);
        run = killed.beginRun(
            TRunOrigin::Cli, lib.path(QStringLiteral("in")), lib.path(QStringLiteral("music")));
        killed.addRecords(run, records);
    }
    const auto disk = lib.treeAt(lib.path(QString()));
    const auto history = lib.treeAt(lib.home(QString()));
    const auto said = [](const std::vector<TMoveEvent>& events) {
        QStringList lines;
        for (const TMoveEvent& event : events)
            lines.append(
                QStringLiteral("%1 %2 %3")
                    .arg(QLatin1String(OutcomeName(event.outcome)), event.file, event.target));
        return lines;
    };
    EXPECT_EQ(THistory(lib.history(), THistory::Access::Read).lastUndoable(), run);
    std::vector<TMoveEvent> dry;
    NullPump pump;
    UndoRun(lib.history(), run, true, pump, [&](const TMoveEvent& e) { dry.push_back(e); });
    EXPECT_EQ(lib.treeAt(lib.path(QString())), disk);
    EXPECT_EQ(lib.treeAt(lib.home(QString())), history);

    EXPECT_EQ(said(dry), said(lib.undo(run)));
    EXPECT_EQ(dry.size(), 2u);
    EXPECT_EQ(lib.tree(QStringLiteral("in")).size(), 2u);
    EXPECT_TRUE(lib.tree(QStringLiteral("music")).empty());
}

// An undo takes back the newest record first: a file moved twice in one run goes back
// through the folder it passed.
TEST(Undo, TakesAFileMovedTwiceInOneRunBackStepByStep)
{
    HistoryLibrary lib;
    const QString there = lib.song(QStringLiteral("music/Queen/x.mp3"));
    const TFileStatus status = StatusOf(there);
    qint64 run = 0;
    {
        THistory history(lib.history(), THistory::Access::Write);
        run = history.beginRun(
            TRunOrigin::Cli, lib.path(QStringLiteral("in")), lib.path(QStringLiteral("music")));
        std::vector<THistoryRecord> records(2);
        records[0].file = lib.path(QStringLiteral("in/x.mp3"));
        records[0].target = records[1].file = lib.path(QStringLiteral("music/ABBA/x.mp3"));
        records[1].target = there;
        for (THistoryRecord& record : records) {
            record.outcome = TMoveOutcome::Moved;
            record.size = status.size;
            record.modified = status.modified;
        }
        history.addRecords(run, records);
        history.endRun(run, TRunEnd::Completed);
    }
    EXPECT_TRUE(notRestored(lib.undo(run)).isEmpty());
    EXPECT_EQ(lib.tree(QStringLiteral("in")).size(), 1u);
    EXPECT_TRUE(lib.tree(QStringLiteral("music")).empty());
}
