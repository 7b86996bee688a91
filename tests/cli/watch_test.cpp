// plumtide-cli watch as a service meets it: files that arrive slowly, in a burst, in a
// folder that went away and came back, and a stop in the middle of a run.

#include "clifixture.h"
#include "tests/support/otherprocess.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

using namespace plumtide::test;

namespace
{

qint64 monotonicMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The watch running in the background, and what it printed so far.
class Watch
{
public:
    explicit Watch(QProcess* process)
        : m_process(process)
    {
    }
    ~Watch()
    {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            m_process->waitForFinished(30000);
        }
    }

    // Reads what came, then waits until `done` holds, for at most `ms`.
    template <typename Done> bool until(Done done, int ms = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            m_process->waitForReadyRead(20);
            out += QString::fromUtf8(m_process->readAllStandardOutput());
            err += QString::fromUtf8(m_process->readAllStandardError());
            if (done())
                return true;
            if (clock.elapsed() > ms || m_process->state() == QProcess::NotRunning)
                return done();
            QThread::msleep(20);
        }
    }
    bool said(const QString& text)
    {
        return until([&] { return err.contains(text); });
    }
    // Reads what comes for `ms`.
    void wait(int ms)
    {
        until([] { return false; }, ms);
    }
    qint64 pid() const { return m_process->processId(); }

    // SIGTERM, as systemd stops a service; the exit status.
    int stop()
    {
        m_process->terminate();
        m_process->waitForFinished(30000);
        out += QString::fromUtf8(m_process->readAllStandardOutput());
        err += QString::fromUtf8(m_process->readAllStandardError());
        return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    }

    QString out;
    QString err;

private:
    std::unique_ptr<QProcess> m_process;
};

QStringList watchArguments(const QString& settle, const QStringList& more = {})
{
    return QStringList { QStringLiteral("watch"), QStringLiteral("--settle"), settle,
        QStringLiteral("--doubles"), QStringLiteral("keep") }
    + more + QStringList { QStringLiteral("in"), QStringLiteral("music") };
}

} // namespace

