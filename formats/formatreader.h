#pragma once

#include "formats/audioformat.h"
#include "id3/id3engine.h"
#include "platform/descriptor.h"

#include <QString>

namespace plumtide
{

// The per-file read of a folder listing for every music format: artist and title of a
// regular file the caller has opened and examined (`size` bytes), which the read takes over
// and closes; it never opens the file again by name. `path` is only used in messages.
//
// mp3 goes to the tag engine (see ReadArtistAndTitle in id3engine.h). The other formats are
// read through TagLib, tags only (no audio properties), with the first non-empty value of
// each field, trimmed as ID3 texts are:
//   FLAC  ARTIST and TITLE of the Vorbis comment block, else TPE1 and TIT2 of an ID3v2 tag
//         before the stream, else the ID3v1 block;
//   Ogg   ARTIST and TITLE of the Vorbis comments of a Vorbis, Opus, FLAC or Speex stream,
//         whichever the first packet announces (so an Opus stream named .ogg reads too);
//   MP4   the atoms ©ART and ©nam.
// Status: Read (texts may be empty: no tag); Unrecognised when the contents are not of the
// format at all (a renamed or garbage file); TagDamaged when they start as the format but
// TagLib cannot make sense of the rest (cut short, corrupt), with whatever texts it read,
// and when an MP4 file's atoms nest deeper or number more than any real file's (TagLib's
// recursive parser would run out of stack: such a file is never handed to it);
// OpenFailed when the file cannot be read. Error says why. Never throws for what the file
// holds.
TArtistTitle ReadArtistAndTitle(
    TAudioFormat format, FileDescriptor file, qint64 size, const QString& path);

} // namespace plumtide
