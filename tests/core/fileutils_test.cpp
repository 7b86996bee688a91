#include "core/fileutils.h"
#include "core/streamcopy.h"

#include "platform/errors.h"
#include "tests/support/otherprocess.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plumtide;
using plumtide::test::OtherProcess;
using plumtide::test::RunInChild;

namespace
{

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(contents), contents.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

mode_t modeOf(const QString& path)
{
    struct stat st {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// A path inside `dir` that is exactly `length` UTF-16 code units long, with a non-ASCII
// character in it so that its encoded form is longer still.
QString pathOfLength(const QTemporaryDir& dir, qsizetype length, char fill = 'x')
{
    QString path = dir.path() + QStringLiteral("/\u00e9");
    path += QString(length - path.size() - 4, QLatin1Char(fill));
    path += QStringLiteral(".mp3");
    return path;
}

// What another program does to a file between its comparison with a copy and its deletion.
bool appendTo(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND);
    const bool done = fd >= 0 && ::write(fd, "+", 1) == 1;
    return ::close(fd) == 0 && done;
}

// A tagger's "keep the timestamp": a byte rewritten, size and modification time put back.
bool rewriteKeepingTimes(const QString& file)
{
    struct stat st {
    };
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY);
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return false;
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    const bool done = ::pwrite(fd, "#", 1, 0) == 1 && ::futimens(fd, times) == 0;
    return ::close(fd) == 0 && done;
}

// An editor's save: a new file renamed over the name.
bool saveAnew(const QString& file)
{
    QFile anew(file + QStringLiteral(".new"));
    return anew.open(QIODevice::WriteOnly) && anew.write("other bytes") == 11 && anew.flush()
        && ::rename(
               QFile::encodeName(anew.fileName()).constData(), QFile::encodeName(file).constData())
        == 0;
}

class FileUtils : public testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_dir;
};

TEST_F(FileUtils, FileHeldOpenByAnotherProcessIsInUseNotSizedNotCopied)
{
    const QString song = path("song.mp3");
    const QString copy = path("copy.mp3");
    writeFile(song, "some audio");

    for (const int flags : { O_RDONLY, O_WRONLY }) {
        OtherProcess holder([&] { return ::open(QFile::encodeName(song), flags) >= 0; });
        ASSERT_TRUE(holder.ready());
        EXPECT_TRUE(IsFileInUse(song));
        EXPECT_EQ(FileSizeOf(song), 0);
        EXPECT_FALSE(CopyFileByStream(song, copy));
        EXPECT_FALSE(QFile::exists(copy));
        holder.end();

        EXPECT_FALSE(IsFileInUse(song));
        EXPECT_EQ(FileSizeOf(song), 10);
    }
    EXPECT_TRUE(CopyFileByStream(song, copy));
    EXPECT_EQ(readFile(copy), QByteArray("some audio"));
}

TEST_F(FileUtils, FileLockedByAnotherProcessIsInUse)
{
    const QString song = path("song.mp3");
    writeFile(song, "x");
    OtherProcess holder([&] {
        const int fd = ::open(QFile::encodeName(song), O_RDONLY);
        return fd >= 0 && ::flock(fd, LOCK_EX) == 0;
    });
    ASSERT_TRUE(holder.ready());
    EXPECT_TRUE(IsFileInUse(song));
}

