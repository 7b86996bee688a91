#pragma once

#include "platform/descriptor.h"

#include <QByteArray>
#include <QString>

#include <taglib/tiostream.h>

namespace plumtide
{

// A read-only TagLib stream over a file Plumtide opened and examined, so that TagLib reads
// exactly the file the in-use test passed and never opens anything by name. Reads are
// bounded by the size taken at open: a block claimed past the end yields the bytes that are
// there and allocates no more. Writes are refused (readOnly() is true and they change
// nothing). TagLib expects no exceptions, so a failed read ends the block short, every read
// after it yields nothing, and error() tells what happened.
class TDescriptorStream final : public TagLib::IOStream
{
public:
    TDescriptorStream(FileDescriptor file, qint64 size, const QString& path);
    ~TDescriptorStream() override;
    TDescriptorStream(const TDescriptorStream&) = delete;
    TDescriptorStream& operator=(const TDescriptorStream&) = delete;

    TagLib::FileName name() const override { return m_encodedPath.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(
        const TagLib::ByteVector& data, unsigned long start, unsigned long replace) override;
    void removeBlock(unsigned long start, unsigned long length) override;
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_file.isOpen(); }
    // As fseek: a position before the start is refused and the position stays; one past the
    // end is taken, and reads there yield nothing.
    void seek(long offset, Position from) override;
    long tell() const override { return static_cast<long>(m_position); }
    long length() override { return static_cast<long>(m_size); }
    void truncate(long length) override;

    // The first read failure (the system's reason, with the path); empty while none.
    const QString& error() const { return m_error; }

private:
    // ReadAt that records a failure instead of throwing it; returns the bytes read.
    qint64 readAt(qint64 offset, char* buffer, qint64 count);

    FileDescriptor m_file;
    qint64 m_size;
    QString m_path;
    QByteArray m_encodedPath;
    qint64 m_position = 0;
    // TagLib reads headers a few bytes at a time, a block, then the next header just after
    // it: one system call fetches a window of the file that serves most of those reads.
    QByteArray m_window;
    qint64 m_windowStart = 0;
    QString m_error;
};

} // namespace plumtide
