#pragma once

#include "core/pump.h"
#include "formats/audioformat.h"
#include "platform/paths.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <functional>

namespace plumtide
{

// Whether another process holds a file open; the scanners leave such files out.
using FileInUseTest = std::function<bool(const QString& path)>;

// Ends the `Details` line of a file left out because it is in use.
inline constexpr QLatin1String FileInUseSuffix(" File in use");
// Ends the `Details` line of an entry left out because its name is not valid UTF-8: such a
// name has no QString that leads back to the file, so every later step (reading its tag,
// moving it) would fail on it. The file is left where it is and reported instead, with its
// undecodable bytes shown as U+FFFD. A folder so named is neither listed nor walked.
inline constexpr QLatin1String UndecodableNameSuffix(" Name is not valid UTF-8");

// Full paths of every file below `folder`, at any depth, whose extension (from the last dot
// of its name, the dot included) equals `extension` without regard to case. Hidden files
// and hidden folders are included. Files that `isFileInUse` reports (it must be set) are
// left out and reported in `details` as the path followed by FileInUseSuffix; every listed
// file is added to `details` as it is found, which is cleared first.
//
// The walk is breadth-first; each real folder is walked once. Symbolic links below `folder`
// (to files or to folders) are left out: what they lead to lies outside the folder, and
// must not be moved out of wherever it is. Folders that cannot be read contribute nothing.
// Before each folder and each entry the pump runs; once it asks to stop, the files found
// so far are returned. The result is sorted with SortPaths.
QStringList GetFileList(const QString& folder, const QString& extension, Pump& pump,
    DetailsSink& details, const FileInUseTest& isFileInUse);
// The same with the real in-use test, IsFileInUse.
QStringList GetFileList(
    const QString& folder, const QString& extension, Pump& pump, DetailsSink& details);
// The same for the files whose extension is one of `formats`. With `companions`, the files
// named as a song's companions (see companions.h) are gathered there too, sorted, and not
// told in `details`.
QStringList GetFileList(const QString& folder, const TFileFormats& formats, Pump& pump,
    DetailsSink& details, const FileInUseTest& isFileInUse, QStringList* companions = nullptr);

// `folder` itself, first, then the full paths of every folder below it at any depth,
// hidden folders (name starting with '.') and everything below them left out. A symbolic
// link to a folder is followed (an artist folder linked in from another disk keeps
// receiving files), but each real folder is walked once, so link loops end: a folder that
// has a path inside the tree without links is walked under that path, one reached only
// through links under the first link met (shallowest, then by name). The walk, unreadable
// folders and the pump as for GetFileList; each real folder is listed
// once, under the path it is walked by. `details` is cleared and only gets lines for
// names that cannot be decoded. The folders after the first are sorted with SortPaths.
QStringList GetDirList(const QString& folder, Pump& pump, DetailsSink& details);

// Sorts without regard to case in the collation of the user's locale. Names that differ
// only in case (two files on Linux) are ordered by their exact text, so the order is
// always the same.
void SortPaths(QStringList& paths);

} // namespace plumtide
