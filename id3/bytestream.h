#pragma once

#include "platform/descriptor.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace plumtide
{

// A positionable sequence of bytes with a size, in memory or on a file; the tag engine reads
// and writes tags through it. Reads clamp: a read past the end yields the bytes that are
// there (possibly none), never more. Failed writes and size changes throw IOError.
class TByteStream
{
public:
    virtual ~TByteStream() = default;

    virtual qint64 Size() const = 0;
    // Cuts the stream or extends it with zero bytes.
    virtual void SetSize(qint64 size) = 0;

    qint64 Position() const { return m_position; }
    void SetPosition(qint64 position) { m_position = position < 0 ? 0 : position; }

    // Reads up to `count` bytes at the position and moves past them. Returns the number read.
    qint64 Read(void* buffer, qint64 count);
    // Read up to `count` bytes at `offset` without moving the position. The second form
    // allocates `count` bytes first: callers bound it by Size().
    virtual qint64 ReadAt(qint64 offset, void* buffer, qint64 count) const = 0;
    QByteArray ReadAt(qint64 offset, qint64 count) const;
    // Writes `count` bytes at the position (growing the stream) and moves past them.
    virtual void Write(const void* buffer, qint64 count) = 0;

    void Write(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }
    void WriteByte(std::uint8_t byte) { Write(&byte, 1); }

protected:
    TByteStream() = default;
    TByteStream(const TByteStream&) = default;
    TByteStream& operator=(const TByteStream&) = default;

    qint64 m_position = 0;
};

// A stream over a byte array it owns.
class TMemoryStream final : public TByteStream
{
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray bytes);

    qint64 Size() const override { return m_bytes.size(); }
    void SetSize(qint64 size) override;
    qint64 ReadAt(qint64 offset, void* buffer, qint64 count) const override;
    using TByteStream::ReadAt;
    void Write(const void* buffer, qint64 count) override;
    using TByteStream::Write;

    const QByteArray& Bytes() const { return m_bytes; }
    // Replaces the content; the position goes to 0.
    void SetBytes(QByteArray bytes);
    // Empties the stream; the position goes to 0.
    void Clear() { SetBytes(QByteArray()); }

private:
    QByteArray m_bytes;
};

// A stream on an open file, reading and writing at its position without buffering (pread and
// pwrite), so that each Read or Write is exactly one system call and several streams or
// processes on the same file never see stale bytes.
class TFileStream final : public TByteStream
{
public:
    enum class Access { ReadOnly, ReadWrite };

    // Opens an existing regular file. Returns null when no regular file of that name exists
    // (nothing there, a folder, a device); throws IOError when one exists but cannot be opened.
    static std::unique_ptr<TFileStream> OpenExisting(const QString& path, Access access);

    // Takes over an open file; `path` is only used in error messages. A `knownSize` of 0 or
    // more is taken as the file's size until the stream writes, so that a reader that has
    // just looked at the file asks the system only once.
    TFileStream(FileDescriptor file, QString path, qint64 knownSize = -1);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    qint64 Size() const override;
    void SetSize(qint64 size) override;
    // One system call for a regular file.
    qint64 ReadAt(qint64 offset, void* buffer, qint64 count) const override;
    using TByteStream::ReadAt;
    void Write(const void* buffer, qint64 count) override;
    using TByteStream::Write;

    // Flushes the file's data to disk.
    void Sync();
    // Closes the file, reporting a failed close (which can mean lost writes) as IOError.
    void Close();

    const FileDescriptor& File() const { return m_file; }
    const QString& Path() const { return m_path; }

private:
    FileDescriptor m_file;
    QString m_path;
    qint64 m_knownSize = -1;
};

// Reads `length` bytes of another stream from `start` on (offset 0 here is `start` there),
// through a window it fills a piece at a time, on demand: a reader that passes over most
// of the stretch (the pictures in a tag) reads only the pieces it looks at. Read-only:
// SetSize and Write throw IOError.
class TPieceStream final : public TByteStream
{
public:
    static constexpr qint64 kPiece = 4096;

    // `head` holds bytes already read from `start` on: the first window.
    TPieceStream(const TByteStream& source, qint64 start, qint64 length, QByteArray head);

    qint64 Size() const override { return m_length; }
    void SetSize(qint64 size) override;
    // Within the window, a copy; else one read of the source (of a piece, or of `count`
    // bytes straight into `buffer` when that is larger).
    qint64 ReadAt(qint64 offset, void* buffer, qint64 count) const override;
    using TByteStream::ReadAt;
    void Write(const void* buffer, qint64 count) override;
    using TByteStream::Write;

private:
    const TByteStream& m_source;
    qint64 m_start;
    qint64 m_length;
    mutable QByteArray m_window;
    mutable qint64 m_windowStart = 0;
};

// Copies `count` bytes from the source's position to the destination's position, through one
// 4096-byte buffer. A count of 0 copies the whole source from its start; a count larger than
// what is left of the source copies what is left. Returns the number of bytes copied.
qint64 CopyStreamData(TByteStream& source, TByteStream& destination, qint64 count);

} // namespace plumtide