// A download that writes 100 KB every half second, opening and closing the file each time
// (so nothing shows it in use between writes): not moved before it has been complete and
// untouched for the settle time, moved soon after, whole.
TEST_F(Cli, WatchMovesASlowlyWrittenFileOnlyOnceItHasSettled)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/Metallica"));
    Watch watch(start(watchArguments(QStringLiteral("2"))));
    ASSERT_TRUE(watch.said(QStringLiteral("watching"))) << watch.err.toStdString();

    const QByteArray song = mp3(QStringLiteral("Metallica"), QStringLiteral("One"), 600 * 1024);
    const QByteArray source = path(QStringLiteral("in/one.mp3")).toLocal8Bit();
    auto* lastWrite = static_cast<std::atomic<qint64>*>(::mmap(nullptr, sizeof(std::atomic<qint64>),
        PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(lastWrite, MAP_FAILED);
    new (lastWrite) std::atomic<qint64>(0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        for (qsizetype offset = 0; offset < song.size(); offset += 100 * 1024) {
            const int fd = ::open(source.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const qsizetype chunk = std::min<qsizetype>(100 * 1024, song.size() - offset);
            if (fd < 0 || ::write(fd, song.constData() + offset, size_t(chunk)) != chunk)
                ::_exit(1);
            ::close(fd);
            lastWrite->store(monotonicMs());
            ::usleep(500000);
        }
        ::_exit(0);
    }
    int status = -1;
    bool movedEarly = false;
    watch.until([&] {
        movedEarly = movedEarly || !QFile::exists(QString::fromLocal8Bit(source));
        return ::waitpid(writer, &status, WNOHANG) == writer;
    });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(movedEarly) << "moved while it was being written";

    const QString target = path(QStringLiteral("music/Metallica/one.mp3"));
    ASSERT_TRUE(watch.until([&] { return QFile::exists(target); })) << watch.err.toStdString();
    const qint64 quietFor = monotonicMs() - lastWrite->load();
    EXPECT_GE(quietFor, 2000) << "moved before it had settled";
    EXPECT_LT(quietFor, 12000) << "not moved soon after it had settled";
    QFile moved(target);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(moved.readAll() == song);
    ::munmap(lastWrite, sizeof(std::atomic<qint64>));
    EXPECT_EQ(watch.stop(), 0);
    EXPECT_TRUE(watch.out.startsWith(QStringLiteral("moved\t"))) << watch.out.toStdString();
}

// 500 files copied in at once are all filed, in a few runs.
TEST_F(Cli, WatchFilesABurstOf500FilesInAFewRuns)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/Metallica"));
    folder(QStringLiteral("music/Madonna"));
    Watch watch(start(watchArguments(QStringLiteral("1"), { QStringLiteral("--json") })));
    ASSERT_TRUE(watch.said(QStringLiteral("watching")));
    for (int i = 0; i < 500; ++i)
        write(QStringLiteral("in/%1/%2.mp3").arg(i % 7).arg(i),
            mp3(i % 2 ? QStringLiteral("Madonna") : QStringLiteral("Metallica"),
                QString::number(i)));
    const QString summary = QStringLiteral("{\"outcome\":\"summary\"");
    EXPECT_TRUE(watch.until(
        [&] {
            return watch.out.count(QStringLiteral("{\"outcome\":\"moved\"")) >= 500
                && watch.out.trimmed().section(QLatin1Char('\n'), -1).startsWith(summary);
        },
        60000))
        << watch.err.toStdString();
    EXPECT_EQ(QDir(path(QStringLiteral("music/Madonna"))).entryList(QDir::Files).size(), 250);
    EXPECT_EQ(QDir(path(QStringLiteral("music/Metallica"))).entryList(QDir::Files).size(), 250);
    const qsizetype runs = watch.out.count(summary);
    EXPECT_GE(runs, 1);
    EXPECT_LE(runs, 5) << watch.err.toStdString();
    EXPECT_EQ(watch.stop(), 0);
}

// The source folder removed while watched (a disk unplugged) is waited for; once it is back
// the next arrival is filed. The folders come from the settings file, as for the service.
TEST_F(Cli, WatchResumesWhenTheSourceFolderComesBack)
{
    folder(QStringLiteral("in/sub"));
    folder(QStringLiteral("music/Metallica"));
    write(QStringLiteral("config/Plumtide/settings.ini"),
        QStringLiteral("[Software\\Plumtide]\nSource=%1\nDestination=%2\n")
            .arg(path(QStringLiteral("in")), path(QStringLiteral("music")))
            .toUtf8());
    Watch watch(start({ QStringLiteral("watch"), QStringLiteral("--settle"), QStringLiteral("1"),
        QStringLiteral("--doubles"), QStringLiteral("keep") }));
    ASSERT_TRUE(watch.said(QStringLiteral("watching")));
    ASSERT_TRUE(QDir(path(QStringLiteral("in"))).removeRecursively());
    ASSERT_TRUE(watch.said(QStringLiteral("is gone; waiting for it"))) << watch.err.toStdString();
    folder(QStringLiteral("in/later"));
    ASSERT_TRUE(watch.said(QStringLiteral("is back"))) << watch.err.toStdString();
    write(QStringLiteral("in/later/two.mp3"),
        mp3(QStringLiteral("Metallica"), QStringLiteral("Two")));
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/Metallica/two.mp3")));
    })) << watch.err.toStdString();
    EXPECT_EQ(watch.stop(), 0);
}

// SIGTERM while a run moves files: the file being moved is finished, the watch ends with
// status 0, and every file is whole at its source or its target.
TEST_F(Cli, WatchStoppedDuringARunExitsZeroWithEveryFileWhole)
{
    folder(QStringLiteral("music/Metallica"));
    std::map<QString, QByteArray> songs;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        songs[name] = mp3(QStringLiteral("Metallica"), name, 64 * 1024);
        write(QStringLiteral("in/") + name, songs[name]);
    }
    Watch watch(start(watchArguments(QStringLiteral("1"))));
    ASSERT_TRUE(watch.until([&] { return QDir(path(QStringLiteral("in"))).count() < 302; }));
    EXPECT_EQ(watch.stop(), 0) << watch.err.toStdString();
    EXPECT_TRUE(watch.err.contains(QStringLiteral("watch stopped")));

    const auto files = tree();
    qsizetype found = 0;
    for (const auto& [name, bytes] : songs) {
        const QByteArray sum = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        const auto atSource = files.find(QStringLiteral("in/") + name);
        const auto atTarget = files.find(QStringLiteral("music/Metallica/") + name);
        found += (atSource != files.end()) + (atTarget != files.end());
        EXPECT_TRUE((atSource != files.end() && atSource->second == sum)
            || (atTarget != files.end() && atTarget->second == sum))
            << name.toStdString();
    }
    EXPECT_EQ(found, 300);
    EXPECT_EQ(files.size(), 300u) << "nothing else left behind";
}

