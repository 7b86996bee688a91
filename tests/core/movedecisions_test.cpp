#include "core/moving/movedecisions.h"
#include "core/moving/mover.h"
#include "platform/paths.h"
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
    // A file's bytes are its song, then after a '|' its tags: "song|v2.3" and "song|v2.4"
    // hold the same song.
    bool sameAudio(const QString& a, const QString& b) const override
    {
        const QByteArray song = audio(a);
        return !song.isEmpty() && song == audio(b);
    }
    qint64 audioLength(const QString& file) const override { return audio(file).size(); }
    // Folders whose names cannot be read, though their files can be looked at.
    FakeDisk& unlisted()
    {
        m_unlisted = true;
        return *this;
    }
    QStringList entryNames(const QString& folder) const override
    {
        QStringList names;
        if (m_unlisted)
            return names;
        for (auto entry = m_entries.constBegin(); entry != m_entries.constEnd(); ++entry) {
            if (FolderOf(entry.key()) == folder)
                names.append(FileNameOf(entry.key()));
        }
        return names;
    }

private:
    QByteArray audio(const QString& file) const
    {
        const QByteArray& bytes = m_entries.value(file).bytes;
        const qsizetype tags = bytes.indexOf('|');
        return tags < 0 ? bytes : bytes.left(tags);
    }

    struct Entry {
        PathKind kind = PathKind::Missing;
        QByteArray bytes;
        TReason busy = TReason::None;
        quint64 inode = 0;
    };
    QHash<QString, Entry> m_entries;
    quint64 m_inode = 0;
    bool m_unlisted = false;
};

// Each action as "Kind target-or-reason".
QStringList decide(const FakeDisk& disk, std::vector<TWorkItem> items,
    const TMoveSettings& settings, const QStringList& assumed = {})
{
    static const char* const names[]
        = { "Nothing", "Move", "SetDoubleAside", "DropDouble", "DeleteDouble", "KeepDouble",
              "KeepOwnDouble", "DeleteSmall", "InPlace", "CreateFolder", "DeleteByHand", "Restore",
              "RestoreFromTrash", "CopyBack", "RemoveFolder", "Skip", "RemoveEmptied" };
    QStringList result;
    NullPump pump;
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

QStringList decide(const FakeDisk& disk, const std::vector<TPlanRow>& rows,
    const TMoveSettings& settings, const QStringList& assumed = {})
{
    return decide(disk, std::vector<TWorkItem>(rows.begin(), rows.end()), settings, assumed);
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
    TMoveSettings defaultFolder = base;
    defaultFolder.makeDoublesFolder = true;

    const auto world = [] {
        FakeDisk disk;
        disk.folder(QStringLiteral("/in")).folder(QStringLiteral("/music/ABBA"));
        disk.folder(QStringLiteral("/doubles")).file(QStringLiteral("/in/a.mp3"), "new");
        return disk;
    };
    const QString longFolder = QStringLiteral("/music/") + QString(250, QLatin1Char('x'));
    // The same song under its name, with other tags.
    const auto taken = [&] { return world().file(QStringLiteral("/music/ABBA/a.mp3"), "new|v1"); };
    // Another song under its name.
    const auto other = [&] { return world().file(QStringLiteral("/music/ABBA/a.mp3"), "old"); };
    TMoveSettings byAudio = deleting;
    byAudio.doublesByAudio = true;
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
        // A doubles folder the user chose and that is not there keeps its doubles only;
        // the default one is made by the first double that needs it.
        { "doubles folder gone", taken().file(QStringLiteral("/doubles"), "not a folder"), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Skip doubles folder missing"),
                QStringLiteral("Skip already handled by an earlier row") } },
        { "default doubles folder not yet made",
            FakeDisk()
                .folder(QStringLiteral("/music/ABBA"))
                .file(QStringLiteral("/in/a.mp3"), "new")
                .file(QStringLiteral("/music/ABBA/a.mp3"), "new|v1"),
            defaultFolder, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("SetDoubleAside /doubles/a.mp3") } },
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
            world().file(QStringLiteral("/in/sub/a.mp3"), "new|v2"), base,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/sub/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3"),
                QStringLiteral("SetDoubleAside /doubles/a.mp3") } },
        // A name taken by a different song: filed under the first numbered name that does
        // not hold a different song; never deleted, whatever the settings.
        { "other song's name", other(), deleting, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a (2).mp3") } },
        { "other songs' names", other().file(QStringLiteral("/music/ABBA/a (2).mp3"), "older"),
            keeping, { row("/in/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a (3).mp3") } },
        { "same song under a numbered name",
            other().file(QStringLiteral("/music/ABBA/a (2).mp3"), "new|v1"), deleting,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("DeleteDouble") } },
        { "two songs of one name arrive", world().file(QStringLiteral("/in/sub/a.mp3"), "2"),
            deleting, { row("/in/a.mp3", "/music/ABBA"), row("/in/sub/a.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3"),
                QStringLiteral("Move /music/ABBA/a (2).mp3") } },
        { "same song under another name, asked for",
            world().file(QStringLiteral("/music/ABBA/b.mp3"), "new|v1"), byAudio,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("DeleteDouble") } },
        { "same song under another name, not asked for",
            world().file(QStringLiteral("/music/ABBA/b.mp3"), "new|v1"), deleting,
            { row("/in/a.mp3", "/music/ABBA") }, { QStringLiteral("Move /music/ABBA/a.mp3") } },
        { "copies of one song in one run, asked for",
            world().file(QStringLiteral("/in/b.mp3"), "new|v2"), byAudio,
            { row("/in/a.mp3", "/music/ABBA"), row("/in/b.mp3", "/music/ABBA") },
            { QStringLiteral("Move /music/ABBA/a.mp3"), QStringLiteral("DeleteDouble") } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(decide(c.disk, c.rows, c.settings, c.assumed), c.expected) << c.name;
}

