#include "id3/id3engine.h"

#include "id3/id3error.h"
#include "id3/id3lists.h"
#include "id3/syncsafe.h"
#include "id3/tempfile.h"
#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/filecopy.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plumtide
{

namespace
{

constexpr qint64 kSeekBlock = 4096;
constexpr qint64 kID3V1Size = 128;

bool IsTagStart(const char* bytes)
{
    return bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3'
        && static_cast<unsigned char>(bytes[3]) <= 4;
}

// A text field of the ID3v1 block: ISO-8859-1 up to the first zero byte, trimmed.
QString ID3V1Field(const QByteArray& block, int offset, int length)
{
    const char* start = block.constData() + offset;
    const void* zero = std::memchr(start, 0, static_cast<size_t>(length));
    const qsizetype size = zero ? static_cast<const char*>(zero) - start : length;
    return TrimBlanksAndControls(QString::fromLatin1(start, size));
}

void PutID3V1Field(QByteArray& block, int offset, const QString& text, int length)
{
    const QByteArray bytes = text.left(length).toLatin1();
    std::memcpy(block.data() + offset, bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The low 8 bits of a decimal number, or 0 when the text is not one.
char LowByteOfNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? static_cast<char>(value & 0xFF) : 0;
}

} // namespace

TID3Engine::TID3Engine(QObject* owner)
    : QObject(owner)
    , m_frames(this)
    , m_header(this)
{
}

TID3Engine::~TID3Engine()
{
    try {
        SetActive(false);
    } catch (...) {
        // A destructor must not throw; the file is closed by m_file's own destructor.
    }
}

void TID3Engine::SetFileName(const QString& value)
{
    if (!Active())
        m_fileName = value;
}

void TID3Engine::SetPadding(std::int32_t value)
{
    m_padding = (value < 0 || m_header.FooterPresent()) ? 0 : value;
}

void TID3Engine::SetActive(bool value)
{
    if (value == Active())
        return;
    if (value) {
        OpenStream(TFileStream::OpenExisting(m_fileName, TFileStream::Access::ReadOnly));
        return;
    }
    m_stream.reset();
    m_writableFile = nullptr;
    Clear();
    if (OnFileClose)
        OnFileClose(*this);
}

void TID3Engine::OpenStream(std::unique_ptr<TByteStream> stream)
{
    if (Active() || !stream)
        return;
    m_stream = std::move(stream);
    m_writableFile = nullptr;
    LoadTag();
    if (OnFileOpen)
        OnFileOpen(*this);
}

void TID3Engine::Clear()
{
    m_header.Reset();
    m_frames.Clear();
    m_padding = 0;
    m_tagLength = 0;
    m_tagStart = 0;
}

// Version 4 replaced TYER by TDRC (recording time); a tag that has only TDRC keeps its year
// there.
const char* TID3Engine::YearFrame() const
{
    return (!m_frames.Find("TYER") && m_frames.Find("TDRC")) ? "TDRC" : "TYER";
}

// Ciphertext is no text: an encrypted frame nobody decrypted counts as absent, and a text
// set in its place goes into a frame of its own, leaving the encrypted one as it was.
TID3Frames_Item* TID3Engine::TextFrame(const char* id) const
{
    for (int i = 0; i < m_frames.Count(); ++i) {
        TID3Frames_Item& frame = m_frames.Items(i);
        if (std::memcmp(frame.FrameID(), id, 4) == 0 && !frame.Ciphertext())
            return &frame;
    }
    return nullptr;
}

QString TID3Engine::FrameText(const char* id) const
{
    if (!Active())
        return QString();
    const TID3Frames_Item* frame = TextFrame(id);
    return frame ? ReadFrameText(frame->Data()).Text : QString();
}

void TID3Engine::SetFrameText(const char* id, const QString& text)
{
    if (!Active())
        return;
    TID3Frames_Item* frame = TextFrame(id);
    if (!frame) {
        frame = &m_frames.Add();
        frame->SetFrameID(id, 4);
    }
    WriteFrameText(0, text, frame->Data(), m_header.VersionNumber());
}

bool TID3Engine::LocateTag()
{
    // Ten bytes, not four: a tag header found here is then at hand for LoadTag. A reader of
    // texts reads a piece, which holds a small tag whole.
    m_head = m_stream->ReadAt(
        0, m_textFramesOnly ? std::min(TPieceStream::kPiece, m_stream->Size()) : 10);
    if (m_head.size() >= 4 && IsTagStart(m_head.constData())) {
        m_tagStart = 0;
        return true;
    }
    if (!m_fullID3TagSeek)
        return false;
    // Every offset of a block is a candidate; the last block holding one decides, and within
    // it the first. Three bytes past the block let a header straddle the block's end.
    bool found = false;
    QByteArray block(kSeekBlock + 3, Qt::Uninitialized);
    for (qint64 offset = 0;; offset += kSeekBlock) {
        const qint64 read = m_stream->ReadAt(offset, block.data(), block.size());
        const qint64 candidates = std::min(read, kSeekBlock);
        for (qint64 i = 0; i + 3 < read && i < candidates; ++i) {
            if (IsTagStart(block.constData() + i)) {
                m_tagStart = offset + i;
                found = true;
                break;
            }
        }
        if (candidates < kSeekBlock)
            break;
    }
    return found;
}

void TID3Engine::LoadTag()
{
    Clear();
    LocateTag();
    const qint64 fileSize = m_stream->Size();
    QByteArray bytes = m_tagStart == 0 ? std::move(m_head) : m_stream->ReadAt(m_tagStart, 10);
    const qint64 headerBytes = std::min<qint64>(bytes.size(), 10);
    TMemoryStream probe(QByteArray::fromRawData(bytes.constData(), headerBytes));
    if (!m_header.ReadHeader(probe)) {
        LoadID3V1(fileSize);
        if (OnReadTag)
            OnReadTag(*this);
        return;
    }
    // Only the bytes the file holds are read, whatever the size field claims.
    const qint64 body = std::clamp<qint64>(fileSize - m_tagStart - 10, 0, m_header.Size());
    // A header cut short by the file's end reads as zeros; the body is read over.
    if (bytes.size() < 10)
        bytes.resize(10, '\0');
    // Versions 2 and 3 unsynchronise the whole tag after the header, extended header included:
    // such a tag is read whole, since no frame size tells where a frame ends in the file.
    const std::uint8_t version = m_header.VersionNumber();
    const bool unsynchronised = m_header.Unsynchronisation() && (version == 2 || version == 3);
    if (m_textFramesOnly && !unsynchronised) {
        const qint64 footer = m_header.FooterPresent()
            ? std::clamp<qint64>(fileSize - m_tagStart - 10 - body, 0, 10)
            : 0;
        m_tagLength = headerBytes + body + footer;
        TPieceStream tag(*m_stream, m_tagStart, 10 + body, std::move(bytes));
        m_header.ReadHeader(tag);
        m_frames.ReadFrames(tag, 0);
        if (OnReadTag)
            OnReadTag(*this);
        return;
    }
    bytes.resize(10 + body);
    const qint64 read = m_stream->ReadAt(m_tagStart + 10, bytes.data() + 10, body);
    bytes.truncate(10 + read);
    const qint64 footer = m_header.FooterPresent()
        ? std::clamp<qint64>(fileSize - m_tagStart - 10 - read, 0, 10)
        : 0;
    // The tag occupies its declared bytes whatever its frames make of them.
    m_tagLength = headerBytes + read + footer;

    if (unsynchronised)
        bytes = bytes.left(10) + UndoUnsynchronisation(bytes.mid(10));
    TMemoryStream tag(std::move(bytes));
    m_header.ReadHeader(tag);
    m_frames.ReadFrames(tag, 0);
    if (OnReadTag)
        OnReadTag(*this);
}

void TID3Engine::LoadID3V1()
{
    if (Active())
        LoadID3V1(m_stream->Size());
}

QByteArray TID3Engine::ID3V1Block() const
{
    if (!Active())
        return QByteArray();
    const qint64 size = m_stream->Size();
    // Bytes of the ID3v2 tag belong to its frames, whatever they look like.
    const qint64 start = size - kID3V1Size;
    if (m_tagLength > 0 && start < m_tagStart + m_tagLength && start + kID3V1Size > m_tagStart)
        return QByteArray();
    return ReadID3V1Block(size);
}

QByteArray TID3Engine::ReadID3V1Block(qint64 size) const
{
    if (size < kID3V1Size)
        return QByteArray();
    QByteArray block = m_stream->ReadAt(size - kID3V1Size, kID3V1Size);
    return block.size() == kID3V1Size && block.startsWith("TAG") ? block : QByteArray();
}

void TID3Engine::LoadID3V1(qint64 size)
{
    const QByteArray block = ReadID3V1Block(size);
    if (block.isEmpty())
        return;
    SetAlbum(ID3V1Field(block, 63, 30));
    SetArtist(ID3V1Field(block, 33, 30));
    SetTitle(ID3V1Field(block, 3, 30));
    SetYear(ID3V1Field(block, 93, 4));
    AddComment(QStringLiteral("MAIN"), ID3V1Field(block, 97, 29), QStringLiteral("ENG"));
    SetTrack(QString::number(static_cast<unsigned char>(block[126])));
    const auto genre = static_cast<unsigned char>(block[127]);
    if (genre < GenreList().size())
        SetGenre(GenreList().at(genre));
    m_header.SetExtendedHeaderPresent(true);
    m_header.ExtendedHeader().SetTagIsAnUpdate(true);
    SetPadding(250);
}

int TID3Engine::AddComment(const QString& description, const QString& text, const QString& language)
{
    if (!Active())
        return -1;
    int count = 0;
    for (int i = 0; i < m_frames.Count(); ++i) {
        if (std::memcmp(m_frames.Items(i).FrameID(), "COMM", 4) == 0)
            ++count;
    }
    TID3Frames_Item& frame = m_frames.Add();
    frame.SetFrameID("COMM", 4);
    const std::uint8_t encoding = TextEncodingFor(0, description + text, m_header.VersionNumber());
    QByteArray data(1, static_cast<char>(encoding));
    data += language.toLatin1().leftJustified(3, ' ', true);
    data += EncodeFrameString(encoding, description, true);
    data += EncodeFrameString(encoding, text, true);
    frame.Data().SetBytes(std::move(data));
    return count;
}

void TID3Engine::ReadTag()
{
    if (Active())
        LoadTag();
}

TFileStream& TID3Engine::WritableFile()
{
    if (m_writableFile)
        return *m_writableFile;
    auto file = TFileStream::OpenExisting(m_fileName, TFileStream::Access::ReadWrite);
    if (!file)
        throw IOError(QStringLiteral("Cannot write"), m_fileName, ENOENT);
    m_writableFile = file.get();
    m_stream = std::move(file);
    return *m_writableFile;
}

void TID3Engine::WriteTag()
{
    if (!Active())
        return;
    WriteTagWithoutEvent();
    if (OnWriteTag)
        OnWriteTag(*this);
}

void TID3Engine::WriteTagWithoutEvent()
{
    TFileStream& file = WritableFile();
    // Version 2 has no place for the frames written here (four-character IDs): upgrade.
    if (m_header.VersionNumber() == 2) {
        m_header.SetVersionNumber(4);
        m_header.SetVersionRevision(0);
    }
    TMemoryStream tag;
    m_header.WriteHeader(tag, false);
    m_frames.WriteFrames(tag);
    const bool footer = m_header.FooterPresent();
    const qint64 length = tag.Size() + (footer ? 10 : Padding());
    // It fits when it is no longer than the old tag; a shorter one is padded to the old
    // length so that no stale frame bytes stay between the tag and the audio. A tag with a
    // footer cannot be padded.
    const bool fits
        = m_tagLength > 0 && length <= m_tagLength && (!footer || length == m_tagLength);
    if (fits && !footer)
        SetPadding(static_cast<std::int32_t>(m_tagLength - tag.Size()));
    const qint64 framesEnd = tag.Size();
    if (framesEnd + Padding() - 10 > 0x0FFFFFFF)
        throw TagError(QStringLiteral("The tag is too large"));

    // Written again now that the padding is known (a version-3 extended header holds it).
    tag.SetPosition(0);
    const qint64 sizePosition = m_header.WriteHeader(tag, false);
    tag.SetPosition(framesEnd);
    tag.SetSize(framesEnd + Padding());
    m_header.SetSize(static_cast<std::int32_t>(tag.Size() - 10));
    std::uint8_t size[4];
    EncodeSyncsafe(static_cast<std::uint32_t>(m_header.Size()), size, 4);
    tag.SetPosition(sizePosition);
    tag.Write(size, 4);
    if (footer) {
        tag.SetPosition(tag.Size());
        m_header.WriteHeader(tag, true);
    }

    if (fits) {
        file.SetPosition(m_tagStart);
        file.Write(tag.Bytes());
    } else {
        ReplaceFile(tag.Bytes());
        m_tagStart = 0;
    }
    m_tagLength = tag.Size();
    if (m_writeID3V1)
        SaveID3V1();
}

void TID3Engine::EraseTag()
{
    if (!Active())
        return;
    if (m_tagLength > 0) {
        ReplaceFile(QByteArray());
        m_tagStart = 0;
        m_tagLength = 0;
        m_header.SetSize(-1);
    }
    if (OnEraseTag)
        OnEraseTag(*this);
}

void TID3Engine::ReplaceFile(const QByteArray& tag)
{
    // Through a symbolic link the file it points to is replaced, not the link.
    const QString canonical = QFileInfo(m_fileName).canonicalFilePath();
    const QString target = canonical.isEmpty() ? m_fileName : canonical;
    const QString folder = QFileInfo(target).absolutePath();

    TFileStream& file = WritableFile();
    TTempFile temp(folder);
    TFileStream& out = temp.Stream();
    CopyModeAndOwner(file.File(), out.File(), temp.Path());

    out.Write(tag);
    const qint64 size = file.Size();
    const qint64 tagEnd = std::min(m_tagStart + m_tagLength, size);
    qint64 copied = 0;
    if (m_tagStart > 0) {
        file.SetPosition(0);
        copied += CopyStreamData(file, out, std::min(m_tagStart, size));
    }
    if (tagEnd < size) {
        file.SetPosition(tagEnd);
        copied += CopyStreamData(file, out, size - tagEnd);
    }
    if (copied != std::min(m_tagStart, size) + (size - tagEnd))
        throw IOError(QStringLiteral("Changed while being rewritten:"), m_fileName, EAGAIN);
    out.Sync();
    out.Close();
    RenameReplacing(temp.Path(), target);
    temp.Keep();
    SyncFolder(folder);

    // Stay active on the new content.
    m_writableFile = nullptr;
    m_stream.reset();
    WritableFile();
}

void TID3Engine::SaveID3V1()
{
    if (!Active())
        return;
    TFileStream& file = WritableFile();
    const qint64 size = file.Size();
    const QByteArray last = file.ReadAt(std::max<qint64>(size - kID3V1Size, 0), kID3V1Size);
    const bool present = last.size() == kID3V1Size && last.startsWith("TAG");

    QByteArray block(kID3V1Size, '\0');
    std::memcpy(block.data(), "TAG", 3);
    PutID3V1Field(block, 3, Title(), 30);
    PutID3V1Field(block, 33, Artist(), 30);
    PutID3V1Field(block, 63, Album(), 30);
    PutID3V1Field(block, 93, Year(), 4);
    block[126] = LowByteOfNumber(Track());
    const QString genre = Genre();
    const qsizetype open = genre.indexOf(QLatin1Char('('));
    const qsizetype close = genre.indexOf(QLatin1Char(')'));
    const QString number = (open >= 0 && close >= 0)
        ? (close > open ? genre.mid(open + 1, close - open - 1) : QString())
        : QStringLiteral("0");
    block[127] = LowByteOfNumber(number);

    file.SetPosition(present ? size - kID3V1Size : size);
    file.Write(block);
}

namespace
{

// Loads the engine's tag by `load` and takes artist and title, whatever goes wrong.
template <typename Load> TArtistTitle readWith(TID3Engine& engine, Load load)
{
    TArtistTitle result;
    engine.SetTextFramesOnly(true);
    try {
        load();
        if (!engine.Active())
            result.Status = TID3ReadStatus::NoFile;
    } catch (const TagError& error) {
        result.Status = TID3ReadStatus::TagDamaged;
        result.Error = error.message();
    } catch (const IOError& error) {
        result.Status = TID3ReadStatus::OpenFailed;
        result.Error = error.message();
    }
    result.Artist = engine.Artist();
    result.Title = engine.Title();

    // An ID3v2 tag may lack the artist or title that an ID3v1 block at the file's end holds
    // (a tag of ReplayGain frames only, added to a file tagged before): what it lacks comes
    // from there.
    const bool tagRead
        = result.Status == TID3ReadStatus::Read || result.Status == TID3ReadStatus::TagDamaged;
    if (tagRead && engine.TagLength() > 0 && (result.Artist.isEmpty() || result.Title.isEmpty())) {
        try {
            const QByteArray block = engine.ID3V1Block();
            if (!block.isEmpty() && result.Artist.isEmpty())
                result.Artist = ID3V1Field(block, 33, 30);
            if (!block.isEmpty() && result.Title.isEmpty())
                result.Title = ID3V1Field(block, 3, 30);
        } catch (const IOError& error) {
            result.Status = TID3ReadStatus::OpenFailed;
            result.Error = error.message();
        }
    }
    return result;
}

} // namespace

TArtistTitle ReadArtistAndTitle(const QString& path, bool fullID3TagSeek)
{
    TID3Engine engine;
    engine.SetFileName(path);
    engine.SetFullID3TagSeek(fullID3TagSeek);
    return readWith(engine, [&] {
        // As SetActive(true) opens it, but with the size asked once for all the reads.
        FileDescriptor file = OpenRegularFile(path, false);
        if (!file.isOpen())
            return;
        const qint64 size = FileSize(file, path);
        engine.OpenStream(std::make_unique<TFileStream>(std::move(file), path, size));
    });
}

TArtistTitle ReadArtistAndTitle(FileDescriptor file, qint64 size, const QString& path)
{
    TID3Engine engine;
    engine.SetFileName(path);
    return readWith(engine,
        [&] { engine.OpenStream(std::make_unique<TFileStream>(std::move(file), path, size)); });
}

} // namespace plumtide