TEST_F(FileUtils, WhatIsNoRegularFileIsNeitherInUseNorSizedNorCopied)
{
    const QString pipe = path("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    const QString target = path("target.mp3");
    for (const QString& notAFile : { path("missing.mp3"), m_dir.path(), pipe, QString() }) {
        SCOPED_TRACE(notAFile.toStdString());
        EXPECT_FALSE(FileExists(notAFile));
        EXPECT_FALSE(IsFileInUse(notAFile));
        EXPECT_EQ(FileSizeOf(notAFile), 0);
        // Must return at once: opening the pipe would wait for a writer.
        EXPECT_FALSE(CopyFileByStream(notAFile, target));
        EXPECT_FALSE(QFile::exists(target));
    }
    EXPECT_TRUE(FolderExists(m_dir.path()));
    EXPECT_FALSE(FolderExists(pipe));
}

TEST_F(FileUtils, PathsUpTo254CodeUnitsAreCopied)
{
    const QString source = pathOfLength(m_dir, 254);
    ASSERT_EQ(source.size(), 254);
    writeFile(source, "long");
    const QString shortTarget = path("t.mp3");
    EXPECT_TRUE(CopyFileByStream(source, shortTarget));

    const QString target = pathOfLength(m_dir, 254, 'y');
    EXPECT_TRUE(CopyFileByStream(shortTarget, target));
    EXPECT_EQ(readFile(target), QByteArray("long"));
}

TEST_F(FileUtils, PathsOf255CodeUnitsAreRefusedWithoutTouchingAnything)
{
    const QString longPath = pathOfLength(m_dir, 255);
    ASSERT_EQ(longPath.size(), 255);
    const QString shortPath = path("short.mp3");
    writeFile(shortPath, "short");
    writeFile(longPath, "long");

    EXPECT_FALSE(CopyFileByStream(longPath, path("new.mp3")));
    EXPECT_FALSE(QFile::exists(path("new.mp3")));
    EXPECT_FALSE(CopyFileByStream(shortPath, longPath));
    EXPECT_EQ(readFile(longPath), QByteArray("long"));
    EXPECT_EQ(readFile(shortPath), QByteArray("short"));
}

TEST_F(FileUtils, SizingClearsReadOnly)
{
    const QString song = path("song.mp3");
    writeFile(song, QByteArray(1000, 'a'));
    ASSERT_EQ(::chmod(QFile::encodeName(song).constData(), 0444), 0);
    EXPECT_EQ(FileSizeOf(song), 1000);
    EXPECT_EQ(modeOf(song), 0644u);
}

TEST_F(FileUtils, FilesOf2GiBAndMoreAreNeverSizedAsSmall)
{
    const QString huge = path("huge.mp3");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Sparse: takes no disk space.
        ASSERT_TRUE(file.resize(qint64 { 3 } << 30));
    }
    EXPECT_EQ(FileSizeOf(huge), std::numeric_limits<qint32>::max());
}

TEST_F(FileUtils, CopyReplacesLongerTargetEntirely)
{
    const QString source = path("a.mp3");
    const QString target = path("b.mp3");
    writeFile(source, "new");
    writeFile(target, "old and much longer");
    EXPECT_TRUE(CopyFileByStream(source, target));
    EXPECT_EQ(readFile(target), QByteArray("new"));
    EXPECT_EQ(readFile(source), QByteArray("new"));
}

TEST_F(FileUtils, EmptyFileCopiesToEmptyTarget)
{
    const QString source = path("empty.mp3");
    const QString target = path("copy.mp3");
    writeFile(source, QByteArray());
    writeFile(target, "stale");
    EXPECT_EQ(FileSizeOf(source), 0);
    EXPECT_TRUE(CopyFileByStream(source, target));
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(readFile(target), QByteArray());
}

TEST_F(FileUtils, LargeFileCopiesByteForByte)
{
    const QString source = path("big.mp3");
    const QString target = path("sub/big.mp3");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
    const QByteArray contents = randomBytes((5 << 20) + 123);
    writeFile(source, contents);
    EXPECT_TRUE(CopyFileByStream(source, target));
    EXPECT_EQ(readFile(target), contents);
}

// Callers delete the source after a successful copy: a copy onto the source itself (the
// doubles folder being the source folder, or another name for the same file) must fail and
// leave the file whole.
TEST_F(FileUtils, CopyOntoTheSourceItselfFailsAndKeepsIt)
{
    const QString song = path("song.mp3");
    writeFile(song, "precious");
    const QString hardLink = path("hard.mp3");
    const QString symLink = path("sym.mp3");
    ASSERT_EQ(
        ::link(QFile::encodeName(song).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_TRUE(QFile::link(song, symLink));
    for (const QString& target :
        { song, m_dir.path() + QStringLiteral("/./song.mp3"), hardLink, symLink }) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_FALSE(CopyFileByStream(song, target));
        EXPECT_EQ(readFile(song), QByteArray("precious"));
    }
    EXPECT_TRUE(QFile::exists(hardLink));
}

TEST_F(FileUtils, TargetThatCannotBeCreatedRaisesIOErrorWithItsPath)
{
    const QString source = path("a.mp3");
    writeFile(source, "data");
    // A file standing where a folder should be fails even for root.
    for (const QString& target : { path("a.mp3/b.mp3"), path("missing/b.mp3") }) {
        try {
            CopyFileByStream(source, target);
            ADD_FAILURE() << "no error for " << target.toStdString();
        } catch (const IOError& error) {
            EXPECT_EQ(error.path(), target);
            EXPECT_NE(error.errnoValue(), 0);
        }
    }
    EXPECT_EQ(readFile(source), QByteArray("data"));
}

// A copy that fails part-way removes what it wrote. The file-size limit makes the write fail
// after the first 64 KiB, whatever the user's rights and the file system.
TEST_F(FileUtils, FailedCopyLeavesNoPartialTarget)
{
    const QString source = path("big.mp3");
    writeFile(source, randomBytes(1 << 20));
    for (const bool existed : { false, true }) {
        const QString target = path(existed ? "old.mp3" : "new.mp3");
        if (existed)
            writeFile(target, "old");
        const int status = RunInChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit { 64 << 10, 64 << 10 };
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 10;
            try {
                CopyFileByStream(source, target);
                return 11;
            } catch (const IOError& error) {
                return error.path() == target ? 0 : 12;
            }
        });
        EXPECT_EQ(status, 0) << "existed " << existed;
        EXPECT_FALSE(QFile::exists(target)) << "existed " << existed;
        EXPECT_EQ(readFile(source).size(), 1 << 20);
    }
}