// Lyrics, cue sheets and notes named as a song go where the song goes, under the name it
// gets there; where the song stays or is deleted, so do they.
TEST(MoveDecisions, CompanionsTravelWithTheirSongUnderItsName)
{
    TMoveSettings base;
    base.doublesFolder = QStringLiteral("/doubles");
    TMoveSettings small = base;
    small.deleteSmallFiles = true;
    small.smallFileLimit = 1;
    TMoveSettings deleting = base;
    deleting.doubles = TDoubles::Delete;
    TMoveSettings keeping = base;
    keeping.doubles = TDoubles::Keep;
    TMoveSettings off = base;
    off.moveCompanions = false;

    const auto world = [] {
        FakeDisk disk;
        disk.folder(QStringLiteral("/in")).folder(QStringLiteral("/music/ABBA"));
        disk.folder(QStringLiteral("/doubles")).file(QStringLiteral("/in/a.mp3"), "new");
        disk.file(QStringLiteral("/in/a.lrc"), "lyrics").file(QStringLiteral("/in/a.cue"));
        // Not its companions: another base name, a link's worth of name, a folder.
        disk.file(QStringLiteral("/in/ab.lrc")).file(QStringLiteral("/in/a.mp3.txt"));
        disk.folder(QStringLiteral("/in/a.txt"));
        return disk;
    };
    const auto taken = [&] { return world().file(QStringLiteral("/music/ABBA/a.mp3"), "new|v1"); };
    const QStringList both { QStringLiteral("Move /music/ABBA/a.mp3"),
        QStringLiteral("Move /music/ABBA/a.lrc"), QStringLiteral("Move /music/ABBA/a.cue") };
    const struct Case {
        const char* name;
        FakeDisk disk;
        TMoveSettings settings;
        QStringList expected;
    } cases[] = {
        { "both free", world(), base, both },
        { "a folder that cannot be listed", world().unlisted(), base, both },
        { "switched off", world(), off, { QStringLiteral("Move /music/ABBA/a.mp3") } },
        { "upper-case names",
            world()
                .file(QStringLiteral("/in/B.MP3"), "new")
                .file(QStringLiteral("/in/B.LRC"))
                .file(QStringLiteral("/in/B.cue")),
            base,
            { QStringLiteral("Move /music/ABBA/B.MP3"), QStringLiteral("Move /music/ABBA/B.LRC"),
                QStringLiteral("Move /music/ABBA/B.cue") } },
        // The first number free for the song and every companion.
        { "numbered double",
            taken()
                .file(QStringLiteral("/doubles/a.mp3"), "other")
                .file(QStringLiteral("/doubles/a (2).cue"), "other"),
            base,
            { QStringLiteral("SetDoubleAside /doubles/a (3).mp3"),
                QStringLiteral("Move /doubles/a (3).lrc"),
                QStringLiteral("Move /doubles/a (3).cue") } },
        // A different song has its name: its companions take its number.
        { "song's name taken by another song",
            world()
                .file(QStringLiteral("/music/ABBA/a.mp3"), "old")
                .file(QStringLiteral("/music/ABBA/a (2).lrc"), "old"),
            base,
            { QStringLiteral("Move /music/ABBA/a (3).mp3"),
                QStringLiteral("Move /music/ABBA/a (3).lrc"),
                QStringLiteral("Move /music/ABBA/a (3).cue") } },
        { "companion in use", world().file(QStringLiteral("/in/a.cue"), "", TReason::InUse), base,
            { QStringLiteral("Skip companion in use") } },
        // Another song's lyrics already have the name: the song goes, its lyrics stay.
        { "companion's name taken",
            world().file(QStringLiteral("/music/ABBA/a.lrc"), "other lyrics"), base,
            { QStringLiteral("Move /music/ABBA/a.mp3"),
                QStringLiteral("Skip name taken beside its song"),
                QStringLiteral("Move /music/ABBA/a.cue") } },
        { "song deleted as small", world(), small, { QStringLiteral("DeleteSmall") } },
        { "double deleted", taken(), deleting, { QStringLiteral("DeleteDouble") } },
        { "double kept", taken(), keeping, { QStringLiteral("KeepDouble") } },
        { "double already stored", taken().file(QStringLiteral("/doubles/a.mp3"), "new"), base,
            { QStringLiteral("DropDouble /doubles/a.mp3") } },
    };
    for (const Case& c : cases) {
        std::vector<TPlanRow> rows { row("/in/a.mp3", "/music/ABBA") };
        if (c.disk.status(QStringLiteral("/in/B.MP3")).kind == PathKind::File)
            rows = { row("/in/B.MP3", "/music/ABBA") };
        EXPECT_EQ(decide(c.disk, rows, c.settings), c.expected) << c.name;
    }
}

