#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

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

// The extensions a run files (the `Formats` setting, --formats): any of AudioExtensions(),
// mp3 alone unless the user asks for more, so that nobody who files mp3 files finds other
// files moved.
class TFileFormats
{
public:
    // mp3 alone.
    TFileFormats() = default;
    // Every extension of AudioExtensions().
    static TFileFormats All();
    // A comma-separated list of extensions (any case, spaces around each allowed, each at
    // most once counted); nothing when it is empty or a word names no extension of
    // AudioExtensions().
    static std::optional<TFileFormats> FromText(QStringView text);
    // The list as it is stored: the extensions in the order of AudioExtensions(), with ",".
    QString text() const;

    // Whether a file's name (from the last dot of its name, any case) names one of them.
    bool namesFile(QStringView path) const;
    // Whether the set holds more than mp3 alone.
    bool beyondMp3() const;

    friend bool operator==(const TFileFormats&, const TFileFormats&) = default;

private:
    explicit TFileFormats(quint8 bits)
        : m_bits(bits)
    {
    }
    // One bit per entry of AudioExtensions(); bit 0 is mp3.
    quint8 m_bits = 1;
};

} // namespace plumtide
