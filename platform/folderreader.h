#pragma once

#include <QByteArray>
#include <QHashFunctions>

#include <cstdint>

namespace plumtide
{

// What identifies a real folder however it is reached (directly, through symbolic links, or
// through a second mount): its device and inode numbers.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FolderId&, const FolderId&) = default;
};

inline size_t qHash(const FolderId& id, size_t seed = 0) noexcept
{
    return qHashMulti(seed, id.device, id.inode);
}

// One entry of a folder as the file system names it (raw bytes, no encoding assumed).
struct FolderEntry {
    enum class Kind {
        Folder, // a folder, or a symbolic link that leads to one
        File, // a regular file, or a symbolic link that leads to one
        Other, // devices, sockets, pipes, dangling links, entries gone meanwhile
    };

    QByteArray name;
    Kind kind = Kind::Other;
    // The entry itself is a symbolic link (kind says where it leads).
    bool link = false;
    // Where a link leads is only known once it is resolved; valid for folders only.
    FolderId folderId;
};

// Reads the entries of one folder with a single pass of the system's directory reader,
// asking for more (a stat) only for folders, symbolic links and file systems that do not
// report entry types. "." and ".." are never returned. A folder that cannot be opened reads
// as empty; why is of no interest to the scanners.
class FolderReader
{
public:
    explicit FolderReader(const QByteArray& path);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    // The folder that was actually opened (valid when open).
    FolderId id() const { return m_id; }

    // Fills `entry` with the next entry; false at the end (or after a read error).
    bool next(FolderEntry& entry);

private:
    void* m_dir = nullptr; // DIR*, kept out of this header
    FolderId m_id;
};

} // namespace plumtide
