#include "id3/tempfile.h"

#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>

namespace plumtide
{

QString MakeTempFileName(FileDescriptor& file, const QString& folder)
{
    QString base = folder.isEmpty() ? QDir::tempPath() : folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const quint32 number = QRandomGenerator::global()->bounded(2147483647u);
        const QString candidate = base + QStringLiteral("ID3TMP")
            + QStringLiteral("%1").arg(number, 2, 16, QLatin1Char('0')).toUpper()
            + QStringLiteral(".tmp");
        try {
            file = CreateNewFile(candidate, 0600, true);
            return candidate;
        } catch (const IOError& error) {
            if (error.errnoValue() != EEXIST)
                throw IOError(
                    QStringLiteral("Cannot create a temporary file in"), base, error.errnoValue());
        }
    }
    throw IOError(QStringLiteral("Cannot create a temporary file in"), base, EEXIST);
}

TTempFile::TTempFile(const QString& folder)
{
    FileDescriptor file;
    m_path = MakeTempFileName(file, folder);
    m_stream = std::make_unique<TFileStream>(std::move(file), m_path);
}

TTempFile::~TTempFile()
{
    m_stream.reset();
    if (!m_keep)
        RemoveFile(m_path);
}

} // namespace plumtide
