#include "core/moving/emptiedfolders.h"

#include "platform/paths.h"

#include <QDir>

#include <algorithm>

namespace plumtide
{

namespace
{

QString absoluteFolder(const QString& path)
{
    return QDir::cleanPath(AbsolutePath(path)) + QLatin1Char('/');
}

} // namespace

TEmptiedFolders::TEmptiedFolders(const QString& source, const QString& destination)
    : m_source(absoluteFolder(source))
    , m_destination(absoluteFolder(destination))
{
}

void TEmptiedFolders::note(const QString& file, const TFileSystemView& view)
{
    for (QString folder = FolderOf(file); !m_before.contains(folder); folder = FolderOf(folder)) {
        const QString path = absoluteFolder(folder);
        if (path.size() <= m_source.size() || !path.startsWith(m_source)
            || path.startsWith(m_destination))
            return;
        const TFileStatus status = view.status(folder);
        if (status.kind != PathKind::Folder)
            return;
        m_before.insert(folder, status.modified);
    }
}

void TEmptiedFolders::tookOut(const QString& file)
{
    const QString folder = FolderOf(file);
    if (m_before.contains(folder))
        m_tookFrom.insert(folder);
}

void TEmptiedFolders::offer(const TFileSystemView& view, qint64 quietSince,
    const std::function<bool(const QString&)>& remove)
{
    if (m_tookFrom.isEmpty())
        return;
    // A folder's path is longer than its parent's.
    QStringList folders = m_before.keys();
    std::sort(folders.begin(), folders.end(),
        [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders) {
        if (m_tookFrom.contains(folder) && m_before.value(folder) <= quietSince
            && view.entryNames(folder).isEmpty() && remove(folder))
            tookOut(folder);
    }
}

} // namespace plumtide
