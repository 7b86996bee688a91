#pragma once

#include <QString>

namespace plumtide
{

// One row of the destination list: a folder below the destination folder.
struct TFolderRow {
    QString path; // full path
    QString relativeName; // the path below the destination folder ("Pop/Madonna")
};

// One row of the source list: an mp3 file with the artist key and title of its tag.
struct TSourceRow {
    QString path; // full path
    QString key; // artist key, from the tag's artist or else from the file name
    QString title;
    QString artist {}; // the tag's artist as it stands; empty when it has none
};

// How a plan row's folder was chosen.
enum class TMatchKind : quint8 {
    Similar, // its name scores at least the compare percentage against the artist key
    Same, // careful: the folded artist equals the folder's key
    OneOff, // careful: one letter off a long folder key, and no other folder qualifies
    Assigned, // the user assigned this artist to the folder
    FromName, // careful: a file without an artist in its tag, by one side of its file name
};

// How artists are matched with folders.
enum class TMatching {
    Similar, // every folder whose name scores at least the compare percentage
    Careful, // the same artist's folder, or none
};

// One row of the sort plan: a file and a folder whose name scores at least the compare
// percentage against the file's artist key, or that careful matching or an assignment chose.
struct TPlanRow {
    QString file; // full path of the source file
    double score; // ArtistSimilarity(key, relative folder name)
    QString folder; // full path of the destination folder
    TMatchKind match = TMatchKind::Similar;
};

} // namespace plumtide
