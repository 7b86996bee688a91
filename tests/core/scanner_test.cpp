#include "core/planning/scanner.h"
#include "core/pump.h"
#include "tests/support/otherprocess.h"
#include "tests/support/pumps.h"
#include "tests/support/qtprint.h"
#include "tests/support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace plumtide;

namespace
{

using Names = std::vector<std::string>;

const FileInUseTest notInUse = [](const QString&) { return false; };

// A folder tree made for one test, removed with it.
class Tree
{
public:
    Tree() { ::chmod(QFile::encodeName(root()).constData(), 0755); }
    QString root() const { return m_dir.path(); }
    QString at(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    void folder(const QString& relative) const { QDir().mkpath(at(relative)); }
    void file(const QString& relative) const
    {
        folder(QFileInfo(relative).path());
        QFile f(at(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void link(const QString& relative, const QString& target) const
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                      QFile::encodeName(at(relative)).constData()),
            0);
    }

private:
    QTemporaryDir m_dir;
};

// The paths below `start`, as relative names (sorted when the order is not under test).
Names below(const QStringList& paths, const QString& start, bool sorted = false)
{
    Names names;
    for (const QString& path : paths)
        names.push_back(RelativeFolderName(start, path).toStdString());
    if (sorted)
        std::sort(names.begin(), names.end());
    return names;
}

bool anyDoubleSeparator(const QStringList& paths)
{
    return std::any_of(paths.begin(), paths.end(),
        [](const QString& p) { return p.contains(QLatin1String("//")); });
}

} // namespace

TEST(GetDirList, EveryDepthWithRelativeNamesHiddenFoldersLeftOut)
{
    Tree tree;
    for (const char* f : { "Pop/Madonna/Live", "Rock", ".hidden/Inner", "Rock/.cache/x" })
        tree.folder(QString::fromUtf8(f));
    tree.file(QStringLiteral("Pop/a.mp3"));

    for (const QString& start : { tree.root(), tree.root() + QLatin1Char('/') }) {
        CollectingDetails details;
        NullPump pump;
        const QStringList list = GetDirList(start, pump, details);
        ASSERT_FALSE(list.isEmpty());
        EXPECT_EQ(list.first(), start);
        EXPECT_EQ(below(list.mid(1), start),
            (Names { "Pop", "Pop/Madonna", "Pop/Madonna/Live", "Rock" }));
        EXPECT_FALSE(anyDoubleSeparator(list));
        EXPECT_EQ(details.clears(), 1);
        EXPECT_TRUE(details.lines().isEmpty());
    }
}

TEST(GetDirList, NoSubfoldersBlankOrMissingFolderGiveOnlyTheFolder)
{
    Tree tree;
    NullPump pump;
    NullDetails details;
    EXPECT_EQ(GetDirList(tree.root(), pump, details), QStringList { tree.root() });
    // A blank field must not turn into a scan of "/".
    EXPECT_EQ(GetDirList(QString(), pump, details), QStringList { QString() });
    EXPECT_TRUE(GetFileList(QString(), QStringLiteral(".mp3"), pump, details, notInUse).isEmpty());
    const QString missing = tree.at(QStringLiteral("missing"));
    EXPECT_EQ(GetDirList(missing, pump, details), QStringList { missing });
}

TEST(RelativeFolderName, StripsDestinationAndOneSeparator)
{
    const struct {
        const char* destination;
        const char* folder;
        const char* relative;
    } cases[] = {
        { "/music", "/music/Pop/Madonna", "Pop/Madonna" },
        { "/music/", "/music/Pop", "Pop" },
        { "/", "/music", "music" },
        { "/music", "/music", "" },
        { "/music", "/music2/Abba", "" },
        { "/music", "/Music/Abba", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(RelativeFolderName(QString::fromUtf8(c.destination), QString::fromUtf8(c.folder)),
            QString::fromUtf8(c.relative))
            << c.destination << " " << c.folder;
}

TEST(GetFileList, ExtensionFromLastDotWithoutCaseAtEveryDepth)
{
    Tree tree;
    for (const char* f :
        { "song.mp3", "LOUD.MP3", "Mixed.Mp3", ".hidden.mp3", "song.mp3.bak", "noext", "mp3",
            "notes.txt", "deep/er/est/x.mp3", ".hiddenfolder/y.mp3", "album.mp3/z.mp3" })
        tree.file(QString::fromUtf8(f));
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(tree.at(QStringLiteral("pipe.mp3"))).constData(), 0644), 0);

    const Names expected { ".hidden.mp3", ".hiddenfolder/y.mp3", "LOUD.MP3", "Mixed.Mp3",
        "album.mp3/z.mp3", "deep/er/est/x.mp3", "song.mp3" };
    for (const QString& start : { tree.root(), tree.root() + QLatin1Char('/') }) {
        CollectingDetails details;
        NullPump pump;
        const QStringList list
            = GetFileList(start, QStringLiteral(".mp3"), pump, details, notInUse);
        EXPECT_EQ(below(list, start, true), expected);
        EXPECT_EQ(below(details.lines(), start, true), expected);
        EXPECT_EQ(details.clears(), 1);
        EXPECT_FALSE(anyDoubleSeparator(list));
    }
}

TEST(SortPaths, IgnoresCaseFollowsLocaleAndKeepsCaseTwinsInFixedOrder)
{
    const QLocale saved;
    const struct {
        QLocale locale;
        QStringList sorted;
    } cases[] = {
        { QLocale::c(),
            { "A.mp3", "a.mp3", "Apfel.mp3", "Azur.mp3", "B.mp3", "b.mp3", "Äpfel.mp3" } },
        { QLocale(QLocale::German, QLocale::Germany),
            { "A.mp3", "a.mp3", "Apfel.mp3", "Äpfel.mp3", "Azur.mp3", "B.mp3", "b.mp3" } },
    };
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        QStringList list { "b.mp3", "Äpfel.mp3", "Azur.mp3", "a.mp3", "B.mp3", "Apfel.mp3",
            "A.mp3" };
        SortPaths(list);
        EXPECT_EQ(list, c.sorted) << c.locale.name().toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(Scanners, NamesThatDifferOnlyInCaseAreTwoRows)
{
    Tree tree;
    for (const char* f : { "Abba/Song.mp3", "Abba/song.mp3", "ABBA/x.mp3" })
        tree.file(QString::fromUtf8(f));
    NullPump pump;
    NullDetails details;
    EXPECT_EQ(below(GetDirList(tree.root(), pump, details).mid(1), tree.root()),
        (Names { "ABBA", "Abba" }));
    EXPECT_EQ(below(GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details, notInUse),
                  tree.root()),
        (Names { "Abba/Song.mp3", "Abba/song.mp3", "ABBA/x.mp3" }));
}

// Folders follow links (an artist folder linked in from another disk still receives files);
// the source's files do not (what a link leads to lies outside the source).
TEST(Scanners, FolderLinksAreFollowedOnceAndSourceFilesNeverThroughLinks)
{
    Tree tree;
    Tree outside;
    tree.file(QStringLiteral("A/B/f.mp3"));
    outside.file(QStringLiteral("private.mp3"));
    tree.link(QStringLiteral("A/linked.mp3"), outside.at(QStringLiteral("private.mp3")));
    tree.folder(QStringLiteral("Rock"));
    outside.file(QStringLiteral("Ext/e.mp3"));
    tree.link(QStringLiteral("A/B/loop"), QStringLiteral("../.."));
    tree.link(QStringLiteral("A/self"), QStringLiteral("."));
    tree.link(QStringLiteral("Rock/up"), tree.root());
    // Sorts before A, but A/B keeps its own path.
    tree.link(QStringLiteral("0alias"), QStringLiteral("A/B"));
    tree.link(QStringLiteral("out"), outside.root());
    tree.link(QStringLiteral("out2"), outside.root());
    tree.link(QStringLiteral("dangling"), QStringLiteral("nowhere"));
    tree.link(QStringLiteral("A/B/circle"), QStringLiteral("circle"));

    CollectingDetails details;
    AbortAfterPump dirPump(10000); // a safety net: a walk that loops stops here and fails
    EXPECT_EQ(below(GetDirList(tree.root(), dirPump, details).mid(1), tree.root(), true),
        (Names { "A", "A/B", "Rock", "out", "out/Ext" }));
    EXPECT_LT(dirPump.calls(), 100);

    AbortAfterPump filePump(10000);
    EXPECT_EQ(below(GetFileList(tree.root(), QStringLiteral(".mp3"), filePump, details, notInUse),
                  tree.root(), true),
        (Names { "A/B/f.mp3" }));
    EXPECT_LT(filePump.calls(), 100);
}

TEST(GetFileList, FileInUseIsReportedAndLeftOut)
{
    Tree tree;
    for (const char* f : { "a.mp3", "sub/busy.mp3", "notes.txt" })
        tree.file(QString::fromUtf8(f));
    const QString busy = tree.at(QStringLiteral("sub/busy.mp3"));
    QStringList asked;
    const FileInUseTest inUse = [&](const QString& path) {
        asked.append(path);
        return path == busy;
    };

    CollectingDetails details;
    NullPump pump;
    const QStringList list = GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details, inUse);
    EXPECT_EQ(list, QStringList { tree.at(QStringLiteral("a.mp3")) });
    EXPECT_EQ(details.lines(),
        (QStringList { tree.at(QStringLiteral("a.mp3")), busy + QStringLiteral(" File in use") }));
    // The test can be costly: only candidates are asked about.
    EXPECT_EQ(asked.size(), 2);
}

