#pragma once

#include "id3/bytestream.h"
#include "id3/id3frames.h"
#include "id3/id3header.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace plumtide
{

// Reads and writes the tags of one mp3 file: the ID3v2 tag (versions 2, 3 and 4) at the start
// of the file, or, when there is none, the ID3v1 block in its last 128 bytes, turned into
// frames so that the text properties work the same way for both.
//
// Use: set FileName, set Active to true (opens the file and loads its tag), read or change
// the text properties, optionally WriteTag or EraseTag, then set Active to false or destroy
// the engine. Loading reads the tag's bytes only (the last 128 bytes instead when there is
// no ID3v2 tag), in a handful of system calls; for "open, read artist and title, close" see
// ReadArtistAndTitle below.
//
// Writing never risks the audio: a new tag that fits into the old one is written over it in
// place (padded to the old length); otherwise, and for EraseTag, the whole new file is built
// beside the original and renamed over it, so that a crash or a full disk leaves either the
// old file or the new one.
//
// Failures: a missing file leaves the engine inactive; a file that cannot be opened throws
// IOError from SetActive; compressed frame data that cannot be decompressed throws TagError
// from SetActive or ReadTag, leaving the engine active with the frames read so far; write
// failures throw IOError or TagError. Malformed tags never throw by themselves: reading stops
// and keeps what it has.
class TID3Engine : public QObject
{
public:
    using TNotifyEvent = std::function<void(TID3Engine& sender)>;

    explicit TID3Engine(QObject* owner = nullptr);
    ~TID3Engine() override;
    TID3Engine(const TID3Engine&) = delete;
    TID3Engine& operator=(const TID3Engine&) = delete;

    // True while the file is open. Setting it true opens FileName and loads its tag (nothing
    // happens when no such file exists); setting it false closes the file and clears the tag.
    bool Active() const { return m_stream != nullptr; }
    void SetActive(bool value);
    // Activates the engine on bytes that are not a file (tests, fuzzing), as SetActive(true)
    // does on FileName. Writing then throws IOError: there is no file to write.
    void OpenStream(std::unique_ptr<TByteStream> stream);

    // Texts of the frames TALB, TPE1, TENC, TCON, TIT3, TIT2, TRCK and TYER: empty while
    // inactive or without such a frame. Setting them while active replaces the first such
    // frame's text (adding the frame at the end when there is none); while inactive it does
    // nothing. Changes stay in memory until WriteTag. Encrypted frames that no decryption
    // handler decrypted count as absent.
    QString Album() const { return FrameText("TALB"); }
    void SetAlbum(const QString& value) { SetFrameText("TALB", value); }
    QString Artist() const { return FrameText("TPE1"); }
    void SetArtist(const QString& value) { SetFrameText("TPE1", value); }
    QString EncodedBy() const { return FrameText("TENC"); }
    void SetEncodedBy(const QString& value) { SetFrameText("TENC", value); }
    QString Genre() const { return FrameText("TCON"); }
    void SetGenre(const QString& value) { SetFrameText("TCON", value); }
    QString SubTitle() const { return FrameText("TIT3"); }
    void SetSubTitle(const QString& value) { SetFrameText("TIT3", value); }
    QString Title() const { return FrameText("TIT2"); }
    void SetTitle(const QString& value) { SetFrameText("TIT2", value); }
    QString Track() const { return FrameText("TRCK"); }
    void SetTrack(const QString& value) { SetFrameText("TRCK", value); }
    // TYER, or TDRC in a tag that has that frame but no TYER (as version 4 tags do).
    QString Year() const { return FrameText(YearFrame()); }
    void SetYear(const QString& value) { SetFrameText(YearFrame(), value); }

    const QString& FileName() const { return m_fileName; }
    // Ignored while active.
    void SetFileName(const QString& value);
    TID3Frames& Frames() { return m_frames; }
    const TID3Frames& Frames() const { return m_frames; }
    // Replaces the frames by copies of `frames`.
    void SetFrames(const TID3Frames& frames) { m_frames.Assign(frames); }
    // Search the whole file for a tag when none starts at offset 0.
    bool FullID3TagSeek() const { return m_fullID3TagSeek; }
    void SetFullID3TagSeek(bool value) { m_fullID3TagSeek = value; }
    // For engines that only read artist and title, never write: text frames only (IDs
    // starting with T) are read, up to the first artist (TPE1) and title (TIT2) holding
    // text; other frames (covers) are passed over unread and left out of Frames(), and a
    // tag that is not unsynchronised as a whole is read in pieces rather than at once. So
    // a tag of a few texts and a large cover costs a few kilobytes of reading; damage in
    // compressed text frames after the artist and title goes unnoticed.
    bool TextFramesOnly() const { return m_textFramesOnly; }
    void SetTextFramesOnly(bool value) { m_textFramesOnly = value; }
    TID3Header& Header() { return m_header; }
    const TID3Header& Header() const { return m_header; }
    // Padding bytes after the frames; 0 when the tag has a footer or the value is negative.
    std::int32_t Padding() const { return m_padding; }
    void SetPadding(std::int32_t value);
    // Write an ID3v1 block after each WriteTag.
    bool WriteID3V1() const { return m_writeID3V1; }
    void SetWriteID3V1(bool value) { m_writeID3V1 = value; }

    // Offset of the ID3v2 tag in the file and the bytes it occupies there (header, extended
    // header, frames, padding and footer); both 0 when the file has no ID3v2 tag.
    qint64 TagStart() const { return m_tagStart; }
    qint64 TagLength() const { return m_tagLength; }

    // No form designer hosts this engine, so it is never in design mode and never asks
    // whether to commit changes when it closes.
    bool IsDesigning() const { return false; }
    // A free value for the owner's use.
    qintptr Tag() const { return m_tag; }
    void SetTag(qintptr value) { m_tag = value; }

    // Events, called only when assigned.
    TID3EngineFrameNotify OnFrameDecrypt;
    TID3EngineFrameNotify OnFrameEncrypt;
    TNotifyEvent OnEraseTag;
    TNotifyEvent OnFileClose;
    TNotifyEvent OnFileOpen;
    TNotifyEvent OnReadTag;
    TNotifyEvent OnWriteTag;

    // While active: writes the tag into the file (see the class comment), then the ID3v1
    // block when WriteID3V1 is set, then calls OnWriteTag. A version-2 tag is written as
    // version 4. Needs write permission on the file.
    virtual void WriteTag();
    // While active: removes the ID3v2 tag from the file, then calls OnEraseTag. Afterwards the
    // engine describes a file without ID3v2 tag (TagStart, TagLength 0, Header().Size() -1)
    // and keeps the frames in memory, so a WriteTag that follows writes them as a new tag.
    virtual void EraseTag();
    // While active: loads the tag again from the file.
    virtual void ReadTag();

    // Loads the tag from the open file: the ID3v2 tag, or the ID3v1 block when there is
    // none; then calls OnReadTag.
    void LoadTag();
    // Finds the tag start: offset 0 when a tag header stands there; with FullID3TagSeek, else
    // the first header in the last 4096-byte block of the file that holds one. Sets TagStart
    // and returns true when found.
    bool LocateTag();
    // Turns the file's ID3v1 block, if any, into frames TALB, TPE1, TIT2, TYER, COMM, TRCK and
    // TCON, and prepares a later WriteTag to create a version-4 tag (extended header marking
    // an update, 250 bytes of padding).
    void LoadID3V1();
    // The file's last 128 bytes when they are an ID3v1 block outside the ID3v2 tag, else
    // empty; one read. Empty while inactive.
    QByteArray ID3V1Block() const;
    // Writes the ID3v1 block from the text properties over the file's last 128 bytes when
    // they are one, else appends it.
    void SaveID3V1();
    // Appends a comment frame (encoding, language, description, text); returns how many
    // comment frames there were before, or -1 while inactive.
    int AddComment(const QString& description, const QString& text, const QString& language);

private:
    const char* YearFrame() const;
    void LoadID3V1(qint64 fileSize);
    QByteArray ReadID3V1Block(qint64 fileSize) const;
    // The first frame with this ID that holds text (not ciphertext), or null.
    TID3Frames_Item* TextFrame(const char* id) const;
    QString FrameText(const char* id) const;
    void SetFrameText(const char* id, const QString& text);
    void Clear();
    // Reopens the file for writing unless it is open for writing already; returns it.
    TFileStream& WritableFile();
    // Replaces the file by `tag` followed by the file's bytes outside the loaded tag, through
    // a new file in the same folder renamed over the original.
    void ReplaceFile(const QByteArray& tag);
    void WriteTagWithoutEvent();

    bool m_writeID3V1 = false;
    qint64 m_tagStart = 0;
    qint64 m_tagLength = 0;
    std::int32_t m_padding = 0;
    QString m_fileName;
    std::unique_ptr<TByteStream> m_stream;
    // m_stream when it is a file opened for writing.
    TFileStream* m_writableFile = nullptr;
    TID3Frames m_frames;
    TID3Header m_header;
    bool m_fullID3TagSeek = false;
    bool m_textFramesOnly = false;
    qintptr m_tag = 0;
    // The file's first ten bytes, as LocateTag read them.
    QByteArray m_head;
};

// The per-file read of a folder listing: open the file, take artist and title, close it.
enum class TID3ReadStatus {
    Read, // the tag (or the ID3v1 block, or nothing) was read; texts may be empty
    NoFile, // no regular file of that name exists
    OpenFailed, // the file exists but cannot be opened or read (Error says why)
    TagDamaged, // the tag could not be parsed to its end (Error says why); the texts hold
                // what was read before the damage
    Unrecognised // the contents are not of the format the file's name says (Error says
                 // why); no texts. Never for mp3, where any bytes may precede the audio.
};

struct TArtistTitle {
    QString Artist;
    QString Title;
    TID3ReadStatus Status = TID3ReadStatus::Read;
    QString Error;
};

// Opens `path`, reads the artist (TPE1) and title (TIT2) through a TID3Engine and closes the
// file again; never throws for what the file holds. What the ID3v2 tag lacks of the two is
// taken from the ID3v1 block, if any (the engine's Artist and Title do not do that). Reads
// the tag in pieces of 4 KB up to the artist and title, passing over frames other than text
// frames (covers) unread, so that a tag of texts and a cover costs one read (the texts
// first) or two or three whatever the cover's size; a tag unsynchronised as a whole
// (versions 2 and 3) is read whole. A tag of up to 4 KB takes
// five system calls: open, two fstat, one read of the file's first piece, close; one more
// reads the last 128 bytes when there is no tag or it lacks a field.
TArtistTitle ReadArtistAndTitle(const QString& path, bool fullID3TagSeek = false);

// The same on a regular file the caller has opened and examined (`size` bytes), which the
// read takes over and closes: the reads above and nothing else. `path` is only used in
// messages.
TArtistTitle ReadArtistAndTitle(FileDescriptor file, qint64 size, const QString& path);

} // namespace plumtide
