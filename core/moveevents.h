#pragma once

#include <QString>

#include <functional>

namespace plumtide
{

enum class TMoveOutcome {
    Moved, // into its folder; gone from the source
    DoubleMoved, // its name was taken in its folder: set aside in the doubles folder
    DoubleDeleted, // its name was taken in its folder: deleted
    DoubleKept, // its name was taken in its folder: left where it is
    SmallDeleted, // smaller than the limit: deleted
    Skipped, // left where it is, for the reason given
    InPlace, // already in the folder planned for it: nothing to do
};

// What happened to one plan row's file.
struct TMoveEvent {
    TMoveOutcome outcome;
    QString file;
    QString target; // where it went (Moved, DoubleMoved)
    QString reason; // why it stayed (Skipped); for a deletion, why it is not in the Trash
    // What the history keeps of a file moved or deleted, to take it back later:
    qint64 size = -1; // bytes; -1 when not known
    qint64 modified = 0; // modification time, nanoseconds since the epoch
    QString trashed {}; // where in the Trash a deleted file went; empty: deleted for good
    // DoubleMoved: the doubles folder held these very bytes at `target` already, so the file
    // itself was deleted rather than moved there.
    bool targetKept = false;
};

using MoveReporter = std::function<void(const TMoveEvent&)>;

// The name of an outcome in records: "moved", "double-moved", ...
inline const char* OutcomeName(TMoveOutcome outcome)
{
    switch (outcome) {
    case TMoveOutcome::Moved:
        return "moved";
    case TMoveOutcome::DoubleMoved:
        return "double-moved";
    case TMoveOutcome::DoubleDeleted:
        return "double-deleted";
    case TMoveOutcome::DoubleKept:
        return "double-kept";
    case TMoveOutcome::SmallDeleted:
        return "small-deleted";
    case TMoveOutcome::Skipped:
        return "skipped";
    case TMoveOutcome::InPlace:
        return "in-place";
    }
    return "?";
}

// Where a run was started: the history keeps it, and automatic runs leave alone the files
// an undo brought back.
enum class TRunOrigin {
    Window, // "Move files" clicked
    Auto, // the window's automatic sorting
    Menu, // the source list's menu
    Cli, // plumtide-cli sort
    Watch, // plumtide-cli watch
    Undo,
};

inline const char* OriginName(TRunOrigin origin)
{
    switch (origin) {
    case TRunOrigin::Window:
        return "window";
    case TRunOrigin::Auto:
        return "auto";
    case TRunOrigin::Menu:
        return "menu";
    case TRunOrigin::Cli:
        return "cli";
    case TRunOrigin::Watch:
        return "watch";
    case TRunOrigin::Undo:
        return "undo";
    }
    return "?";
}

// Whether runs of this origin start by themselves, with nobody watching what they pick up.
inline bool IsAutomatic(TRunOrigin origin)
{
    return origin == TRunOrigin::Auto || origin == TRunOrigin::Watch;
}

// Why a row's file stayed.
namespace skip
{
inline const QString AlreadyMoved = QStringLiteral("already moved by an earlier row");
inline const QString AlreadyHandled = QStringLiteral("already handled by an earlier row");
inline const QString Missing = QStringLiteral("no longer exists");
inline const QString InUse = QStringLiteral("in use");
inline const QString FolderMissing = QStringLiteral("folder missing");
inline const QString PathTooLong = QStringLiteral("path too long");
inline const QString CopyFailed = QStringLiteral("copy failed");
inline const QString NotDeleted = QStringLiteral("small file could not be deleted");
inline const QString DoubleNotDeleted = QStringLiteral("double could not be deleted");
inline const QString NoFreeName = QStringLiteral("no free name in the doubles folder");
inline const QString PermissionDenied = QStringLiteral("permission denied");
inline const QString NameRefused = QStringLiteral("name refused by the file system");
inline const QString NoSpace = QStringLiteral("no space");
inline const QString SymbolicLink = QStringLiteral("symbolic link");
} // namespace skip

// Why a deleted file is not in the Trash although the settings asked for it.
inline const QString NoTrash = QStringLiteral("no Trash on its file system: deleted for good");

} // namespace plumtide
