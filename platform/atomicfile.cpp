#include "platform/atomicfile.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plumtide
{

namespace
{

// Owns a descriptor and, until released, the temporary file it was opened on.
class TempFile
{
public:
    TempFile(int fd, QByteArray name)
        : m_fd(fd)
        , m_name(std::move(name))
    {
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    const QByteArray& name() const { return m_name; }
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }
    void release() { m_name.clear(); }

private:
    int m_fd;
    QByteArray m_name;
};

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

int SyncFolder(const QString& folder)
{
    const int fd = ::open(EncodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

void WriteFileAtomically(const QString& path, const QByteArray& contents, unsigned newFileMode)
{
    const QByteArray target = EncodePath(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder
        = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : path.left(slash));

    mode_t mode = static_cast<mode_t>(newFileMode);
    struct stat existing {
    };
    if (::stat(target.constData(), &existing) == 0)
        mode = existing.st_mode & 07777;

    // Created exclusively under a fresh name, so nothing planted there beforehand is used.
    int fd = -1;
    QByteArray tempName;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName
            = target + ".tmp-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            throw IOError(QStringLiteral("Cannot create a file beside"), path, errno);
    }
    if (fd < 0)
        throw IOError(QStringLiteral("Cannot create a file beside"), path, EEXIST);
    TempFile temp(fd, tempName);

    if (::fchmod(temp.fd(), mode) != 0
        || !writeAll(temp.fd(), contents.constData(), contents.size()) || ::fsync(temp.fd()) != 0)
        throw IOError(QStringLiteral("Cannot write"), path, errno);
    if (temp.close() != 0)
        throw IOError(QStringLiteral("Cannot write"), path, errno);
    if (::rename(temp.name().constData(), target.constData()) != 0)
        throw IOError(QStringLiteral("Cannot replace"), path, errno);
    temp.release();
    SyncFolder(folder);
}

} // namespace plumtide
