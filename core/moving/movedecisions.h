#pragma once

#include "core/moving/moveevents.h"
#include "core/planning/leaveout.h"
#include "core/pump.h"
#include "core/rows.h"
#include "core/runlog.h"
#include "platform/filestatus.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <variant>
#include <vector>

namespace plumtide
{

struct TMoveSettings;

// One thing a run is asked to do. A sort gives its left-out files, the folders to make for
// new artists and its plan rows; the source list's menu one file to set aside or delete;
// an undo the records it takes back.
struct TCreateFolder {
    QString folder;
};
struct TSetAsideByHand {
    QString file;
};
struct TDeleteByHand {
    QString file;
};
// A record of the history to take back: a file moved (file -> target) or deleted, or a
// folder made (file).
struct TTakeBack {
    qint64 record = 0;
    TMoveOutcome outcome = TMoveOutcome::Moved;
    QString file {};
    QString target {};
    QString trashed {};
    qint64 size = -1;
    qint64 modified = 0;
    bool targetKept = false;
    // A file that travelled with the song of the record before it: it goes back only with
    // that song, never on its own.
    bool follows = false;
};
// A companion (see companions.h) in the source without its song: a run was killed between
// the song's move and its own, or it came after its song was filed. It follows the song when
// a run moved the song and the song is still there as it was moved.
struct TStrayCompanion {
    QString file;
    // The moves the history keeps of files of its name, newest first, as planning looked
    // them up (see TSortRequest::keptMoves). None: it stays.
    std::vector<TKeptMove> moves {};
};
// The item of a companion left without its song, its song's moves looked up.
TStrayCompanion StrayOf(const QString& file, const TKeptMovesLookup& keptMoves);
using TWorkItem = std::variant<TLeftOut, TCreateFolder, TPlanRow, TSetAsideByHand, TDeleteByHand,
    TTakeBack, TStrayCompanion>;
// The items of a run one at a time: false after the last.
using TWorkSource = std::function<bool(TWorkItem&)>;

// What carrying out does with one item. Deciding changes nothing on disk; carrying an
// action out is the executor's work (see mover.h), which decides again at the moment it
// acts, because the file or its folder may have changed since.
enum class TActionKind {
    Nothing, // nothing to do and nothing to report (a folder that exists already)
    Move, // into its artist folder (target): under its own name, or a numbered one (reason
          // NameTaken) where its own holds a different song
    SetDoubleAside, // a double, moved into the doubles folder under a free name (target)
    DropDouble, // a double whose contents the doubles folder already holds (target): deleted
    DeleteDouble, // a double, deleted as the settings say
    KeepDouble, // a double, left where it is as the settings say
    KeepOwnDouble, // a double whose place in the doubles folder is the file itself: stays
    DeleteSmall, // smaller than the limit: deleted
    InPlace, // its artist folder is the folder it is in: nothing to do
    CreateFolder, // a folder for a new artist (target)
    DeleteByHand, // deleted from the source list's menu
    Restore, // an undo moves the file back (file -> target), making missing folders
    RestoreFromTrash, // an undo takes the file (in the Trash) back to target
    CopyBack, // an undo copies the doubles folder's own copy (file) back to target
    RemoveFolder, // an undo removes a folder a run made (file), still empty
    Skip, // stays, for the reason given
    RemoveEmptied, // a sub-folder of the source the run emptied (file), removed at its end
};

// A file that travels with a moved song (see companions.h): it goes to `target` right after
// its song, or stays for `reason`.
struct TCompanionMove {
    QString file;
    QString target;
    TReason reason = TReason::None;
};

struct TMoveAction {
    TActionKind kind = TActionKind::Skip;
    QString file;
    QString target {};
    TReason reason = TReason::None;
    qint64 record = 0; // the history record an undo takes back
    TMatchKind match = TMatchKind::Similar; // how the plan row was chosen
    // A song moved or set aside: the files that travel with it.
    std::vector<TCompanionMove> companions {};
};

// How the move sees the disk. The executor looks at the disk itself; a dry run and the
// executor's own pending work see it through TOverlayView; tests can give any world.
class TFileSystemView
{
public:
    virtual ~TFileSystemView() = default;
    virtual TFileStatus status(const QString& path) const = 0;
    // Why the file cannot be moved now: InUse while another process has it open or locked,
    // the reason of the error when it cannot be opened, None when it is free.
    virtual TReason unusable(const QString& file) const = 0;
    // Whether two existing files have the same bytes.
    virtual bool sameContents(const QString& a, const QString& b) const = 0;
    // Whether two existing files hold the same song (see SameAudio in fileutils.h).
    virtual bool sameAudio(const QString& a, const QString& b) const = 0;
    // The length of a file's audio (see AudioLength in fileutils.h); -1 when unreadable.
    virtual qint64 audioLength(const QString& file) const = 0;
    // The names of a folder's entries.
    virtual QStringList entryNames(const QString& folder) const = 0;
};

// The real disk, through the platform layer.
class TDiskView : public TFileSystemView
{
public:
    TFileStatus status(const QString& path) const override;
    TReason unusable(const QString& file) const override;
    bool sameContents(const QString& a, const QString& b) const override;
    bool sameAudio(const QString& a, const QString& b) const override;
    qint64 audioLength(const QString& file) const override;
    QStringList entryNames(const QString& folder) const override;
};

// A view with changes laid over another: names that will exist (files being moved there,
// folders a dry run assumes made) and names that will be gone (files moved away or deleted).
class TOverlayView : public TFileSystemView
{
public:
    explicit TOverlayView(const TFileSystemView& base)
        : m_base(base)
    {
    }

