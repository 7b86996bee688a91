#pragma once

#include "core/planning/leaveout.h"
#include "core/pump.h"
#include "core/rows.h"
#include "formats/audioformat.h"

#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace plumtide
{

// The two lists a refresh builds from the disk, row by row, with the progress lines of the
// `Details` box ("Folders: i/n", "Files: i/n"; each replaces the one before) and the pump
// run before each row. Once the pump asks to stop, the rows so far are kept. A folder that
// does not exist gives no rows. `onRow`, when set, sees each row as it is added (the
// window shows them while the scan runs).

// Every folder below `destination` (the folder itself excluded), with its relative name; but
// `leftAlone` and every folder in it (the doubles folder).
std::vector<TFolderRow> ListDestinationFolders(const QString& destination, Pump& pump,
    DetailsSink& details, const std::function<void(const TFolderRow&)>& onRow = {},
    const QString& leftAlone = {});

// Every music file of `formats` below `source`, with its artist key and title. Files that
// `leaveOut` leaves out (another program has them open, they cannot be read, or the policy
// says so) are handed to `onLeftOut` instead, and those in use reported in `details`.
std::vector<TSourceRow> ListSourceFiles(const QString& source, Pump& pump, DetailsSink& details,
    const TLeaveOutPolicy& leaveOut = {},
    const std::function<void(const TLeftOut&)>& onLeftOut = {}, const TFileFormats& formats = {});

// The same rows handed to `onRow` one by one and not kept; returns how many. With `files`,
// those files (sorted, the ones still there) instead of every music file below `source`.
// With `strays`, the companions (see companions.h) below `source`, or among `files`, that
// have no song beside them are put there; a companion is never a row.
qsizetype ForEachSourceFile(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(TSourceRow&&)>& onRow, const TLeaveOutPolicy& leaveOut = {},
    const std::function<void(const TLeftOut&)>& onLeftOut = {},
    const std::optional<QStringList>& files = std::nullopt, const TFileFormats& formats = {},
    QStringList* strays = nullptr);

// One file's row: the artist key from its tag's artist, or from its file name when the tag
// has none; the title as the tag has it. A file whose tag cannot be read at all still gets
// a row, keyed by its file name, with an empty title. (mp3 files only: the other formats
// are read through the descriptor ReadUnusedSourceRow opened.)
TSourceRow ReadSourceRow(const QString& path);

// The row as ListSourceFiles reads it: the file opened once, for the in-use test, the
// leave-out policy and its tags (read by the reader of its format, see formatreader.h).
// Or why it is left out: InUse when another process has it open or locked, the reason of
// the error when it cannot be opened, or the policy's reason.
std::variant<TSourceRow, TReason> ReadUnusedSourceRow(
    const QString& path, const TLeaveOutPolicy& leaveOut = {}, qint64 now = 0);

} // namespace plumtide