// The same on a file system that runs full, which also makes the copy cross file systems
// (the kernel copy gives way to the buffer copy). Needs a private mount namespace.
TEST_F(FileUtils, CopyOntoFullFileSystemLeavesNoPartialTarget)
{
    const QString source = path("big.mp3");
    const QByteArray contents = randomBytes(1 << 20);
    writeFile(source, contents);
    const QString mountPoint = path("small");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("small")));
    const QByteArray mountBytes = QFile::encodeName(mountPoint);

    const int status = RunInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", mountBytes.constData(), "tmpfs", 0, "size=256k") != 0)
            return 77;
        const QString fits = mountPoint + QStringLiteral("/fits.mp3");
        const QString full = mountPoint + QStringLiteral("/full.mp3");
        {
            // Fill it just short of the 1 MiB copy: the first small copy fits.
            QFile small(path("small.mp3"));
            if (!small.open(QIODevice::WriteOnly) || small.write(contents.left(1000)) != 1000)
                return 13;
        }
        if (!CopyFileByStream(path("small.mp3"), fits) || readFile(fits) != contents.left(1000))
            return 14;
        try {
            CopyFileByStream(source, full);
            return 11;
        } catch (const IOError& error) {
            if (error.path() != full)
                return 12;
        }
        return QFile::exists(full) ? 15 : 0;
    });
    if (status == 77)
        GTEST_SKIP() << "cannot mount a small file system here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(source), contents);
}

// A double compared with the doubles folder's copy, or a cut move's source with its copy, is
// deleted (for good or into the Trash) only as it was compared: what another program does
// to it after that keeps it, as in use, and leaves nothing set aside beside it.
TEST_F(FileUtils, FileChangedAfterItsComparisonIsKept)
{
    // The Trash of the test's own folder.
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
    const struct {
        const char* name;
        bool (*change)(const QString&);
        TRemoveResult result;
        QByteArray left; // what the name holds afterwards
    } rows[] = {
        { "untouched", nullptr, TRemoveResult::Removed, "<missing>" },
        { "appended", appendTo, TRemoveResult::InUse, "the same bytes+" },
        { "rewritten, times kept", rewriteKeepingTimes, TRemoveResult::InUse, "#he same bytes" },
        { "saved anew", saveAnew, TRemoveResult::InUse, "other bytes" },
    };
    for (const auto& row : rows) {
        for (const bool trash : { false, true }) {
            const QString file = path("double.mp3");
            const QString copy = path("copy.mp3");
            writeFile(file, "the same bytes");
            writeFile(copy, "the same bytes");
            const TAcceptFile compare = [&](const TWatchedFile& open) {
                const bool same = SameContents(open, copy);
                if (row.change) {
                    OtherProcess other([&] { return row.change(file); });
                    EXPECT_TRUE(other.ready()) << row.name;
                }
                return same;
            };
            QString trashed;
            const TRemoveResult result
                = trash ? TrashUnusedFile(file, trashed, compare) : RemoveUnusedFile(file, compare);
            const char* how = trash ? " into the Trash" : " for good";
            EXPECT_EQ(result, row.result) << row.name << how;
            EXPECT_EQ(readFile(file), row.left) << row.name << how;
            EXPECT_EQ(
                QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), row.change ? 2 : 1)
                << row.name << how;
        }
    }
    if (dataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", dataHome);
}

} // namespace