TEST(GetFileList, FileHeldOpenByAnotherProcessIsLeftOut)
{
    Tree tree;
    tree.file(QStringLiteral("free.mp3"));
    tree.file(QStringLiteral("held.mp3"));
    const QString held = tree.at(QStringLiteral("held.mp3"));
    test::OtherProcess holder(
        [&] { return ::open(QFile::encodeName(held).constData(), O_RDONLY) >= 0; });
    ASSERT_TRUE(holder.ready());

    CollectingDetails details;
    NullPump pump;
    EXPECT_EQ(GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details),
        QStringList { tree.at(QStringLiteral("free.mp3")) });
    EXPECT_TRUE(details.lines().contains(held + QStringLiteral(" File in use")));
    holder.end();
    EXPECT_EQ(GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details).size(), 2);
}

TEST(Scanners, AbortStopsAtOnceAndKeepsWhatWasFound)
{
    Tree tree;
    for (int f = 0; f < 4; ++f) {
        tree.file(QStringLiteral("F%1/G/t.mp3").arg(f));
        for (int s = 0; s < 4; ++s)
            tree.file(QStringLiteral("F%1/s%2.mp3").arg(f).arg(s));
    }
    NullDetails details;
    const QString mp3 = QStringLiteral(".mp3");

    AbortAfterPump unlimited(1000000);
    const QStringList allFiles = GetFileList(tree.root(), mp3, unlimited, details, notInUse);
    const long long fileCalls = unlimited.calls();
    AbortAfterPump unlimitedDirs(1000000);
    const QStringList allDirs = GetDirList(tree.root(), unlimitedDirs, details);
    const long long dirCalls = unlimitedDirs.calls();
    ASSERT_EQ(allFiles.size(), 20);
    ASSERT_EQ(allDirs.size(), 9);

    for (const double share : { 0.0, 0.5, 0.8 }) {
        SCOPED_TRACE(share);
        // The pump runs before the question is asked, so even an abort from the start
        // sees one call; after that not one more.
        const long long fileLimit = static_cast<long long>(fileCalls * share);
        const long long dirLimit = static_cast<long long>(dirCalls * share);
        AbortAfterPump filePump(fileLimit);
        const QStringList files = GetFileList(tree.root(), mp3, filePump, details, notInUse);
        EXPECT_EQ(filePump.calls(), std::max(fileLimit, 1LL));
        AbortAfterPump dirPump(dirLimit);
        const QStringList dirs = GetDirList(tree.root(), dirPump, details);
        EXPECT_EQ(dirPump.calls(), std::max(dirLimit, 1LL));

        ASSERT_FALSE(dirs.isEmpty());
        EXPECT_EQ(dirs.first(), tree.root());
        if (share == 0.0) {
            EXPECT_TRUE(files.isEmpty());
            EXPECT_EQ(dirs.size(), 1);
            continue;
        }
        // Partial, in order, and nothing that a full scan would not list.
        EXPECT_TRUE(files.size() > 0 && files.size() < allFiles.size()) << files.size();
        EXPECT_TRUE(dirs.size() > 1 && dirs.size() < allDirs.size()) << dirs.size();
        QStringList resorted = files;
        SortPaths(resorted);
        EXPECT_EQ(files, resorted);
        for (const QString& f : files)
            EXPECT_TRUE(allFiles.contains(f)) << f.toStdString();
        for (const QString& d : dirs)
            EXPECT_TRUE(allDirs.contains(d)) << d.toStdString();
    }
}

