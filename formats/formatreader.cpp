#include "formats/formatreader.h"

#include "formats/descriptorstream.h"
#include "id3/id3frames.h"

#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <string_view>

namespace plumtide
{

namespace
{

QString toQString(const TagLib::String& text)
{
    return TrimBlanksAndControls(
        QString::fromWCharArray(text.toCWString(), static_cast<qsizetype>(text.size())));
}

// The first value that is not empty once trimmed, as the tag engine takes the first of the
// values an ID3v2.4 text frame may hold.
QString firstValue(const TagLib::StringList& values)
{
    for (const TagLib::String& value : values) {
        QString text = toQString(value);
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

QString xiphValue(const TagLib::Ogg::XiphComment* comment, const char* field)
{
    if (!comment)
        return QString();
    const TagLib::Ogg::FieldListMap& fields = comment->fieldListMap();
    const auto found = fields.find(field);
    return found == fields.end() ? QString() : firstValue(found->second);
}

QString id3v2Value(const TagLib::ID3v2::Tag* tag, const char* frameID)
{
    if (!tag)
        return QString();
    for (const TagLib::ID3v2::Frame* frame : tag->frameList(frameID)) {
        if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
            QString value = firstValue(text->fieldList());
            if (!value.isEmpty())
                return value;
        }
    }
    return QString();
}

QString mp4Value(const TagLib::MP4::Tag* tag, const char* atom)
{
    return tag && tag->contains(atom) ? firstValue(tag->item(atom).toStringList()) : QString();
}

// What TagLib made of a file: its texts, and whether it took the file for one of its format.
struct TTexts {
    QString artist;
    QString title;
    bool valid = false;
};

TTexts readFlac(TagLib::IOStream& stream)
{
    TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    TTexts texts { xiphValue(file.xiphComment(), "ARTIST"), xiphValue(file.xiphComment(), "TITLE"),
        file.isValid() };
    if (texts.artist.isEmpty())
        texts.artist = id3v2Value(file.ID3v2Tag(), "TPE1");
    if (texts.title.isEmpty())
        texts.title = id3v2Value(file.ID3v2Tag(), "TIT2");
    if (const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag()) {
        if (texts.artist.isEmpty())
            texts.artist = toQString(v1->artist());
        if (texts.title.isEmpty())
            texts.title = toQString(v1->title());
    }
    return texts;
}

template <typename OggFile> TTexts readOgg(TagLib::IOStream& stream)
{
    OggFile file(&stream, false);
    const TagLib::Ogg::XiphComment* comment = file.tag();
    return { xiphValue(comment, "ARTIST"), xiphValue(comment, "TITLE"), file.isValid() };
}

TTexts readMp4(TagLib::IOStream& stream)
{
    TagLib::MP4::File file(&stream, false);
    return { mp4Value(file.tag(), "\251ART"), mp4Value(file.tag(), "\251nam"), file.isValid() };
}

bool startsWith(const TagLib::ByteVector& bytes, qsizetype at, std::string_view prefix)
{
    return bytes.size() >= at + prefix.size()
        && std::string_view(bytes.data() + at, prefix.size()) == prefix;
}

using TReader = TTexts (*)(TagLib::IOStream& stream);

// Which reader the file's first bytes call for; null when they are not of `format` at all.
// Looking first spares TagLib's search for a FLAC stream through every byte of a large file
// that has none.
TReader readerFor(TAudioFormat format, TagLib::IOStream& stream)
{
    // An Ogg page header is 27 bytes and up to 255 segment sizes; the first packet, which
    // names the codec, starts right after them.
    const TagLib::ByteVector head = stream.readBlock(27 + 255 + 8);
    stream.seek(0);
    switch (format) {
    case TAudioFormat::Flac:
        return startsWith(head, 0, "fLaC") || startsWith(head, 0, "ID3") ? readFlac : nullptr;
    case TAudioFormat::Mp4: {
        // The first atom of an MP4 file (ISO/IEC 14496-12): mostly ftyp, in older files one
        // of the others.
        for (const char* atom : { "ftyp", "moov", "mdat", "free", "skip", "wide" }) {
            if (startsWith(head, 4, atom))
                return readMp4;
        }
        return nullptr;
    }
    case TAudioFormat::Ogg: {
        if (!startsWith(head, 0, "OggS") || head.size() < 27)
            return nullptr;
        const qsizetype packet = 27 + static_cast<unsigned char>(head[26]);
        if (startsWith(head, packet, "\x01vorbis"))
            return readOgg<TagLib::Ogg::Vorbis::File>;
        if (startsWith(head, packet, "OpusHead"))
            return readOgg<TagLib::Ogg::Opus::File>;
        if (startsWith(head, packet, "\177FLAC"))
            return readOgg<TagLib::Ogg::FLAC::File>;
        if (startsWith(head, packet, "Speex   "))
            return readOgg<TagLib::Ogg::Speex::File>;
        return nullptr;
    }
    case TAudioFormat::Mp3:
    case TAudioFormat::None:
        break;
    }
    return nullptr;
}

} // namespace

TArtistTitle ReadArtistAndTitle(
    TAudioFormat format, FileDescriptor file, qint64 size, const QString& path)
{
    if (format == TAudioFormat::Mp3)
        return ReadArtistAndTitle(std::move(file), size, path);
    TArtistTitle result;
    TDescriptorStream stream(std::move(file), size, path);
    const TReader reader = readerFor(format, stream);
    TTexts texts;
    if (reader)
        texts = reader(stream);
    if (!stream.error().isEmpty()) {
        result.Status = TID3ReadStatus::OpenFailed;
        result.Error = stream.error();
        return result;
    }
    if (!reader) {
        result.Status = TID3ReadStatus::Unrecognised;
        result.Error = format == TAudioFormat::None
            ? QStringLiteral("%1: not a music file").arg(path)
            : QStringLiteral("%1: not a %2 file").arg(path, AudioFormatText(format));
        return result;
    }
    if (!texts.valid) {
        result.Status = TID3ReadStatus::TagDamaged;
        result.Error = QStringLiteral("%1: damaged %2 file").arg(path, AudioFormatText(format));
    }
    result.Artist = texts.artist;
    result.Title = texts.title;
    return result;
}

} // namespace plumtide
