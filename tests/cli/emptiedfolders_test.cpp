// Sub-folders of the source that a run emptied, removed only when asked, and made again by
// undo. (The sort waits out the settle time of the files just written, so their folders are
// quiet by the time it takes them.)

#include "tests/cli/clifixture.h"
#include "tests/support/qtprint.h"

using namespace plumtide::test;

TEST_F(Cli, FoldersARunEmptiedAreRemovedWhenAskedAndUndoMakesThemAgain)
{
    const QStringList folders { QStringLiteral("in/Album/CD1"), QStringLiteral("in/Album"),
        QStringLiteral("in/Cover"), QStringLiteral("in/Empty"), QStringLiteral("in/Unknown") };
    const struct {
        const char* name;
        QStringList options;
        QStringList removed;
    } cases[] = {
        { "asked", { QStringLiteral("--remove-emptied-folders") },
            { QStringLiteral("in/Album/CD1"), QStringLiteral("in/Album") } },
        { "not asked", {}, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir(dir.path()).removeRecursively());
        const QByteArray song = mp3(QStringLiteral("Madonna"), QStringLiteral("Vogue"));
        write(QStringLiteral("in/Album/CD1/a.mp3"), song);
        write(QStringLiteral("in/Album/b.mp3"), song);
        write(QStringLiteral("in/Cover/c.mp3"), song);
        write(QStringLiteral("in/Cover/cover.jpg"), "picture");
        write(QStringLiteral("in/Unknown/d.mp3"), mp3(QStringLiteral("Nobody Known"), {}));
        write(QStringLiteral("in/e.mp3"), song);
        folder(QStringLiteral("in/Empty"));
        folder(QStringLiteral("music/Madonna"));
        const auto before = tree();
        const QStringList sort = QStringList { QStringLiteral("sort"), QStringLiteral("--settle"),
            QStringLiteral("1"), QStringLiteral("--doubles"), QStringLiteral("keep") }
            + c.options + QStringList { path(QStringLiteral("in")), path(QStringLiteral("music")) };
        const auto removedBy = [&](const Result& result) {
            QStringList removed;
            for (const QString& line : result.out.split(QLatin1Char('\n'))) {
                if (line.startsWith(QStringLiteral("folder-removed\t")))
                    removed.append(line.section(QLatin1Char('\t'), 1).mid(dir.path().size() + 1));
            }
            return removed;
        };
        // A dry run says so too, and changes nothing.
        const Result dry = run(sort + QStringList { QStringLiteral("--dry-run") });
        EXPECT_EQ(removedBy(dry), c.removed) << dry.out.toStdString();
        EXPECT_EQ(tree(), before);
        const Result sorted = run(sort);
        ASSERT_EQ(sorted.status, 0) << sorted.err.toStdString();
        EXPECT_EQ(removedBy(sorted), c.removed) << sorted.out.toStdString();
        for (const QString& folder : folders)
            EXPECT_EQ(QFileInfo(path(folder)).isDir(), !c.removed.contains(folder))
                << folder.toStdString();
        EXPECT_TRUE(QFileInfo(path(QStringLiteral("in"))).isDir());

        const Result undone = run({ QStringLiteral("undo") });
        EXPECT_EQ(undone.status, 0) << undone.err.toStdString();
        EXPECT_EQ(tree(), before);
        for (const QString& folder : folders)
            EXPECT_TRUE(QFileInfo(path(folder)).isDir()) << folder.toStdString();
    }
}
