// plumtide-cli beside other programs that use the same files, and in odd surroundings: no
// process killed, no byte lost, no other program kept waiting.

#include "clifixture.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>

using namespace plumtide::test;

namespace
{

// A second program that works on files until it is told to stop, then reports a number.
class Busy
{
public:
    // `step` is run again and again; it returns the running figure to report.
    explicit Busy(const std::function<long long()>& step)
    {
        // Shared with the child: the stop flag and the figure.
        void* memory = ::mmap(
            nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return;
        m_shared = new (memory) Shared;
        m_pid = ::fork();
        if (m_pid == 0) {
            while (!m_shared->stop.load())
                m_shared->figure.store(step());
            ::_exit(0);
        }
    }
    ~Busy()
    {
        if (m_shared)
            ::munmap(m_shared, sizeof(Shared));
    }

    // Stops it and returns its last figure.
    long long finish()
    {
        if (!m_shared || m_pid < 0)
            return -1;
        m_shared->stop.store(true);
        ::waitpid(m_pid, nullptr, 0);
        return m_shared->figure.load();
    }

private:
    struct Shared {
        std::atomic<bool> stop { false };
        std::atomic<long long> figure { 0 };
    };
    Shared* m_shared = nullptr;
    pid_t m_pid = -1;
};

long long nowMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// A music player reading the songs and a downloader appending to one of them while a sort
// runs: the sort is never killed, the player never waits on it, the downloader loses no
// byte, and no big file is deleted as small.
TEST_F(Cli, ReaderAndAppenderBesideASortLoseNothing)
{
    for (int round = 0; round < 2; ++round) {
        const QString in = QStringLiteral("r%1/in").arg(round);
        const QString music = QStringLiteral("r%1/music").arg(round);
        folder(music + QStringLiteral("/ABBA"));
        std::map<QString, QByteArray> sums;
        for (int i = 0; i < 120; ++i) {
            const QString name = QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
            const QByteArray bytes = mp3(QStringLiteral("Abba"), name, 300000);
            write(in + QLatin1Char('/') + name, bytes);
            sums[name] = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
        }
        const QByteArray grow = path(in + QStringLiteral("/grow.mp3")).toLocal8Bit();
        write(in + QStringLiteral("/grow.mp3"), mp3(QStringLiteral("Abba"), QStringLiteral("g")));
        const qint64 before = QFileInfo(QString::fromLocal8Bit(grow)).size();

        const QByteArray source = path(in).toLocal8Bit();
        long long longestOpen = 0;
        Busy player([&] {
            for (int i = 0; i < 120; ++i) {
                const QByteArray file = source
                    + QStringLiteral("/%1.mp3").arg(i, 3, 10, QLatin1Char('0')).toLocal8Bit();
                const long long start = nowMicroseconds();
                const int fd = ::open(file.constData(), O_RDONLY);
                longestOpen = std::max(longestOpen, nowMicroseconds() - start);
                if (fd >= 0) {
                    char buffer[4096];
                    [[maybe_unused]] const auto got = ::read(fd, buffer, sizeof buffer);
                    ::close(fd);
                }
            }
            return longestOpen;
        });
        long long appended = 0;
        Busy downloader([&] {
            const int fd = ::open(grow.constData(), O_WRONLY | O_APPEND);
            if (fd >= 0) {
                const QByteArray block(4096, '\x55');
                if (::write(fd, block.constData(), block.size()) == block.size())
                    appended += block.size();
                ::close(fd);
            }
            ::usleep(300);
            return appended;
        });

        std::unique_ptr<QProcess> sort(
            start({ QStringLiteral("sort"), QStringLiteral("--doubles"), QStringLiteral("keep"),
                QStringLiteral("--delete-small"), QStringLiteral("50"), in, music }));
        ASSERT_TRUE(sort->waitForFinished(120000));
        const long long waited = player.finish();
        const long long written = downloader.finish();

        EXPECT_EQ(sort->exitStatus(), QProcess::NormalExit) << "killed in round " << round;
        EXPECT_EQ(sort->exitCode(), 0) << sort->readAllStandardError().toStdString();
        EXPECT_LT(waited, 2000000) << "the player waited on the sort for " << waited << " µs";
        EXPECT_GT(written, 0);
        const auto files = tree();
        for (const auto& [name, sum] : sums) {
            const auto atSource = files.find(in + QLatin1Char('/') + name);
            const auto atTarget = files.find(music + QStringLiteral("/ABBA/") + name);
            EXPECT_TRUE((atSource != files.end() && atSource->second == sum)
                || (atTarget != files.end() && atTarget->second == sum))
                << name.toStdString() << " lost in round " << round;
        }
        const qint64 atSource = QFileInfo(QString::fromLocal8Bit(grow)).size();
        const qint64 atTarget = QFileInfo(path(music + QStringLiteral("/ABBA/grow.mp3"))).size();
        EXPECT_EQ(std::max(atSource, atTarget), before + written)
            << "appended bytes lost in round " << round;
    }
}

// A download client that opens, appends and closes every 10 ms is never seen by the in-use
// test between two writes: the sort leaves its file where it is, still being written, in one
// piece, within one file system and across file systems.
TEST_F(Cli, AFileWrittenInBurstsIsNeverSplit)
{
    QTemporaryDir other(QStringLiteral("/dev/shm/plumtide-XXXXXX"));
    QStringList destinations { path(QStringLiteral("music")) };
    if (other.isValid() && QFileInfo(other.path()).isDir())
        destinations.append(other.path());
    for (const QString& music : destinations) {
        SCOPED_TRACE(music.toStdString());
        QDir().mkpath(music + QStringLiteral("/ABBA"));
        write(QStringLiteral("in/grow.mp3"), mp3(QStringLiteral("Abba"), QStringLiteral("g")));
        const QByteArray grow = path(QStringLiteral("in/grow.mp3")).toLocal8Bit();
        const qint64 before = QFileInfo(QString::fromLocal8Bit(grow)).size();
        long long appended = 0;
        Busy downloader([&] {
            const int fd = ::open(grow.constData(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            if (fd >= 0) {
                const QByteArray block(1000, '\x55');
                if (::write(fd, block.constData(), block.size()) == block.size())
                    appended += block.size();
                ::close(fd);
            }
            ::usleep(10000);
            return appended;
        });
        ::usleep(100000);
        const Result sorted = run({ QStringLiteral("sort"), QStringLiteral("--doubles=keep"),
            QStringLiteral("--settle"), QStringLiteral("1"), path(QStringLiteral("in")), music });
        const long long written = downloader.finish();
        EXPECT_EQ(sorted.status, 0) << sorted.err.toStdString();
        EXPECT_EQ(sorted.out,
            QStringLiteral("skipped\t%1\tstill being written\n").arg(QString::fromLocal8Bit(grow)));
        EXPECT_EQ(QFileInfo(QString::fromLocal8Bit(grow)).size(), before + written);
        EXPECT_FALSE(QFile::exists(music + QStringLiteral("/ABBA/grow.mp3")));
        QFile::remove(QString::fromLocal8Bit(grow));
    }
}

// A settings file that is a pipe or leads to a device is reported and the defaults used;
// nothing hangs.
TEST_F(Cli, OddSettingsFilesAreReportedNotRead)
{
    folder(QStringLiteral("in"));
    folder(QStringLiteral("music"));
    folder(QStringLiteral("config/Plumtide"));
    const QString settings = path(QStringLiteral("config/Plumtide/settings.ini"));
    for (const bool pipe : { true, false }) {
        QFile::remove(settings);
        if (pipe)
            ASSERT_EQ(::mkfifo(settings.toLocal8Bit().constData(), 0600), 0);
        else
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), settings));
        QElapsedTimer timer;
        timer.start();
        const Result plan = run({ QStringLiteral("plan"), QStringLiteral("--doubles"),
            QStringLiteral("keep"), QStringLiteral("in"), QStringLiteral("music") });
        EXPECT_EQ(plan.status, 0) << plan.err.toStdString();
        EXPECT_LT(timer.elapsed(), 20000);
        EXPECT_TRUE(plan.err.contains(QStringLiteral("Not a regular file")))
            << plan.err.toStdString();
    }
}

// Tag texts with a TAB, a line break or an escape sequence stay inside their field.
TEST_F(Cli, ControlCharactersNeverBreakARecord)
{
    write(QStringLiteral("in/a.mp3"),
        mp3(QStringLiteral("Ab\tba\nX"), QStringLiteral("Water\x1b[31mloo\rend")));
    const Result list = run({ QStringLiteral("list"), QStringLiteral("in") });
    EXPECT_EQ(list.out, QStringLiteral("in/a.mp3\tAB BA X\tWater [31mloo end\n"));
    const Result json
        = run({ QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("in") });
    EXPECT_TRUE(json.out.contains(QStringLiteral("\\u001b[31m"))) << json.out.toStdString();
}

// Names the file system cannot take, and two sorts making the same artists' folders at
// once: each file or folder is skipped or counted, and every run completes.
TEST_F(Cli, OddNamesAndRacingSortsNeverEndARun)
{
    const QString name = QString(83, QChar(0x97F3)) + QStringLiteral(".mp3"); // 253 bytes
    write(QStringLiteral("in/") + name, mp3(QStringLiteral("Abba"), QStringLiteral("new")));
    write(QStringLiteral("music/ABBA/") + name, mp3(QStringLiteral("Abba"), QStringLiteral("old")));
    write(QStringLiteral("doubles/") + name, mp3(QStringLiteral("Abba"), QStringLiteral("older")));
    write(QStringLiteral("in/b.mp3"), mp3(QStringLiteral("Abba"), QStringLiteral("b")));
    const Result sort = run({ QStringLiteral("sort"), QStringLiteral("--doubles"),
        QStringLiteral("move:doubles"), QStringLiteral("in"), QStringLiteral("music") });
    EXPECT_EQ(sort.status, 0) << sort.err.toStdString();
    EXPECT_EQ(sort.out,
        QStringLiteral("moved\tin/b.mp3\tmusic/ABBA/b.mp3\nskipped\tin/%1\tpath too long\n")
            .arg(name));

    for (int i = 0; i < 40; ++i) {
        for (const char* source : { "one", "two" })
            write(QStringLiteral("%1/%2.mp3").arg(QLatin1String(source)).arg(i),
                mp3(QStringLiteral("Artist Number %1").arg(i), QStringLiteral("t")));
    }
    folder(QStringLiteral("new"));
    std::unique_ptr<QProcess> first(start({ QStringLiteral("sort"),
        QStringLiteral("--create-artist-folders"), QStringLiteral("--doubles"),
        QStringLiteral("keep"), QStringLiteral("one"), QStringLiteral("new") }));
    std::unique_ptr<QProcess> second(start({ QStringLiteral("sort"),
        QStringLiteral("--create-artist-folders"), QStringLiteral("--doubles"),
        QStringLiteral("keep"), QStringLiteral("two"), QStringLiteral("new") }));
    for (QProcess* process : { first.get(), second.get() }) {
        ASSERT_TRUE(process->waitForFinished(60000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }
    EXPECT_EQ(
        QDir(path(QStringLiteral("new"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 40);
}