    TFileStatus status(const QString& path) const override;
    TReason unusable(const QString& file) const override;
    bool sameContents(const QString& a, const QString& b) const override;
    bool sameAudio(const QString& a, const QString& b) const override;
    qint64 audioLength(const QString& file) const override;
    QStringList entryNames(const QString& folder) const override;

    void addFile(const QString& path, const QString& from);
    void addFolder(const QString& path);
    void remove(const QString& path);
    // Drops what is known of `path`: the disk shows it as it is now.
    void forget(const QString& path);
    // What an action, once carried out, changes.
    void apply(const TMoveAction& action);
    // Called before the bytes of a file that is still to be moved are read: the executor's
    // own move holds a lease on it, which any open of it would break.
    void beforeReadingPending(std::function<void()> call) { m_beforeReading = std::move(call); }

private:
    // The file whose bytes `path` holds, once a file still to be moved there is.
    QString reading(const QString& path) const;

    const TFileSystemView& m_base;
    std::function<void()> m_beforeReading;
    QHash<QString, QString> m_files; // path -> the file whose bytes it will hold
    QSet<QString> m_folders;
    QSet<QString> m_removed;
};

// Decides the actions of a run item by item. A file's first plan row decides the file,
// whatever its outcome: it remembers the files earlier rows dealt with, and a later row of
// the same file is skipped, so a file its best folder cannot take never goes to a worse one.
//
// Whether another program uses a file is asked last, once the action is known. With
// `actsTestUse` (the executor) it is asked only for actions that leave the file where it
// is: an action that moves or deletes the file tests that on the very descriptor it acts
// through, so the file is opened once. A dry run asks the view for every file.
class TMoveDecider
{
public:
    TMoveDecider(
        const TMoveSettings& settings, const TLeaveOutPolicy& leaveOut, bool actsTestUse = false);

    // The action for `item` as `view` shows the disk at `now` (nanoseconds since the epoch).
    TMoveAction decide(const TWorkItem& item, const TFileSystemView& view, qint64 now) const;
    // Notes that the action of a plan row's file was carried out (whatever it was), for the
    // rows still to come; `gone`: the file left its place.
    void done(const QString& file, bool gone);

    // Where a double goes: its own name in the doubles folder, or else the first free
    // "name (n).ext"; a copy with the same bytes, or the file itself, ends the search.
    TMoveAction setAside(const QString& file, const TFileSystemView& view) const;

private:
    TMoveAction decideRow(const TPlanRow& row, const TFileSystemView& view, qint64 now) const;
    TMoveAction decideTakeBack(const TTakeBack& record, const TFileSystemView& view) const;
    TMoveAction decideFolderTakeBack(const TTakeBack& record, const TFileSystemView& view) const;
    TMoveAction decideStray(
        const TStrayCompanion& stray, const TFileSystemView& view, qint64 now) const;
    // The action, or the file's skip when another program uses it or one of its companions.
    TMoveAction unlessInUse(const TMoveAction& action, const TFileSystemView& view) const;
    // The companions beside `file` (none when the settings leave them).
    QStringList companionsOf(const QString& file, const TFileSystemView& view) const;
    // A song's action with its companions: each to the name beside `action.target`, or left
    // where that name is taken. PathTooLong when one of those names is too long.
    TMoveAction withCompanions(
        TMoveAction action, const QStringList& companions, const TFileSystemView& view) const;
    TMoveAction setAside(
        const QString& file, const QStringList& companions, const TFileSystemView& view) const;
    // A file whose own name in `folder` holds a different song: under the first numbered
    // name free for it and its companions; a double (Nothing) where a numbered name holds
    // this same song.
    TMoveAction numbered(const QString& file, const QString& folder, const QStringList& companions,
        const TFileSystemView& view) const;
    // Whether `folder` holds the song of `file` under any name (doublesByAudio); if not, the
    // file is taken to be at `target` from now on.
    bool holdsSong(const QString& folder, const QString& file, const QString& target,
        const TFileSystemView& view) const;
    // The action for a double, as the settings say.
    TMoveAction asDouble(
        const QString& file, const QStringList& companions, const TFileSystemView& view) const;

    const TMoveSettings& m_settings;
    const TLeaveOutPolicy& m_leaveOut;
    const bool m_actsTestUse;
    QHash<QString, TReason> m_handled; // file -> the reason a later row of it is skipped
    // doublesByAudio: the music files of each folder a run files into, by audio length; made
    // at the first file for a folder, and told of the files decided into it since.
    mutable QHash<QString, QMultiHash<qint64, QString>> m_songsIn;
    mutable QHash<QString, QSet<QString>> m_folderNames; // source folder -> its names, as read
};

// Whether an action takes its file away from where it was.
bool TakesFileAway(TActionKind kind);

// The event that reports a carried-out action.
TMoveEvent EventOf(const TMoveAction& action);
// The event of a companion that went with its song, or stayed.
TMoveEvent EventOf(const TCompanionMove& companion);

// The item's file (or folder), as its events name it.
QString SubjectOf(const TWorkItem& item);

// A source of items from a list, for callers that have them all.
TWorkSource WorkOf(std::vector<TWorkItem> items);

// Decides every item as a run would, in order, changing nothing: a dry run. Each later item
// sees what the earlier ones would have done; `assumedFolders` are taken to exist (the
// folders a real run would create first). A song's companions follow its action as actions of
// their own (moved, or skipped); with removeEmptiedFolders, the folders the run would empty
// follow at the end (see TEmptiedFolders). The pump runs before each item; returns false when
// it stopped the items.
bool DecideMoves(const TWorkSource& work, const TMoveSettings& settings,
    const TLeaveOutPolicy& leaveOut, const TFileSystemView& disk, Pump& pump,
    const std::function<void(const TMoveAction&)>& onAction,
    const QStringList& assumedFolders = {});

} // namespace plumtide
