#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/filestatus.h"
#include "platform/folderwatch.h"
#include "platform/lease.h"
#include "platform/locks.h"
#include "tests/support/otherprocess.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <limits>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plumtide;
using plumtide::test::OtherProcess;

namespace
{

class FileOps : public testing::Test
{
protected:
    QString write(const char* name, const QByteArray& contents)
    {
        const QString path = m_dir.filePath(QString::fromUtf8(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        return path;
    }

    QTemporaryDir m_dir;
};

// Holds the file open in another process, and optionally a lock on it.
enum class Hold {
    Open,
    Flock,
    RecordLock,
};

bool holdInChild(const QString& path, Hold hold)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    if (fd < 0)
        return false;
    if (hold == Hold::Flock)
        return ::flock(fd, LOCK_SH) == 0;
    if (hold == Hold::RecordLock) {
        struct flock lock {
        };
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 10;
        lock.l_len = 1;
        return ::fcntl(fd, F_SETLK, &lock) == 0;
    }
    return true;
}

TEST_F(FileOps, KindOfPathFollowsLinksAndSetsApartWhatIsNotAFile)
{
    const QString file = write("a.mp3", "x");
    const QString pipe = m_dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folderLink = m_dir.filePath(QStringLiteral("folder-link"));
    ASSERT_TRUE(QFile::link(m_dir.path(), folderLink));

    EXPECT_EQ(KindOfPath(file), PathKind::File);
    EXPECT_EQ(KindOfPath(m_dir.path()), PathKind::Folder);
    EXPECT_EQ(KindOfPath(folderLink), PathKind::Folder);
    EXPECT_EQ(KindOfPath(pipe), PathKind::Other);
    EXPECT_EQ(KindOfPath(m_dir.filePath(QStringLiteral("none"))), PathKind::Missing);
    EXPECT_EQ(KindOfPath(file + QStringLiteral("/below")), PathKind::Missing);
    EXPECT_EQ(KindOfPath(QString()), PathKind::Missing);
}

TEST_F(FileOps, OpenElsewhereSeesOtherDescriptorsAndLocks)
{
    const QString path = write("a.mp3", QByteArray(100, 'a'));
    {
        const FileDescriptor mine = OpenForReading(path);
        EXPECT_FALSE(IsOpenElsewhere(mine));
        EXPECT_FALSE(IsLockedElsewhere(mine));
        // The caller's own second descriptor counts too.
        const FileDescriptor second = OpenForReading(path);
        EXPECT_TRUE(IsOpenElsewhere(mine));
    }
    for (const Hold hold : { Hold::Open, Hold::Flock, Hold::RecordLock }) {
        OtherProcess holder([&] { return holdInChild(path, hold); });
        ASSERT_TRUE(holder.ready());
        const FileDescriptor mine = OpenForReading(path);
        EXPECT_TRUE(IsOpenElsewhere(mine)) << static_cast<int>(hold);
        // Where leases are not available only locks show.
        EXPECT_EQ(IsLockedElsewhere(mine), hold != Hold::Open) << static_cast<int>(hold);
    }
}

// A process number tells who left a file only while that process is the one that ran when
// the file was made: numbers come round again.
// A file renamed aside to be deleted is still the one opened only while nothing took the
// name it went to and nobody wrote to it, however its times were put back.
TEST_F(FileOps, FileRenamedAsideIsStillTheOneOpenedOnlyUntouched)
{
    const struct {
        const char* name;
        bool (*meanwhile)(const QString& aside);
        bool same;
    } rows[] = {
        { "untouched", nullptr, true },
        { "another file renamed there",
            [](const QString& aside) {
                const QByteArray other = QFile::encodeName(aside + QStringLiteral(".other"));
                QFile file(QString::fromUtf8(other));
                return file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush()
                    && ::rename(other.constData(), QFile::encodeName(aside).constData()) == 0;
            },
            false },
        { "rewritten, times put back",
            [](const QString& aside) {
                struct stat st {
                };
                const int fd = ::open(QFile::encodeName(aside).constData(), O_WRONLY);
                if (fd < 0 || ::fstat(fd, &st) != 0)
                    return false;
                const struct timespec times[2] = { st.st_atim, st.st_mtim };
                const bool done = ::pwrite(fd, "#", 1, 0) == 1 && ::futimens(fd, times) == 0;
                return ::close(fd) == 0 && done;
            },
            false },
    };
    for (const auto& row : rows) {
        const QString path = write("song.mp3", "some audio");
        const QString aside = m_dir.filePath(QStringLiteral(".aside"));
        TWatchedFile file = TWatchedFile::Open(path);
        ASSERT_TRUE(file.unchanged()) << row.name;
        ASSERT_EQ(
            ::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()), 0);
        if (row.meanwhile) {
            OtherProcess other([&] { return row.meanwhile(aside); });
            EXPECT_TRUE(other.ready()) << row.name;
        }
        EXPECT_EQ(file.renamedTo(aside), row.same) << row.name;
        QFile::remove(aside);
    }
}

// Both ways of copying, on contents that are not a whole number of buffers, copied from an
// offset other than 0 as CopyContents promises.
TEST_F(FileOps, KernelAndBufferCopiesAreByteExact)
{
    QByteArray contents((3 << 20) + 4321, Qt::Uninitialized);
    QRandomGenerator random(11);
    for (char& byte : contents)
        byte = static_cast<char>(random.bounded(256));
    const QString source = write("source.mp3", contents);

    for (const bool byKernel : { true, false }) {
        const QString target
            = m_dir.filePath(byKernel ? QStringLiteral("k.mp3") : QStringLiteral("b.mp3"));
        const FileDescriptor in = OpenForReading(source);
        ASSERT_EQ(::lseek(in.get(), 5, SEEK_SET), 5);
        FileDescriptor out = OpenForWriting(target);
        if (byKernel)
            EXPECT_TRUE(CopyContentsByKernel(in, out, source, target));
        else
            CopyContentsByBuffer(in, out, source, target);
        SyncFile(out, target);
        EXPECT_EQ(out.close(), 0);
        QFile copy(target);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_TRUE(copy.readAll() == contents.mid(5)) << "kernel " << byKernel;
    }
}

// A copy is never handed on when its length differs from what its source's descriptor tells
// (here a file of the kernel's that reads as more than its size of 0).
TEST_F(FileOps, ACopyOfAnotherLengthThanItsSourceIsRefused)
{
    const QString source = QStringLiteral("/proc/self/status");
    const QString target = m_dir.filePath(QStringLiteral("status.mp3"));
    const FileDescriptor in = OpenForReading(source);
    ASSERT_EQ(FileSize(in, source), 0);
    FileDescriptor out = OpenForWriting(target);
    try {
        CopyContents(in, out, source, target);
        ADD_FAILURE() << "copied";
    } catch (const IOError& error) {
        EXPECT_EQ(error.errnoValue(), EIO);
    }
}

// Times beyond what 64-bit nanoseconds hold (after 2262, before 1677) saturate in every
// look at a file, so that they still compare as very new or very old instead of wrapping.
TEST_F(FileOps, TimesBeyond64BitNanosecondsSaturate)
{
    const QString path = write("times.mp3", "x");
    const QByteArray encoded = QFile::encodeName(path);
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (const auto& [seconds, expected] :
        { std::pair<time_t, qint64> { 10413792000, kMax }, { -9300000000, kMin } }) {
        const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        struct stat st {
        };
        if (::utimensat(AT_FDCWD, encoded.constData(), times, 0) != 0
            || ::stat(encoded.constData(), &st) != 0 || st.st_mtim.tv_sec != seconds)
            continue; // the file system keeps no such time
        EXPECT_EQ(StatusOf(path).modified, expected) << seconds;
        EXPECT_EQ(SampleFile(path)->modified, expected) << seconds;
    }
}

} // namespace
