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
    QString reason; // why it stayed (Skipped)
};

using MoveReporter = std::function<void(const TMoveEvent&)>;

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

} // namespace plumtide
