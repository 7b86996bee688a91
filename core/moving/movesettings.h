#pragma once

#include <QString>
#include <QtGlobal>

namespace plumtide
{

// What happens to a double: a file whose artist folder already holds the same song under its
// name (or, with doublesByAudio, under any name). A different song of the same name is no
// double: it is filed under a numbered name.
enum class TDoubles {
    SetAside, // into the doubles folder
    Delete,
    Keep, // left in the source folder
};

// What a move does with small files and doubles (from the working copy of the settings),
// and the folders of the run.
struct TMoveSettings {
    bool deleteSmallFiles = false;
    qint32 smallFileLimit = 512; // kilobytes of 1024 bytes
    TDoubles doubles = TDoubles::SetAside;
    QString doublesFolder;
    // The doubles folder is the default one, made by the first double set aside. A folder
    // the user chose is never made: while it is missing its doubles stay where they are.
    bool makeDoublesFolder = false;
    // Small files and doubles that are deleted, and files deleted by hand, go to the
    // desktop's Trash instead, where their file system has one.
    bool useTrash = false;
    // Lyrics, cue sheets and notes named as a song travel with it (see companions.h).
    bool moveCompanions = true;
    // A file whose song its artist folder holds under another name is a double too.
    bool doublesByAudio = false;
    // A sub-folder of the source that the run emptied of everything, quiet for the settle
    // time before the run, is removed (see TMoveRun).
    bool removeEmptiedFolders = false;
    // The folders the plan was made for. When one of them is gone (an unplugged disk), the
    // run stops instead of skipping every file that is left; empty: not checked.
    QString sourceFolder;
    QString destinationFolder;
};

} // namespace plumtide
