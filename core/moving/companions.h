#pragma once

#include "formats/audioformat.h"

#include <QString>
#include <QStringList>

namespace plumtide
{

// Files that belong to a song and travel with it: lyrics, cue sheets and notes beside it,
// named as the song is but for the extension ("Song.mp3" and "Song.lrc"). They are never
// songs themselves: a run never lists or plans them, it takes them along with their song.

// The paths a song's companions would have, whether they exist or not: each extension in
// lower case, and in upper case for a song whose extension is upper case (a name made on a
// system that writes them so).
QStringList CompanionCandidates(const QString& song);

// Whether `path` names a companion by its extension, whatever its song.
bool IsCompanionName(const QString& path);

// Where a companion goes when its song goes to `songTarget`: beside it, under the name the
// song got there (a numbered double's companions take the same number).
QString CompanionTarget(const QString& companion, const QString& songTarget);

// Whether `companion` is a companion of `song` by name: the same folder and base name.
bool IsCompanionOf(const QString& companion, const QString& song);

// What the paths of a companion's songs begin with ("Music/Song." for "Music/Song.lrc"), and
// of a song's companions.
QString CompanionStem(const QString& path);

// The companions of `companions` that none of `songs` has: left without their song.
QStringList StrayCompanions(const QStringList& companions, const QStringList& songs);

// Whether a file of `formats` lies beside `companion` under its name: its song is there.
bool HasSongBeside(const QString& companion, const TFileFormats& formats);

} // namespace plumtide
