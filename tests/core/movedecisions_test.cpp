#include "core/movedecisions.h"
#include "core/mover.h"
#include "tests/support/pumps.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

// A disk in memory: decisions need no real one.
class FakeDisk : public TFileSystemView
{
public:
    FakeDisk& file(const QString& path, QByteArray bytes = "song", TReason busy = TReason::None)
    {
        m_entries.insert(path, { PathKind::File, std::move(bytes), busy, ++m_inode });
        return *this;
    }
    FakeDisk& folder(const QString& path)
    {
        m_entries.insert(path, { PathKind::Folder, {}, TReason::None, ++m_inode });
        return *this;
    }
    // A second name for an existing entry (a hard link, a symbolic link, another spelling).
    FakeDisk& alias(const QString& path, const QString& existing)
    {
        m_entries.insert(path, m_entries.value(existing));
        return *this;
    }

    TFileStatus status(const QString& path) const override
    {
        const auto found = m_entries.constFind(path);
        if (found == m_entries.constEnd())
            return {};
        return { found->kind, found->bytes.size(), 1, found->inode };
    }
    TReason unusable(const QString& file) const override { return m_entries.value(file).busy; }
    bool sameContents(const QString& a, const QString& b) const override
    {
        return m_entries.value(a).bytes == m_entries.value(b).bytes;
    }

private:
    struct Entry {
        PathKind kind = PathKind::Missing;
        QByteArray bytes;
        TReason busy = TReason::None;
        quint64 inode = 0;
    };
    QHash<QString, Entry> m_entries;
    quint64 m_inode = 0;
};

// Each action as "Kind target-or-reason".
QStringList decide(const FakeDisk& disk, const std::vector<TPlanRow>& rows,
    const TMoveSettings& settings, const QStringList& assumed = {})
{
    static const char* const names[] = { "Nothing", "Move", "SetDoubleAside", "DropDouble",
        "DeleteDouble", "KeepDouble", "KeepOwnDouble", "DeleteSmall", "InPlace", "CreateFolder",
        "DeleteByHand", "Restore", "RestoreFromTrash", "CopyBack", "Skip", "Stop" };
    QStringList result;
    NullPump pump;
    std::vector<TWorkItem> items(rows.begin(), rows.end());
    DecideMoves(
        WorkOf(std::move(items)), settings, TLeaveOutPolicy(), disk, pump,
        [&](const TMoveAction& action) {
            const QString detail
                = action.kind == TActionKind::Skip ? ReasonText(action.reason) : action.target;
            result.append(QString::fromLatin1(names[static_cast<int>(action.kind)])
                + (detail.isEmpty() ? QString() : QLatin1Char(' ') + detail));
        },
        assumed);
    return result;
}

TPlanRow row(const char* file, const char* folder)
{
    return { QString::fromUtf8(file), 50, QString::fromUtf8(folder) };
}

} // namespace

