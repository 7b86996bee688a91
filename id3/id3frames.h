#pragma once

#include "id3/bytestream.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace plumtide
{

class TID3Engine;
class TID3Frames;
class TID3Frames_Item;

// Called with a frame and the stream holding its stored bytes, to decrypt them after reading
// or encrypt them before writing.
using TID3EngineFrameNotify = std::function<void(TID3Frames_Item& frame, TMemoryStream& data)>;

// One frame of a tag: its ID, flags and data. `Data` holds the frame data as the application
// sees it: without unsynchronisation, decrypted (when a decryption handler is assigned) and
// decompressed.
class TID3Frames_Item
{
public:
    explicit TID3Frames_Item(TID3Frames* collection, int id = 0);
    TID3Frames_Item(const TID3Frames_Item&) = delete;
    TID3Frames_Item& operator=(const TID3Frames_Item&) = delete;

    bool Compress() const { return m_compress; }
    // Compressed data always carries its uncompressed length, so this also sets
    // DataLengthIndicator, whatever the value.
    void SetCompress(bool value)
    {
        m_compress = value;
        m_dataLengthIndicator = true;
    }
    bool Encrypted() const { return m_encrypted; }
    void SetEncrypted(bool value) { m_encrypted = value; }
    std::uint8_t EncryptionID() const { return m_encryptionId; }
    void SetEncryptionID(std::uint8_t value)
    {
        m_encryptionId = value;
        m_encrypted = true;
    }
    bool FileAlterDiscardable() const { return m_fileAlterDiscardable; }
    void SetFileAlterDiscardable(bool value) { m_fileAlterDiscardable = value; }
    std::uint8_t GroupID() const { return m_groupId; }
    void SetGroupID(std::uint8_t value)
    {
        m_groupId = value;
        m_grouping = true;
    }
    bool Grouping() const { return m_grouping; }
    void SetGrouping(bool value) { m_grouping = value; }
    // The frame ID up to its first zero byte ("TPE1"; three characters for a version-2 frame
    // without a version-4 equivalent; empty for a new frame).
    QString Name() const;
    // A value of fewer than four characters is ignored; otherwise its first four become the ID.
    void SetName(const QString& value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    bool TagAlterDiscardable() const { return m_tagAlterDiscardable; }
    void SetTagAlterDiscardable(bool value) { m_tagAlterDiscardable = value; }
    // As read; Data never holds unsynchronised bytes and frames are written without it.
    bool UnSynchronisation() const { return m_unsynchronisation; }
    void SetUnSynchronisation(bool value) { m_unsynchronisation = value; }
    bool DataLengthIndicator() const { return m_dataLengthIndicator; }
    void SetDataLengthIndicator(bool value) { m_dataLengthIndicator = value; }
    qint64 DataSize() const { return m_data.Size(); }
    // The text of a text frame (ReadFrameText), or empty for ciphertext; setting it writes
    // encoding 0 when the text fits ISO-8859-1 (WriteFrameText).
    QString AsText() const;
    // True for a frame read encrypted that no decryption handler decrypted: Data holds its
    // ciphertext, which is no text, and is written back as it is.
    bool Ciphertext() const { return m_ciphertext; }
    void SetAsText(const QString& value);

    TMemoryStream& Data() { return m_data; }
    const TMemoryStream& Data() const { return m_data; }

    // The four ID bytes, zero-padded ("PIC\0" for a version-2 frame kept under its own ID).
    const char* FrameID() const { return m_frameId; }
    void SetFrameID(const char* id, int length);

    // The description FrameNames holds for the ID, else the ID; "TID3Frames_Item" without ID.
    QString GetDisplayName() const;
    // Copies ID, flags and data of another frame.
    void Assign(const TID3Frames_Item& source);

    TID3Frames* Collection() const { return m_collection; }
    // A running number, unique within the collection.
    int ID() const { return m_id; }

private:
    friend class TID3Frames;

    bool m_compress = false;
    bool m_dataLengthIndicator = false;
    bool m_encrypted = false;
    bool m_fileAlterDiscardable = false;
    bool m_grouping = false;
    bool m_readOnly = false;
    bool m_tagAlterDiscardable = false;
    bool m_unsynchronisation = false;
    std::uint8_t m_encryptionId = 0;
    std::uint8_t m_groupId = 0;
    char m_frameId[5] = {};
    // The data length field of data kept as stored (encrypted without a decryption handler,
    // or compressed and not inflated by an engine that reads texts only), to be written back
    // as it was; -1 otherwise.
    qint64 m_storedLength = -1;
    bool m_ciphertext = false;
    TID3Frames* m_collection;
    int m_id;
    TMemoryStream m_data;
};

// The frames of a tag in file order, which is also the order they are written in.
class TID3Frames
{
public:
    // More frames than this in one tag is hostile input: a 10-byte empty frame must not cost
    // ten times its size in memory for a quarter of a gigabyte of them.
    static constexpr int kMaxFrames = 100000;

    explicit TID3Frames(TID3Engine* owner);
    TID3Frames(const TID3Frames&) = delete;
    TID3Frames& operator=(const TID3Frames&) = delete;

    // Appends a new empty frame (ID all zero, flags false, no data).
    TID3Frames_Item& Add();
    // The first frame whose four ID bytes equal `id` (e.g. "TPE1"), or null.
    TID3Frames_Item* Find(const char* id) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    TID3Frames_Item& Items(int index) const { return *m_items.at(static_cast<size_t>(index)); }
    void Clear() { m_items.clear(); }
    // Replaces the frames by copies of another collection's frames.
    void Assign(const TID3Frames& source);

    TID3Engine* Owner() const { return m_owner; }

    // Reading and writing need the owning engine (its header, padding and events); a
    // collection without one reads and writes nothing.

    // Replaces the frames by those read from `stream`, which stands at the first frame of a
    // tag whose header is at `tagStart` (the engine's Header describes it). Reading ends at
    // the tag's end or the stream's, whichever is first, or at a frame ID that is not one
    // (padding), or at a space-padded ID whose frame runs past the tag. Each frame ends where
    // its size says; one whose flags announce more bytes than that is left out. Sets the
    // engine's Padding to what is left of the tag. Throws TagError for compressed frame
    // data that cannot be decompressed; the frames before that one stay.
    void ReadFrames(TByteStream& stream, qint64 tagStart = 0);
    // Writes all frames at the stream's position in the layout of the header's version
    // (version 3, else version 4) and sets the header's Size to the number of bytes written.
    // Frames without an ID IsKeptFrameID accepts are left out: other readers stop at them.
    void WriteFrames(TByteStream& stream);

private:
    TID3Engine* m_owner;
    std::vector<std::unique_ptr<TID3Frames_Item>> m_items;
    int m_nextId = 0;
};

// Text of a text frame: the encoding byte (0 ISO-8859-1, 1 UTF-16 with byte-order mark,
// 2 UTF-16 big-endian, 3 UTF-8) and the first string, up to the encoding's terminator, with
// leading and trailing characters up to and including the space removed.
struct TID3FrameText {
    std::uint8_t Encoding = 0;
    QString Text;
};
TID3FrameText ReadFrameText(const TMemoryStream& data);

// Replaces `data` by the encoding byte and the text, without terminator. Encoding 0 is kept
// when the text fits ISO-8859-1; otherwise, and for encodings a version-3 tag does not
// know, the text is written as UTF-8 (version 4) or UTF-16 with byte-order mark (version 3)
// so that no character is lost.
void WriteFrameText(
    std::uint8_t encoding, const QString& text, TMemoryStream& data, std::uint8_t version = 4);

// The encoding byte WriteFrameText uses for `text` when asked for `requested`.
std::uint8_t TextEncodingFor(std::uint8_t requested, const QString& text, std::uint8_t version);
// `text` in the given encoding (a byte-order mark first for encoding 1), followed by the
// encoding's terminator (one zero byte, two for UTF-16) when `terminate` is set.
QByteArray EncodeFrameString(std::uint8_t encoding, const QString& text, bool terminate);

enum TCompressionLevel { clNone, clFastest, clDefault, clMax };

// What compressed frames may inflate to: far more than any text or cover a real tag holds,
// far less than a crafted one would take (a 1 MB frame can claim a gigabyte).
inline constexpr qint64 kMaxInflatedFrame = 16 << 20;
inline constexpr qint64 kMaxInflatedTag = 64 << 20;
// Replaces the stream's content by its zlib stream (header and checksum) at the given level.
void CompressFrameData(TMemoryStream& data, TCompressionLevel level);
// Replaces the stream's content by its inflated form. Data that ends early yields what it
// holds; corrupt data throws TagError, and so does data that would inflate to more than
// `maxOutput` bytes. Output also stops where no zlib stream of this length could reach
// (deflate expands at most 1032 times).
void DecompressFrameData(TMemoryStream& data, qint64 maxOutput = kMaxInflatedFrame);

// True when each of the `length` bytes is '0'-'9' or 'A'-'Z'.
bool IsValidFrameID(const std::uint8_t* id, int length = 4);
inline bool IsValidFrameID(const char* id, int length = 4)
{
    return IsValidFrameID(reinterpret_cast<const std::uint8_t*>(id), length);
}
// True for the four-character IDs a tag may hold and keep: valid ones, and the ones some
// encoders write with spaces ("TST ", a three-character ID padded), though not four spaces.
bool IsKeptFrameID(const std::uint8_t* id);
inline bool IsKeptFrameID(const char* id)
{
    return IsKeptFrameID(reinterpret_cast<const std::uint8_t*>(id));
}

// Removes leading and trailing characters up to and including the space (blanks and control
// characters), as tag texts are cleaned on reading.
QString TrimBlanksAndControls(const QString& text);

// Undoes unsynchronisation (ID3v2.4 standard, section 6.1): every 0xFF 0x00 becomes 0xFF.
QByteArray UndoUnsynchronisation(const QByteArray& bytes);

} // namespace plumtide
