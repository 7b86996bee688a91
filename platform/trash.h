#pragma once

#include "platform/filestatus.h"

#include <QString>

#include <optional>

namespace plumtide
{

// The desktop's Trash, as the freedesktop.org Trash specification lays it out: a folder
// with files/ (the trashed files) and info/ (one NAME.trashinfo per file, with its original
// path and the deletion date), where file managers show them and can put them back.
//
// A file goes to the Trash of its own file system, so that it is renamed, never copied:
// the home Trash (${XDG_DATA_HOME:-~/.local/share}/Trash) for files on the file system of
// the user's data folder, else $topdir/.Trash/$uid (when the administrator made a shared,
// sticky $topdir/.Trash) or $topdir/.Trash-$uid, $topdir being where that file system is
// mounted. Those folders are made when missing; one that another user owns is never used,
// nor one that is a link, except the home Trash itself, which is followed (to the file
// system it leads to).

// Where a file went in the Trash.
struct TTrashedFile {
    QString file; // in files/
    QString info; // in info/
};

// Moves the file at `path` into the Trash. Its info file is written and flushed first, then
// the file is renamed in under the same name (never over another file: a taken name gets
// "name (2)", ...), and both folders are flushed; `place` then says where. Returns 0, or the
// error when it cannot, the file staying where it was: EXDEV when its file system has no
// Trash it may use (a read-only one, a folder it may not create) or the rename cannot reach
// it (the file seen through a second mount of its file system, a bind mount), else the error
// of the rename.
int MoveToTrash(const QString& path, TTrashedFile& place);

// Puts a trashed file back at `original` unless something has that name (EEXIST), then
// removes its info file. Both folders are flushed. Returns 0 or the error.
int RestoreFromTrash(const QString& trashedFile, const QString& original);

// The info file that belongs to a file in a Trash's files/ folder.
QString TrashInfoOf(const QString& trashedFile);

// Whether `folder` is the files/ folder of a Trash (a home Trash, $topdir/.Trash/$uid or
// $topdir/.Trash-$uid, with its info/ folder beside).
bool IsTrashFilesFolder(const QString& folder);

} // namespace plumtide
