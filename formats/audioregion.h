#pragma once

#include "formats/audioformat.h"
#include "platform/descriptor.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace plumtide
{

// The bytes of a music file that hold its audio, without its tags: two files hold the same
// song when their regions hold the same bytes, whatever their tags say.
struct TAudioRegion {
    qint64 offset = 0;
    qint64 length = 0;
    // FLAC: STREAMINFO's MD5 of the decoded audio (16 bytes), empty when absent or all zero.
    QByteArray flacMd5 {};
};

// The region of `file` (a descriptor of a regular file `size` bytes long, read with pread
// only, its offset left alone); nullopt when the file is not of the format as far as the
// region needs (then callers compare the whole files).
//   mp3   what lies between the ID3v2 tags at the start (one or more) and the tags at the
//         end (ID3v1, APEv2, Lyrics3 v1 and v2, an appended ID3v2 tag with a footer, in any
//         order and number);
//   FLAC  what follows the metadata blocks (and an ID3v2 tag before the stream), up to an
//         ID3v1 block at the end;
//   MP4   the contents of the top-level mdat atom (none when there are several);
//   Ogg   the whole file, whose tags lie among the audio's pages.
// A tag at the end whose sizes do not hold stays in the region. A region of no bytes (a file
// of tags alone), a tag at the start that claims more than the file holds and a file that
// cannot be read give nullopt: only the whole-file compare can tell such files apart, and it
// reports a read failure with the file's name.
std::optional<TAudioRegion> AudioRegionOf(
    TAudioFormat format, const FileDescriptor& file, qint64 size);

} // namespace plumtide