// Where the system's limit of folder watches is reached, the watch says so once and reads
// the folder again every --poll seconds. The limit is set low in a user namespace of the
// watch's own.
TEST_F(Cli, WatchReadsTheFolderAgainOnceTheWatchLimitIsReached)
{
    const QString lowLimit = QStringLiteral("echo 2 >/proc/sys/user/max_inotify_watches");
    if (QProcess::execute(QStringLiteral("unshare"),
            { QStringLiteral("-Ur"), QStringLiteral("sh"), QStringLiteral("-c"), lowLimit })
        != 0)
        GTEST_SKIP() << "no user namespace to lower the limit in";
    for (const char* sub : { "a", "b", "c/d" })
        folder(QStringLiteral("in/") + QLatin1String(sub));
    folder(QStringLiteral("music/Metallica"));
    auto* process = new QProcess();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(dir.path());
    process->start(QStringLiteral("unshare"),
        QStringList { QStringLiteral("-Ur"), QStringLiteral("sh"), QStringLiteral("-c"),
            lowLimit + QStringLiteral(" && exec \"$0\" \"$@\""), QStringLiteral(PLUMTIDE_CLI) }
            + watchArguments(
                QStringLiteral("1"), { QStringLiteral("--poll"), QStringLiteral("1") }));
    Watch watch(process);
    ASSERT_TRUE(watch.said(QStringLiteral("limit of folder watches is reached")))
        << watch.err.toStdString();
    write(QStringLiteral("in/c/d/x.mp3"), mp3(QStringLiteral("Metallica"), QStringLiteral("X")));
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/Metallica/x.mp3")));
    })) << watch.err.toStdString();
    EXPECT_EQ(watch.stop(), 0);
    EXPECT_EQ(watch.err.count(QStringLiteral("limit of folder watches")), 1);
}

namespace
{

// The processor time a process has used so far (user and system), in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which may hold spaces: state is the first.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / ticks;
}

} // namespace

// With no settle time at all, a file another program holds open is looked at once a second,
// not in a loop: the watch uses under 5 % of a core while it waits, and files what arrives
// beside it.
TEST_F(Cli, WatchWithNoSettleTimeWaitsCalmlyForAFileHeldOpen)
{
    folder(QStringLiteral("music/Metallica"));
    write(QStringLiteral("in/held.mp3"), mp3(QStringLiteral("Metallica"), QStringLiteral("One")));
    const QByteArray held = QFile::encodeName(path(QStringLiteral("in/held.mp3")));
    OtherProcess player([&] { return ::open(held.constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(player.ready());
    Watch watch(start(watchArguments(QStringLiteral("0"))));
    ASSERT_TRUE(watch.said(QStringLiteral("watching")));
    watch.wait(500);

    const double before = cpuSeconds(watch.pid());
    watch.wait(10000);
    const double used = cpuSeconds(watch.pid()) - before;
    ASSERT_GE(before, 0);
    EXPECT_LT(used, 0.5) << "of 10 s";
    write(QStringLiteral("in/free.mp3"), mp3(QStringLiteral("Metallica"), QStringLiteral("Two")));
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/Metallica/free.mp3")));
    })) << watch.err.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/held.mp3"))));
    EXPECT_EQ(watch.stop(), 0);
}