// Lyrics without their song follow the newest move of a song of their name, only while the
// song is still as it was moved and the name beside it is free.
TEST(MoveDecisions, LyricsLeftBehindFollowTheirSongWhileItIsAsMoved)
{
    TMoveSettings on;
    TMoveSettings off;
    off.moveCompanions = false;
    const auto world = [] {
        FakeDisk disk;
        disk.folder(QStringLiteral("/in")).file(QStringLiteral("/in/a.lrc"), "lyrics");
        disk.file(QStringLiteral("/music/ABBA/a.mp3"), "song");
        disk.file(QStringLiteral("/doubles/a (2).mp3"), "song");
        return disk;
    };
    const auto moved = [](const char* file, const char* target, qint64 size = 4) {
        return TKeptMove { QString::fromUtf8(file), QString::fromUtf8(target), size, 0 };
    };
    const TKeptMove filed = moved("/in/a.mp3", "/music/ABBA/a.mp3");
    const struct Case {
        const char* name;
        FakeDisk disk;
        TMoveSettings settings;
        std::vector<TKeptMove> moves;
        QString expected;
    } cases[] = {
        { "song as filed", world(), on, { filed }, QStringLiteral("Move /music/ABBA/a.lrc") },
        { "set aside as a numbered double", world(), on,
            { moved("/in/a.mp3", "/doubles/a (2).mp3") },
            QStringLiteral("Move /doubles/a (2).lrc") },
        { "other names moved", world(), on,
            { moved("/in/a.txt", "/music/ABBA/a.txt"), moved("/in/ab.mp3", "/music/ABBA/a.mp3"),
                filed },
            QStringLiteral("Move /music/ABBA/a.lrc") },
        { "no song of its name moved", world(), on, {}, QStringLiteral("Nothing") },
        { "moved on since", world(), on, { moved("/in/a.mp3", "/music/Queen/a.mp3"), filed },
            QStringLiteral("Nothing") },
        { "changed since", world(), on, { moved("/in/a.mp3", "/music/ABBA/a.mp3", 3) },
            QStringLiteral("Nothing") },
        { "name taken beside it", world().file(QStringLiteral("/music/ABBA/a.lrc"), "other"), on,
            { filed }, QStringLiteral("Nothing") },
        { "switched off", world(), off, { filed }, QStringLiteral("Nothing") },
    };
    for (const Case& c : cases) {
        const QStringList got = decide(c.disk,
            std::vector<TWorkItem> { TStrayCompanion { QStringLiteral("/in/a.lrc"), c.moves } },
            c.settings);
        EXPECT_EQ(got, QStringList { c.expected }) << c.name;
    }
}