TEST(Scanners, UnreadableFolderContributesNothing)
{
    Tree tree;
    for (const char* f : { "Open/a.mp3", "Open/Sub/x", "Locked/b.mp3", "Locked/Inner/c.mp3" })
        tree.file(QString::fromUtf8(f));
    // Scanned by a user other than root, since root reads every folder whatever its mode.
    for (const char* f : { "Open", "Open/Sub", "Locked/Inner" })
        ::chmod(QFile::encodeName(tree.at(QString::fromUtf8(f))).constData(), 0755);
    ::chmod(QFile::encodeName(tree.at(QStringLiteral("Open/a.mp3"))).constData(), 0644);
    ::chmod(QFile::encodeName(tree.at(QStringLiteral("Locked"))).constData(), 0);

    const std::optional<QByteArray> out = test::RunUnprivileged([&] {
        NullPump pump;
        NullDetails details;
        QStringList found = GetDirList(tree.root(), pump, details).mid(1);
        found += GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details, notInUse);
        return found.join(QLatin1Char('\n')).toUtf8();
    });
    ::chmod(QFile::encodeName(tree.at(QStringLiteral("Locked"))).constData(), 0755);
    ASSERT_TRUE(out);

    const QStringList found = QString::fromUtf8(*out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(
        below(found, tree.root(), true), (Names { "Locked", "Open", "Open/Sub", "Open/a.mp3" }));
}