// A source on a FUSE file system (bindfs over a folder), written through the folder beneath
// it as another machine writes to a share: no change notice comes, so the watch says once
// that it reads the source again every --poll seconds, and files what arrived.
TEST_F(Cli, WatchReadsASourceOnAFuseFileSystemAgain)
{
    if (!QFile::exists(QStringLiteral("/dev/fuse"))
        || QStandardPaths::findExecutable(QStringLiteral("bindfs")).isEmpty())
        GTEST_SKIP() << "no FUSE or no bindfs";
    folder(QStringLiteral("beneath"));
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/Metallica"));
    const QString mounted = path(QStringLiteral("in"));
    if (QProcess::execute(QStringLiteral("bindfs"), { path(QStringLiteral("beneath")), mounted })
        != 0)
        GTEST_SKIP() << "bindfs cannot mount here";
    struct Unmount {
        QString at;
        ~Unmount()
        {
            QProcess::execute(QStringLiteral("fusermount"), { QStringLiteral("-u"), at });
        }
    } unmount { mounted };

    Watch watch(start(
        watchArguments(QStringLiteral("1"), { QStringLiteral("--poll"), QStringLiteral("1") })));
    ASSERT_TRUE(watch.said(QStringLiteral("network or FUSE file system (fuse)")))
        << watch.err.toStdString();
    write(QStringLiteral("beneath/x.mp3"), mp3(QStringLiteral("Metallica"), QStringLiteral("X")));
    // Across file systems the copy arrives before the source goes.
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/Metallica/x.mp3")))
            && !QFile::exists(path(QStringLiteral("beneath/x.mp3")));
    })) << watch.err.toStdString();
    EXPECT_EQ(watch.stop(), 0);
    EXPECT_EQ(watch.err.count(QStringLiteral("file system")), 1) << watch.err.toStdString();
}

// DEST replaced under the watch (a disk taken away leaves its empty mount point): nothing is
// filed there and no artist folder is made there; once the folder the watch began with is
// back, the file goes there.
TEST_F(Cli, WatchWaitsWhileItsDestinationIsAnotherFolder)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/Metallica"));
    Watch watch(
        start(watchArguments(QStringLiteral("1"), { QStringLiteral("--create-artist-folders") })));
    ASSERT_TRUE(watch.said(QStringLiteral("watching")));
    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("music"), QStringLiteral("disk")));
    folder(QStringLiteral("music"));
    write(QStringLiteral("in/q.mp3"), mp3(QStringLiteral("Queen"), QStringLiteral("Bohemian")));
    ASSERT_TRUE(watch.said(QStringLiteral("is no longer the folder the watch began with")))
        << watch.err.toStdString();
    watch.wait(2500);
    EXPECT_TRUE(QDir(path(QStringLiteral("music"))).isEmpty());
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/q.mp3"))));

    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("music")));
    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("disk"), QStringLiteral("music")));
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/QUEEN/q.mp3")));
    })) << watch.err.toStdString();
    EXPECT_TRUE(watch.err.contains(QStringLiteral("is back")));
    EXPECT_EQ(watch.stop(), 0);
}

// A file left at every retry is told once on standard error per reason it is left for, and
// its skipped record is not printed again and again; once it is filed it is told no more.
// Its time lies in the future first (an automatic run takes it for still being written),
// then it has no folder for its artist, then it has one.
TEST_F(Cli, WatchTellsAFileLeftOncePerReason)
{
    folder(QStringLiteral("music/Metallica"));
    write(QStringLiteral("in/later.mp3"), mp3(QStringLiteral("Nobody Known"), QStringLiteral("X")));
    const QByteArray file = QFile::encodeName(path(QStringLiteral("in/later.mp3")));
    const auto setTime = [&](time_t seconds) {
        const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        return ::utimensat(AT_FDCWD, file.constData(), times, 0) == 0;
    };
    ASSERT_TRUE(setTime(::time(nullptr) + 3600));
    Watch watch(start(
        watchArguments(QStringLiteral("1"), { QStringLiteral("--retry"), QStringLiteral("1") })));
    const QString leftWritten = QStringLiteral("left 'in/later.mp3': still being written");
    ASSERT_TRUE(watch.said(leftWritten)) << watch.err.toStdString();
    watch.wait(5000);
    EXPECT_EQ(watch.out.count(QStringLiteral("skipped\tin/later.mp3\tstill being written")), 1)
        << watch.out.toStdString();

    ASSERT_TRUE(setTime(::time(nullptr) - 3600));
    const QString leftNoFolder = QStringLiteral("left 'in/later.mp3': no folder for its artist");
    ASSERT_TRUE(watch.said(leftNoFolder)) << watch.err.toStdString();
    watch.wait(4000);
    folder(QStringLiteral("music/Nobody Known"));
    EXPECT_TRUE(watch.until([&] {
        return QFile::exists(path(QStringLiteral("music/Nobody Known/later.mp3")));
    })) << watch.err.toStdString();
    EXPECT_EQ(watch.stop(), 0);
    EXPECT_EQ(watch.err.count(leftWritten), 1) << watch.err.toStdString();
    EXPECT_EQ(watch.err.count(leftNoFolder), 1) << watch.err.toStdString();
    EXPECT_EQ(watch.err.count(QStringLiteral("left '")), 2) << watch.err.toStdString();
}

