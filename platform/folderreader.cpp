#include "platform/folderreader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plumtide
{

namespace
{

FolderId idOf(const struct stat& st)
{
    return FolderId { static_cast<std::uint64_t>(st.st_dev),
        static_cast<std::uint64_t>(st.st_ino) };
}

} // namespace

FolderReader::FolderReader(const QByteArray& path)
{
    if (path.isEmpty())
        return;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {
    };
    DIR* dir = ::fstat(fd, &st) == 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        ::close(fd);
        return;
    }
    m_dir = dir;
    m_id = idOf(st);
}

FolderReader::~FolderReader()
{
    if (m_dir)
        ::closedir(static_cast<DIR*>(m_dir));
}

bool FolderReader::next(FolderEntry& entry)
{
    if (!m_dir)
        return false;
    DIR* dir = static_cast<DIR*>(m_dir);
    while (const dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        entry.name = QByteArray(name);
        entry.folderId = FolderId();
        entry.link = d->d_type == DT_LNK;
        if (d->d_type == DT_REG) {
            entry.kind = FolderEntry::Kind::File;
            return true;
        }
        if (d->d_type != DT_DIR && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) {
            entry.kind = FolderEntry::Kind::Other;
            return true;
        }
        // Folders need their identity (a mount point's differs from what the entry says)
        // and links need resolving; stat follows links, so a loop or a dangling link fails
        // here and reads as Other.
        struct stat st {
        };
        if (d->d_type == DT_UNKNOWN && ::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            entry.link = S_ISLNK(st.st_mode);
        if (::fstatat(::dirfd(dir), name, &st, 0) != 0)
            entry.kind = FolderEntry::Kind::Other;
        else if (S_ISDIR(st.st_mode)) {
            entry.kind = FolderEntry::Kind::Folder;
            entry.folderId = idOf(st);
        } else if (S_ISREG(st.st_mode))
            entry.kind = FolderEntry::Kind::File;
        else
            entry.kind = FolderEntry::Kind::Other;
        return true;
    }
    return false;
}

} // namespace plumtide
