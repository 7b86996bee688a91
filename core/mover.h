#pragma once

#include "core/pump.h"
#include "core/rows.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace plumtide
{

// What the move does with small files and doubles (from the working copy of the settings).
struct TMoveSettings {
    bool deleteSmallFiles = false;
    qint32 smallFileLimit = 512; // kilobytes of 1024 bytes
    bool moveDoubles = true; // takes precedence over deleteDoubles
    bool deleteDoubles = false;
    QString doublesFolder;
    bool dryRun = false; // decide everything, change nothing
    QStringList dryRunFolders; // folders a dry run treats as made (the new artists' folders)
};

enum class TMoveOutcome {
    Moved, // copied into its folder, source deleted
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
} // namespace skip

// Carries out the plan rows in order, one event per row:
// - a row whose file no longer exists is skipped (a later row of a file already moved);
// - with small-file deletion on, a file under the limit that nobody holds is deleted;
// - a file in use, or whose folder is gone, stays;
// - otherwise the file is copied into its folder and then deleted; the copy is complete and
//   on disk before the source goes, and a killed run leaves every file whole at its source
//   or its target;
// - a file whose name is taken in its folder is a double: set aside in the doubles folder,
//   deleted, or kept, as the settings say. The doubles folder never loses a file: when its
//   file of that name has the same contents the source is just deleted, otherwise the
//   double gets the first free name "name (2).mp3", "name (3).mp3", ...
// Copies are written a few at a time and committed together, so the disk can write them
// side by side; each event is reported once what it says is done on disk, in row order.
// The pump runs before each row; once it asks to stop, the remaining rows are not reported.
// An I/O error while copying (the doubles folder missing, a folder refusing writes) ends
// the move there and escapes as IOError. Returns false when the pump stopped it.
bool MovePlannedFiles(const std::vector<TPlanRow>& rows, const TMoveSettings& settings, Pump& pump,
    const MoveReporter& report);

// Sets one file aside in the doubles folder as described above, and deletes the source
// when it is safely there. Returns the path it is stored under, or an empty string when it
// was not copied (a precondition of the copy failed) and so stays where it is. Throws
// IOError like CopyFileByStream.
QString MoveToDoublesFolder(const QString& file, const QString& doublesFolder);

// Creates one folder per artist key directly below `destination`, skipping those that
// exist, in order; `onCreated` sees each folder made. A folder that cannot be created
// raises IOError there; the folders made before it stay.
void CreateArtistFolders(const QString& destination, const QStringList& keys,
    const std::function<void(const QString& folder)>& onCreated = {});

// "name (n).ext" for a file name: the number before the last dot, or at the end.
QString NumberedFileName(const QString& fileName, int number);

} // namespace plumtide
