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
};

// One row of the sort plan: a file and a folder whose name scores at least the compare
// percentage against the file's artist key.
struct TPlanRow {
    QString file; // full path of the source file
    double score; // ArtistSimilarity(key, relative folder name)
    QString folder; // full path of the destination folder
};

} // namespace plumtide
