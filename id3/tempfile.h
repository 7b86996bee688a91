#pragma once

#include "id3/bytestream.h"

#include <QString>

#include <memory>

namespace plumtide
{

// Creates a new empty file named "ID3TMP", upper-case hexadecimal digits and ".tmp" in
// `folder` (the system's temporary folder when empty), readable and writable by the owner
// only. The name is created exclusively (O_CREAT|O_EXCL, another name on collision), so a
// file or link that someone placed there first is never opened. Returns the path; `file`
// receives the file, open for reading and writing. Throws IOError.
QString MakeTempFileName(FileDescriptor& file, const QString& folder = QString());

// A temporary file from MakeTempFileName, open as a stream and deleted when this object goes,
// on every path, unless Keep() was called (after it has been renamed into place).
class TTempFile
{
public:
    explicit TTempFile(const QString& folder = QString());
    ~TTempFile();
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    TFileStream& Stream() { return *m_stream; }
    const QString& Path() const { return m_path; }
    void Keep() { m_keep = true; }

private:
    QString m_path;
    std::unique_ptr<TFileStream> m_stream;
    bool m_keep = false;
};

} // namespace plumtide
