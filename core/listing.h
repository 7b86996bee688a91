#pragma once

#include "core/pump.h"
#include "core/rows.h"

#include <functional>
#include <optional>
#include <vector>

namespace plumtide
{

// The two lists a refresh builds from the disk, row by row, with the progress lines of the
// `Details` box ("Folders: i/n", "Files: i/n"; each replaces the one before) and the pump
// run before each row. Once the pump asks to stop, the rows so far are kept. A folder that
// does not exist gives no rows. `onRow`, when set, sees each row as it is added (the
// window shows them while the scan runs).

// Every folder below `destination` (the folder itself excluded), with its relative name.
std::vector<TFolderRow> ListDestinationFolders(const QString& destination, Pump& pump,
    DetailsSink& details, const std::function<void(const TFolderRow&)>& onRow = {});

// Every mp3 file below `source`, with its artist key and title. Files in use are left out
// and reported in `details`.
std::vector<TSourceRow> ListSourceFiles(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(const TSourceRow&)>& onRow = {});

// The same rows handed to `onRow` one by one and not kept; returns how many.
qsizetype ForEachSourceFile(const QString& source, Pump& pump, DetailsSink& details,
    const std::function<void(TSourceRow&&)>& onRow);

// One file's row: the artist key from its tag's artist, or from its file name when the tag
// has none; the title as the tag has it. A file whose tag cannot be read at all still gets
// a row, keyed by its file name, with an empty title.
TSourceRow ReadSourceRow(const QString& path);

// The row as ListSourceFiles reads it: the file opened once, for the in-use test and for
// its tag. Nothing when another process has the file open or locked, or it cannot be
// opened.
std::optional<TSourceRow> ReadUnusedSourceRow(const QString& path);

// The extension of the files a refresh lists.
inline const QString kMp3Extension = QStringLiteral(".mp3");

} // namespace plumtide
