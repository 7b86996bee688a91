#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace plumtide
{

class TOpenFolder;

// Moves files so that whatever happens at any moment (a kill, a crash, a folder renamed away)
// each is whole at its source or at its target, never in both places, never over another
// file:
// - within one file system by a rename (renameat2 with RENAME_NOREPLACE, or a hard link and
//   an unlink where the file system lacks the flag), which keeps the file's bytes,
//   permissions, times and owner and needs no free space;
// - across file systems by a copy, written under a temporary name
//   (".plumtide-<pid>-<n>.part") in the target's folder, readable by its owner only until it
//   is whole, given the source's permission bits, times and (where allowed) owner, flushed,
//   and renamed into place; only then is the source deleted (first set aside under
//   ".plumtide-<pid>-<n>.gone", so that a program that had just found it and opens it shows).
//
// Moves are added one at a time and made together by commit(), a group: the renames and the
// copies' renames into place, then every folder whose entries changed flushed once, then the
// copies' sources deleted. Nothing is renamed before commit(), so that the caller can first
// write down what it is about to do.
//
// Each source is opened once, when it is added (never through a symbolic link), and that
// open is the test whether another program uses it: a file another process has open or
// locked is not moved. It stays open and watched (a lease, see TWatchedFile) until its move
// is made; a file opened or changed meanwhile stays where it is. Another name of a file the
// group holds (a hard link) is not opened until the group is made: that open would break
// the group's own lease and leave both names looking used by another program.
//
// Folders are held open while their moves are under way and reached through those
// descriptors: a folder renamed away meanwhile is still flushed and cleaned up, the moves into
// it are taken back (their files stay at their sources) and no temporary file is left in it.
// The first time an object touches a folder it removes what killed runs left there (see
// RemoveStalePartialFiles): one object serves one run.
class TDurableMove
{
public:
    enum class TAdded {
        Added, // waits for commit()
        TargetExists, // something has the target name, or a move of the group takes it
        SourceInUse, // another process has the source open or locked
        SourceWaiting, // a move of the group holds the very file under another name (a hard
                       // link): commit() the group first, then add it again
        NotMoved, // a path too long, or no regular file at the source
    };
    struct TAdd {
        TAdded added = TAdded::NotMoved;
        qint64 size = -1; // the file's, as it was opened
        qint64 modified = 0; // its modification time, nanoseconds since the epoch
    };

    // What commit() made of a move. Every result but Moved leaves the file at its source.
    enum class TDone {
        Moved, // at its target and on disk, and gone from its source unless that stays
        TargetTaken, // another program took the target name meanwhile
        SourceInUse, // opened or changed meanwhile
        FolderGone, // the target's folder was renamed away or removed meanwhile
        Failed, // the system's error says why
        LeaderStayed, // added with addFollower(), and the move it follows was not made
    };
    struct TResult {
        TDone done = TDone::Moved;
        int error = 0; // Failed: the system's error number
    };

    TDurableMove();
    // Moves not committed are dropped: their copies removed, their sources left as they are.
    ~TDurableMove();
    TDurableMove(const TDurableMove&) = delete;
    TDurableMove& operator=(const TDurableMove&) = delete;

    // Adds the move of `source` to `target`; nothing else is done when the result is not
    // Added. `keepSource`: a copy whose source stays, also within one file system. Throws
    // IOError when the source cannot be opened or read (ELOOP for a symbolic link), a folder
    // is missing (ENOENT), or the copy cannot be written (a full disk, a folder it may not
    // write).
    TAdd add(const QString& source, const QString& target, bool keepSource = false);
    // Adds a move that is made only when the last move added with add() is made: a file that
    // travels with that one (a song's lyrics) never arrives without it. Otherwise as add();
    // commit() gives such a move that stays TDone::LeaderStayed.
    TAdd addFollower(const QString& source, const QString& target);
    // A folder whose entries changed by other means (a folder made in it): it is flushed at
    // the next commit with the others. Throws IOError when it cannot be opened.
    void changed(const QString& folder);

    // Whether anything waits for commit(): moves, or folders to flush.
    bool waiting() const;
    // Whether a move of the group is to put a file at `path`: a move from there waits until
    // the group is made.
    bool waitingFor(const QString& path) const;
    // Whether the group is as large as a group gets (open files, copies, copied bytes): commit
    // it before adding more.
    bool full() const;

    // Makes the moves added since the last commit; what became of each, in the order added.
    std::vector<TResult> commit();
    // Drops the moves added since the last commit, as the destructor does.
    void drop();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// A new name for a copy in progress (`kind` "part") or a file set aside before it is deleted
// ("gone"), unique in this process.
QString PartialFileName(const char* kind);
// Whether a file name is that of a copy in progress (".plumtide-<process id>-<n>.part") or
// of a moved source about to be deleted (".plumtide-<process id>-<n>.gone").
bool IsPartialFileName(const QString& name);

// Removes what the moves of dead processes left in the folder: unfinished copies, and sources
// set aside (whose copies were already on disk at their targets). A leftover is dead when no
// open file holds it: a live move holds a lock on it (and, where the kernel gives one, a lease)
// for as long as it has the name, whatever process namespace it runs in. Never judged by the
// process number in its name, which another namespace or a later boot gives to another
// process. Returns how many it removed.
int RemoveStalePartialFiles(const TOpenFolder& folder);
int RemoveStalePartialFiles(const QString& folder);

} // namespace plumtide
