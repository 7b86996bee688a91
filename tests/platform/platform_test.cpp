#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

} // namespace

TEST(Paths, FolderOfExecutableDropsLastComponentButKeepsRoot)
{
    EXPECT_EQ(
        FolderOfExecutable(QStringLiteral("/opt/tools/plumtide")), QStringLiteral("/opt/tools"));
    EXPECT_EQ(FolderOfExecutable(QStringLiteral("/plumtide")), QStringLiteral("/"));
}

TEST(Paths, ConfigHomeFollowsXdgAndIgnoresRelativeValues)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(ConfigHome(), QStringLiteral("/tmp/xdg-test"));
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(ConfigHome(), QDir::homePath() + QStringLiteral("/.config"));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(AtomicFile, ReplacesContentsAndKeepsPermissions)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    WriteFileAtomically(path, "first\n", 0600);
    EXPECT_EQ(readAll(path), QByteArray("first\n"));
    struct stat st {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ::chmod(QFile::encodeName(path).constData(), 0640);
    WriteFileAtomically(path, "second\n");
    EXPECT_EQ(readAll(path), QByteArray("second\n"));
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(AtomicFile, UnwritableFolderRaisesIOErrorAndKeepsOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root can write into any folder";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    WriteFileAtomically(path, "old");
    ::chmod(QFile::encodeName(dir.path()).constData(), 0500);
    EXPECT_THROW(WriteFileAtomically(path, "new"), IOError);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(readAll(path), QByteArray("old"));
}

TEST(AtomicFile, MissingFolderRaisesIOErrorWithPath)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/a.txt"));
    try {
        WriteFileAtomically(path, "x");
        FAIL() << "no error";
    } catch (const IOError& error) {
        EXPECT_EQ(error.path(), path);
        EXPECT_NE(error.errnoValue(), 0);
    }
}

// A writer killed at random moments never leaves an empty or partial file behind.
TEST(AtomicFile, KilledWriterLeavesOldOrNewFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.ini"));
    const QByteArray oldContents(200000, 'o');
    const QByteArray newContents(300000, 'n');
    WriteFileAtomically(path, oldContents);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                WriteFileAtomically(path, (round % 2) ? oldContents : newContents);
        }
        ::usleep(static_cast<useconds_t>(1000 + round * 700));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const QByteArray now = readAll(path);
        EXPECT_TRUE(now == oldContents || now == newContents)
            << "round " << round << " size " << now.size();
    }
}
