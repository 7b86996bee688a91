#pragma once

// Names in folders: renaming, removing and making entries. Functions that return an int
// return 0 or the system's error number; the others throw IOError.

#include "platform/descriptor.h"
#include "platform/filestatus.h"

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

// A folder held open: names in it are reached through the folder itself, whatever becomes of
// its path meanwhile (renamed away, or replaced by another folder), so that what was begun in
// it can be finished, flushed and cleaned up there.
class TOpenFolder
{
public:
    // Opens the folder at `path`, symbolic links followed. Throws IOError: ENOENT when
    // nothing is there, ENOTDIR when it is not a folder.
    static TOpenFolder Open(const QString& path);

    bool isOpen() const { return m_folder.isOpen(); }
    int descriptor() const { return m_folder.get(); }
    // The path it was opened by.
    const QString& path() const { return m_path; }
    // The folder as it was opened (its device and inode identify it).
    const TFileStatus& status() const { return m_status; }
    // Whether its path still leads to it.
    bool atItsPath() const;
    // Flushes its entries (names made, renamed or removed in it) to disk.
    int sync() const;
    // Whether this process may make, rename and remove names in it (0), or why not.
    int mayChange() const;

    // The entry `name`, a symbolic link not followed (a link is Other); Missing when none.
    TFileStatus entry(const QString& name) const;
    // Removes the file `name`.
    int remove(const QString& name) const;
    // Creates the file `name` (`mode` less the umask), open for writing, never over anything
    // nor through a link. Throws IOError, EEXIST when the name is taken.
    FileDescriptor create(const QString& name, unsigned mode) const;
    // The file `name` opened to look at it: for reading, never through a link, never waiting
    // (where another process holds a lease on it the open fails at once, and that process is
    // told); not open when it cannot be.
    FileDescriptor look(const QString& name) const;
    // The names of its entries ("." and ".." left out); empty when it cannot be read.
    QStringList names() const;

private:
    FileDescriptor m_folder;
    QString m_path;
    TFileStatus m_status;
};

// Renames `fromName` in `from` to `toName` in `to` unless something has that name: then
// EEXIST and nothing changed.
int RenameNoReplace(
    const TOpenFolder& from, const QString& fromName, const TOpenFolder& to, const QString& toName);

} // namespace plumtide
