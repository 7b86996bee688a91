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

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

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
    // Why the file is damaged, where that is known.
    QString damage {};
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

// TagLib builds an MP4 file's tree of atoms by recursion, a stack frame and an object per
// atom: a file of a few hundred kilobytes whose atoms nest tens of thousands deep overflows
// the stack and ends the program. No real file nests atoms more than a dozen deep or holds
// anywhere near this many.
constexpr std::size_t kMaxAtomDepth = 32;
constexpr long kMaxAtoms = 100000;

bool isAtomName(const TagLib::ByteVector& name)
{
    for (const char c : name) {
        if ((c < ' ' || c > '~') && c != '\251')
            return false;
    }
    return true;
}

// Why TagLib must not be given an MP4 file; empty when it may. Walks the atoms as TagLib
// will, into the same containers and as far as TagLib goes, with a stack of its own.
QString mp4AtomsDamage(TagLib::IOStream& stream)
{
    // The atoms TagLib descends into; meta may carry 4 bytes of version and flags before its
    // children, stsd carries 8.
    static const std::array<const char*, 11> containers { "moov", "udta", "mdia", "meta", "ilst",
        "stbl", "minf", "moof", "traf", "trak", "stsd" };
    static const std::array<const char*, 5> metaChildren { "hdlr", "ilst", "mhdr", "ctry", "lang" };
    const long size = stream.length();
    std::vector<long> ends; // where each container the walk is in ends
    long position = 0;
    long atoms = 0;
    for (;;) {
        if (ends.empty() ? position + 8 > size : position >= ends.back()) {
            if (ends.empty())
                break;
            ends.pop_back();
            continue;
        }
        stream.seek(position);
        const TagLib::ByteVector header = stream.readBlock(8);
        if (header.size() != 8)
            break;
        long long length = header.toUInt();
        long body = position + 8;
        if (length == 0) {
            length = size - position;
        } else if (length == 1) {
            length = stream.readBlock(8).toLongLong();
            body += 8;
        }
        const TagLib::ByteVector name = header.mid(4, 4);
        // TagLib stops reading at an atom it cannot make sense of.
        if (length < 8 || length > size - position || !isAtomName(name))
            break;
        if (++atoms > kMaxAtoms)
            return QStringLiteral("more than %1 atoms").arg(kMaxAtoms);
        const auto named = [&](const char* atom) { return name == atom; };
        if (std::none_of(containers.begin(), containers.end(), named)) {
            position += static_cast<long>(length);
            continue;
        }
        if (ends.size() == kMaxAtomDepth)
            return QStringLiteral("atoms nested more than %1 deep").arg(kMaxAtomDepth);
        if (name == "meta") {
            stream.seek(body);
            const TagLib::ByteVector next = stream.readBlock(8).mid(4, 4);
            if (std::none_of(metaChildren.begin(), metaChildren.end(),
                    [&](const char* child) { return next == child; }))
                body += 4;
        } else if (name == "stsd") {
            body += 8;
        }
        ends.push_back(position + static_cast<long>(length));
        position = body;
    }
    stream.seek(0);
    return QString();
}

TTexts readMp4(TagLib::IOStream& stream)
{
    if (QString damage = mp4AtomsDamage(stream); !damage.isEmpty())
        return { {}, {}, false, damage };
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
        if (!texts.damage.isEmpty())
            result.Error += QStringLiteral(": ") + texts.damage;
    }
    result.Artist = texts.artist;
    result.Title = texts.title;
    return result;
}

} // namespace plumtide