TEST(MoveDecisions, EveryOutcomeFromTheDiskAsItIs)
{
    TMoveSettings base;
    base.doublesFolder = QStringLiteral("/doubles");
    TMoveSettings small = base;
    small.deleteSmallFiles = true;
    small.smallFileLimit = 1; // 1024 bytes
    TMoveSettings deleting = base;
    deleting.doubles = TDoubles::Delete;
    TMoveSettings keeping = base;
    keeping.doubles = TDoubles::Keep;
    TMoveSettings ownFolder = base;
    ownFolder.doublesFolder = QStringLiteral("/in");

    const auto world = [] {
        FakeDisk disk;
        disk.folder(QStringLiteral("/in")).folder(QStringLiteral("/music/ABBA"));
        disk.folder(QStringLiteral("/doubles")).file(QStringLiteral("/in/a.mp3"), "new");
        return disk;
    };
    const QString longFolder = QStringLiteral("/music/") + QString(250, QLatin1Char('x'));
    const auto taken = [&] { return world().file(QStringLiteral("/music/ABBA/a.mp3"), "old"); };
    const struct Case {
        const char* name;
        FakeDisk disk;
        TMoveSettings settings;
        std::vector<TPlanRow> rows;
        QStringList expected;
        QStringList assumed = {};
    } cases[] = {
        { "free name", world(), base, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3") } },
        { "gone", world(), base, { row("/in/b.mp3", "/music/ABBA") },
            { QStringLiteral("Skip no longer exists") } },
        { "small", world(), small, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("DeleteSmall") } },
        { "small in use", world().file(QStringLiteral("/in/a.mp3"), "x", TReason::InUse), small,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("Skip in use") } },
        { "in use", world().file(QStringLiteral("/in/a.mp3"), "x", TReason::InUse), base,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("Skip in use") } },
        { "folder gone", world(), base, { row("/in/a.mp3", "/music/Queen") },
            { QStringLiteral("Skip folder missing") } },
        { "assumed folder", world(), base, { row("/in/a.mp3", "/music/Queen") },
            { QStringLiteral("Move /music/Queen/a.mp3") }, { QStringLiteral("/music/Queen") } },
        { "path too long", world().folder(longFolder), base,
            { { QStringLiteral("/in/a.mp3"), 50, longFolder } },
            { QStringLiteral("Skip path too long") } },
        { "double set aside", taken(), base, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("SetDoubleAside /doubles/a.mp3") } },
        { "double numbered", taken().file(QStringLiteral("/doubles/a.mp3"), "other"), base,
            { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("SetDoubleAside /doubles/a (2).mp3") } },
        { "double already stored", taken().file(QStringLiteral("/doubles/a.mp3"), "new"), base,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("DropDouble /doubles/a.mp3") } },
        { "doubles folder is its own", taken(), ownFolder,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/Other") },
            { QStringLiteral("KeepOwnDouble /in/a.mp3"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "double deleted", taken(), deleting, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("DeleteDouble") } },
        { "double kept", taken(), keeping, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("KeepDouble") } },
        { "doubles folder gone", taken().file(QStringLiteral("/doubles"), "not a folder"), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Stop /doubles") } },
        { "in place",
            world().alias(QStringLiteral("/music/ABBA/a.mp3"), QStringLiteral("/in/a.mp3")), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/Other") },
            { QStringLiteral("InPlace /music/ABBA/a.mp3"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "later row of a moved file", world(), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3"),
                QStringLiteral("Skip already moved by an earlier row") } },
        // A file's best folder decides it, whatever happens there: never a worse artist.
        { "kept double in the best folder", taken(), keeping,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/Queen") },
            { QStringLiteral("KeepDouble"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "best folder's path too long", world().folder(longFolder), base,
            { { QStringLiteral("/in/a.mp3"), 50, longFolder }, row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Skip path too long"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "in use at its best folder",
            world().file(QStringLiteral("/in/a.mp3"), "x", TReason::InUse), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/Queen") },
            { QStringLiteral("Skip in use"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "earlier row's move taken into account",
            world().file(QStringLiteral("/in/sub/a.mp3"), "2"), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/sub/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3"),
                QStringLiteral("SetDoubleAside /doubles/a.mp3") } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(decide(c.disk, c.rows, c.settings, c.assumed), c.expected) << c.name;
}

TEST(MoveSummary, CountsFilesNotRowsAndSaysHowTheRunEnded)
{
    TMoveSummary summary;
    const auto event = [](TMoveOutcome outcome, TReason reason = TReason::None) {
        return TMoveEvent { outcome, QStringLiteral("/in/x.mp3"), QString(), reason };
    };
    EXPECT_EQ(summary.text(), QStringLiteral("Nothing to move"));
    EXPECT_FALSE(summary.anythingHappened());
    for (const TMoveEvent& e :
        { event(TMoveOutcome::Moved), event(TMoveOutcome::Moved), event(TMoveOutcome::DoubleMoved),
            event(TMoveOutcome::InPlace), event(TMoveOutcome::Skipped, TReason::InUse),
            event(TMoveOutcome::Skipped, TReason::InUse),
            event(TMoveOutcome::Skipped, TReason::FolderMissing),
            event(TMoveOutcome::Skipped, TReason::AlreadyMoved) })
        summary.count(e);
    EXPECT_TRUE(summary.anythingHappened());
    EXPECT_EQ(summary.text(),
        QStringLiteral("2 files moved, 1 double set aside, 1 file already in place, "
                       "3 skipped (2 in use, 1 folder missing)"));
    summary.end = TRunEnd::Aborted;
    EXPECT_TRUE(summary.text().startsWith(QStringLiteral("Move aborted; before that: 2 files")));
}