TEST(MoveSummary, CountsFilesNotRowsAndSaysHowTheRunEnded)
{
    TMoveSummary summary;
    const auto event = [](TMoveOutcome outcome, TReason reason = TReason::None) {
        return TMoveEvent { outcome, QStringLiteral("/in/x.mp3"), QString(), reason };
    };
    EXPECT_EQ(summary.text(), QStringLiteral("Nothing to move"));
    EXPECT_FALSE(summary.anythingHappened());
    for (const TMoveEvent& e : { event(TMoveOutcome::Moved), event(TMoveOutcome::Moved),
             TMoveEvent { TMoveOutcome::DoubleMoved, QStringLiteral("/in/y.mp3"),
                 QStringLiteral("/doubles/y.mp3") },
             event(TMoveOutcome::InPlace), event(TMoveOutcome::Skipped, TReason::InUse),
             event(TMoveOutcome::Skipped, TReason::InUse),
             event(TMoveOutcome::Skipped, TReason::FolderMissing),
             event(TMoveOutcome::Skipped, TReason::AlreadyMoved) })
        summary.count(e);
    EXPECT_TRUE(summary.anythingHappened());
    EXPECT_EQ(summary.text(),
        QStringLiteral("2 files moved, 1 double set aside in /doubles, 1 file already in place, "
                       "3 skipped (2 in use, 1 folder missing)"));
    summary.end = TRunEnd::Aborted;
    EXPECT_TRUE(summary.text().startsWith(QStringLiteral("Move aborted; before that: 2 files")));
}

// An undo removes a folder a run made only while nothing is in it; the files it takes back
// first (newest first) empty it.
TEST(MoveDecisions, AFolderMadeIsTakenBackOnlyWhileEmpty)
{
    const FakeDisk disk = FakeDisk()
                              .folder(QStringLiteral("/in"))
                              .folder(QStringLiteral("/music/EMPTY"))
                              .folder(QStringLiteral("/music/FULL"))
                              .file(QStringLiteral("/music/FULL/other.mp3"))
                              .folder(QStringLiteral("/music/FILED"))
                              .file(QStringLiteral("/music/FILED/a.mp3"), "a");
    const auto made = [](qint64 record, const char* folder) {
        return TTakeBack {
            .record = record, .outcome = TMoveOutcome::Created, .file = QString::fromLatin1(folder)
        };
    };
    // The file is still the one moved there: its size as the disk has it.
    const TTakeBack moved { .record = 9,
        .outcome = TMoveOutcome::Moved,
        .file = QStringLiteral("/in/a.mp3"),
        .target = QStringLiteral("/music/FILED/a.mp3"),
        .size = 1 };
    EXPECT_EQ(decide(disk,
                  { moved, made(4, "/music/FILED"), made(3, "/music/EMPTY"), made(2, "/music/FULL"),
                      made(1, "/music/GONE"), made(5, "music/REL") },
                  TMoveSettings()),
        (QStringList { QStringLiteral("Restore /in/a.mp3"), QStringLiteral("RemoveFolder"),
            QStringLiteral("RemoveFolder"), QStringLiteral("Skip folder not empty"),
            QStringLiteral("Skip no longer exists"),
            QStringLiteral("Skip recorded path is relative") }));
}