// The watch running as a user without privileges, a download client as another user writing
// into the watched folder on another file system, stalled with the file open for longer than
// twice the settle time: no lease can be had on that user's file and its times stay still,
// but the watch saw it opened and not closed. Not moved until its writer closed it, then
// moved whole.
TEST_F(Cli, WatchNeverMovesAnotherUsersFileWhileItsWriterHoldsItOpen)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a second user: run as root";
    const std::unique_ptr<QTemporaryDir> far = farFolder();
    if (!far)
        GTEST_SKIP() << "no second file system";
    folder(QStringLiteral("music/ABBA"));
    for (const QString& open : { dir.path(), home.path(), far->path(),
             path(QStringLiteral("music")), path(QStringLiteral("music/ABBA")) })
        ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);

    auto* process = new QProcess();
    process->setProcessEnvironment(environment());
    process->setWorkingDirectory(dir.path());
    process->start(QStringLiteral("setpriv"),
        QStringList { QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
            QStringLiteral("--clear-groups"), QStringLiteral("--inh-caps=-all"),
            QStringLiteral(PLUMTIDE_CLI), QStringLiteral("watch"), QStringLiteral("--settle"),
            QStringLiteral("1"), far->path(), QStringLiteral("music") });
    Watch watch(process);
    ASSERT_TRUE(watch.said(QStringLiteral("watching"))) << watch.err.toStdString();
    watch.wait(1000); // the folder's notices are on once it has been read

    const QByteArray song = mp3(QStringLiteral("Abba"), QStringLiteral("Waterloo"), 600000);
    const QString source = far->filePath(QStringLiteral("waterloo.mp3"));
    const int writer
        = ::open(QFile::encodeName(source).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(writer, 0);
    const qsizetype first = 100126;
    ASSERT_EQ(::write(writer, song.constData(), size_t(first)), first);
    watch.wait(3500);
    EXPECT_TRUE(QFile::exists(source)) << "moved half-written: " << watch.out.toStdString();
    ASSERT_EQ(::write(writer, song.constData() + first, size_t(song.size() - first)),
        song.size() - first);
    ::close(writer);

    const QString target = path(QStringLiteral("music/ABBA/waterloo.mp3"));
    ASSERT_TRUE(watch.until([&] { return !QFile::exists(source); })) << watch.err.toStdString();
    QFile moved(target);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly)) << watch.out.toStdString();
    EXPECT_TRUE(moved.readAll() == song);
    EXPECT_EQ(watch.stop(), 0);
}

// Lyrics that arrive after the watch filed their song follow it; notes named as no song filed
// stay where they are.
TEST_F(Cli, WatchFilesLyricsThatComeAfterTheirSong)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music/ABBA"));
    Watch watch(start(watchArguments(QStringLiteral("1"))));
    ASSERT_TRUE(watch.said(QStringLiteral("watching"))) << watch.err.toStdString();
    write(QStringLiteral("in/Waterloo.mp3"), mp3(QStringLiteral("ABBA"), QStringLiteral("W")));
    ASSERT_TRUE(watch.until([&] { return watch.out.count(QStringLiteral("moved\t")) == 1; }))
        << watch.err.toStdString();

    write(QStringLiteral("in/Waterloo.lrc"), "[00:01.00]My, my\n");
    write(QStringLiteral("in/readme.txt"), "no song of that name\n");
    ASSERT_TRUE(watch.until([&] { return watch.out.count(QStringLiteral("moved\t")) == 2; }))
        << watch.err.toStdString();
    EXPECT_TRUE(
        watch.out.endsWith(QStringLiteral("moved\tin/Waterloo.lrc\tmusic/ABBA/Waterloo.lrc\n")))
        << watch.out.toStdString();
    watch.wait(1500);
    EXPECT_EQ(watch.stop(), 0);
    EXPECT_EQ(watch.out.count(QStringLiteral("moved\t")), 2) << watch.out.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("in/readme.txt"))));
}
