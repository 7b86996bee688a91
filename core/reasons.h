#pragma once

#include <QString>
#include <QtGlobal>

namespace plumtide
{

// Why a file stayed where it was (a sort's skip, an undo's keep), or what a user should know
// of a deletion. Code decides on these values; ReasonText() is the only place their words are
// written, and records and the history keep those words.
enum class TReason : quint8 {
    None,
    // A later plan row of a file that an earlier row dealt with.
    AlreadyMoved,
    AlreadyHandled,
    // Left out before planning, or found so when carried out.
    Missing,
    InUse,
    StillBeingWritten,
    HeldByUndo,
    // The move of one file.
    FolderMissing,
    PathTooLong,
    CopyFailed,
    SmallNotDeleted,
    DoubleNotDeleted,
    NoFreeName,
    PermissionDenied,
    NameRefused,
    NoSpace,
    SymbolicLink,
    // A deletion that the settings wanted in the Trash: the file was kept, because no Trash
    // could take it.
    NotTrashedNoTrash,
    NotTrashedPermission,
    NotTrashedNoSpace,
    NotTrashedFailed,
    // What an undo found.
    Gone,
    Changed,
    PathTaken,
    DeletedForGood,
    NotInTrash,
    RelativePath,
    // A file the plan gave no folder: none for its artist (or no artist at all). Never an
    // event of a run; what a run tells of the files it left.
    NoArtistFolder,
    // Doubles are set aside in a folder the user chose, and it is not there.
    DoublesFolderMissing,
    // An undo leaves a folder it made when something has been put in it since.
    FolderNotEmpty,
    // A song stays because a file that travels with it (its lyrics, its cue sheet) is used
    // by another program: the two are never parted.
    CompanionInUse,
    // A file that travels with a song stays because its song stayed after all, or because
    // its name beside the song is taken.
    SongStayed,
    CompanionNameTaken,
    // Not a skip: a file moved under a numbered name, its own name in its folder holding a
    // different song.
    NameTaken,
};

// The words records and the window use for a reason ("in use", "no longer exists").
const QString& ReasonText(TReason reason);

// Why a listed file got no plan row: not filed, and not left out for a reason of its own.
enum class TUnfiledReason : quint8 {
    NoFolder, // no folder matched it (or its key is too short to be planned at all)
    Ambiguous, // careful matching found several folders of its artist, equally near the top
    OneOff, // careful matching found it one letter off folders: a suggestion, never a move
    // Words kept for rules to come; nothing gives these two yet.
    NoAlbumFolder,
    Compilation, // kept in the source by the user's choice
    // Careful matching read a file without an artist in its tag by its file name, and both
    // sides of it name artists with folders.
    NameAmbiguous,
    // The similar rule found no folder near enough, but one has the artist's folded key
    // ("QUEEN" and "Rock/Queen"): the same artist, never proposed as new. Filed there only
    // once the user says so.
    SameArtist,
};

// The word records give for an unfiled file ("no-folder", "ambiguous").
const QString& UnfiledReasonText(TUnfiledReason reason);

// Whether a file left unfiled for this reason is a file left in the source that the user
// must be told of (not one kept there by choice).
bool CountsAsLeft(TUnfiledReason reason);

// The reason a file or folder could not be placed, from the system's error.
TReason ReasonOfError(int errnoValue);

// The reason a file stayed because it could not be put in the Trash, from the system's
// error (EXDEV: no Trash on its file system, or none that a rename reaches from its mount).
TReason NotTrashedReason(int errnoValue);

} // namespace plumtide
