#pragma once

#include <QByteArray>
#include <QString>

namespace plumtide
{

// Replaces (or creates) `path` with `contents` so that, whatever happens at any moment,
// the file holds either its old contents or the new ones, whole: the bytes go to a new
// file in the same folder, are flushed to disk, and the new file is renamed over the old
// one; the folder entry is flushed too. A new file gets `newFileMode`; an existing file
// keeps its permissions. Throws IOError when it cannot.
void WriteFileAtomically(
    const QString& path, const QByteArray& contents, unsigned newFileMode = 0644);

// Flushes a folder's entries (a rename or a new file in it) to disk. Returns 0 or the
// system's error number.
int SyncFolder(const QString& folder);

} // namespace plumtide
