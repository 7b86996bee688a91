#include "id3/tempfile.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace plumtide
{

QString MakeTempFileName(int& fd, const QString& folder)
{
    QString base = folder.isEmpty() ? QDir::tempPath() : folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const quint32 number = QRandomGenerator::global()->bounded(2147483647u);
        const QString candidate = base + QStringLiteral("ID3TMP")
            + QStringLiteral("%1").arg(number, 2, 16, QLatin1Char('0')).toUpper()
            + QStringLiteral(".tmp");
        fd = ::open(EncodePath(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            return candidate;
        if (errno != EEXIST)
            throw IOError(QStringLiteral("Cannot create a temporary file in"), base, errno);
    }
    throw IOError(QStringLiteral("Cannot create a temporary file in"), base, EEXIST);
}

TTempFile::TTempFile(const QString& folder)
{
    int fd = -1;
    m_path = MakeTempFileName(fd, folder);
    m_stream = std::make_unique<TFileStream>(fd, m_path);
}

TTempFile::~TTempFile()
{
    m_stream.reset();
    if (!m_keep)
        ::unlink(EncodePath(m_path).constData());
}

} // namespace plumtide
