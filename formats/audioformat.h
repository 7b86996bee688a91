#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace plumtide
{

// The kinds of music file Plumtide reads artist and title from, each with its reader.
enum class TAudioFormat {
    None, // not a music file Plumtide reads
    Mp3, // ID3v2 or ID3v1, through the tag engine
    Flac, // FLAC's Vorbis comment block, or an ID3v2 or ID3v1 tag on the file
    Ogg, // Vorbis comments in an Ogg stream of Vorbis, Opus, FLAC or Speex
    Mp4, // the iTunes-style atoms of an MP4 file
};

// The extensions, without the dot, that name music files: mp3, flac, ogg, oga, opus, m4a.
const QStringList& AudioExtensions();

// The format an extension (without the dot, any case) names; None for any other.
TAudioFormat AudioFormatOfExtension(QStringView extension);

// The format a file's name names by its extension (from the last dot of the name).
TAudioFormat AudioFormatOfFile(QStringView path);

// The format's name in messages ("FLAC").
QString AudioFormatText(TAudioFormat format);

} // namespace plumtide