TEST(Scanners, UndecodableNamesAreReportedNotListed)
{
    Tree tree;
    tree.file(QStringLiteral("good.mp3"));
    tree.folder(QStringLiteral("Good"));
    const QByteArray root = QFile::encodeName(tree.root());
    for (const char* name : { "/caf\xe9.mp3", "/caf\xe9.txt" }) {
        const int fd = ::open((root + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    ASSERT_EQ(::mkdir((root + "/Bj\xf6rk").constData(), 0755), 0);
    const int fd = ::open((root + "/Bj\xf6rk/inside.mp3").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);

    const QString suffix = QStringLiteral(" Name is not valid UTF-8");
    const QString badFile = tree.at(QStringLiteral("caf\uFFFD.mp3")) + suffix;
    const QString badFolder = tree.at(QStringLiteral("Bj\uFFFDrk")) + suffix;
    NullPump pump;
    CollectingDetails details;
    EXPECT_EQ(GetFileList(tree.root(), QStringLiteral(".mp3"), pump, details, notInUse),
        QStringList { tree.at(QStringLiteral("good.mp3")) });
    QStringList lines = details.lines();
    lines.sort();
    EXPECT_EQ(lines, (QStringList { badFolder, badFile, tree.at(QStringLiteral("good.mp3")) }));

    EXPECT_EQ(GetDirList(tree.root(), pump, details),
        (QStringList { tree.root(), tree.at(QStringLiteral("Good")) }));
    EXPECT_EQ(details.lines(), QStringList { badFolder });

    // The temporary folder's clean-up cannot reach these names either.
    ::unlink((root + "/caf\xe9.mp3").constData());
    ::unlink((root + "/caf\xe9.txt").constData());
    ::unlink((root + "/Bj\xf6rk/inside.mp3").constData());
    ::rmdir((root + "/Bj\xf6rk").constData());
}
