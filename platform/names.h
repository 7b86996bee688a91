#pragma once

// Names in folders: renaming, removing and making entries. Functions that return an int
// return 0 or the system's error number; the others throw IOError.

#include <QString>
#include <QStringList>

namespace plumtide
{

// Deletes a file (not a folder). Returns 0 or the system's error number.
int RemoveFile(const QString& path);

// Renames `from` to `to` unless something exists at `to`: then EEXIST and nothing changed.
// Returns 0 or the system's error number.
int RenameNoReplace(const QString& from, const QString& to);

// Creates one folder (its parent must exist). Throws IOError, EEXIST included.
void CreateFolder(const QString& path);

// The names of the entries of a folder (not "." and ".."), as decoded file names; empty when
// the folder cannot be read.
QStringList EntryNames(const QString& folder);

// Removes a folder that is empty. Returns 0 or the system's error number (ENOTEMPTY when it
// holds anything).
int RemoveEmptyFolder(const QString& path);

// Creates a folder and the folders above it that are missing. Throws IOError.
void CreateFolders(const QString& path);

} // namespace plumtide
