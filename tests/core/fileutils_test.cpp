#include "core/moving/fileutils.h"

#include "platform/errors.h"
#include "tests/support/otherprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plumtide;
using plumtide::test::OtherProcess;

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

TEST_F(FileUtils, FileHeldOpenByAnotherProcessIsInUse)
{
    const QString song = path("song.mp3");
    writeFile(song, "some audio");

    for (const int flags : { O_RDONLY, O_WRONLY }) {
        OtherProcess holder([&] { return ::open(QFile::encodeName(song), flags) >= 0; });
        ASSERT_TRUE(holder.ready());
        EXPECT_TRUE(IsFileInUse(song));
        holder.end();
        EXPECT_FALSE(IsFileInUse(song));
    }
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

TEST_F(FileUtils, WhatIsNoRegularFileIsNeitherAFileNorInUse)
{
    const QString pipe = path("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    for (const QString& notAFile : { path("missing.mp3"), m_dir.path(), pipe, QString() }) {
        SCOPED_TRACE(notAFile.toStdString());
        EXPECT_FALSE(FileExists(notAFile));
        // Must return at once: opening the pipe would wait for a writer.
        EXPECT_FALSE(IsFileInUse(notAFile));
    }
    EXPECT_TRUE(FolderExists(m_dir.path()));
    EXPECT_FALSE(FolderExists(pipe));
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
