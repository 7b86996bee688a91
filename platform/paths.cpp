#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace plumtide
{

QString ExecutablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    // Without an application object (some tools and tests) ask the kernel directly.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString FolderOfExecutable(const QString& executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return executablePath.left(slash);
}

QString ProgramFolder()
{
    return FolderOfExecutable(ExecutablePath());
}

QString DefaultDoublesFolder()
{
    QString parent = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (parent.isEmpty() || !QFileInfo(parent).isDir())
        parent = QDir::homePath();
    return JoinPath(parent, QStringLiteral("Plumtide doubles"));
}

bool IsDefaultDoublesFolder(const QString& folder)
{
    return !folder.isEmpty() && QDir::cleanPath(folder) == QDir::cleanPath(DefaultDoublesFolder());
}

QString ConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG base directory rules ignore a relative value.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString RelativeFolderName(const QString& destination, const QString& folder)
{
    if (folder.size() <= destination.size() || !folder.startsWith(destination))
        return QString();
    if (destination.endsWith(QLatin1Char('/')))
        return folder.mid(destination.size());
    // "/music2/Abba" is not below "/music".
    if (folder.at(destination.size()) != QLatin1Char('/'))
        return QString();
    return folder.mid(destination.size() + 1);
}

QString NumberedFileName(const QString& fileName, int number)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    // A leading dot starts a hidden name, not an extension.
    if (dot <= 0)
        return fileName + suffix;
    return fileName.left(dot) + suffix + fileName.mid(dot);
}

QString StateHome()
{
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

QString DataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QByteArray EncodePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString AbsolutePath(const QString& path)
{
    if (path.isEmpty())
        return path;
    // Only a relative path needs the current folder (a system call).
    if (!IsRelativePath(path))
        return QDir::cleanPath(path);
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool IsRelativePath(const QString& path)
{
    return !path.startsWith(QLatin1Char('/'));
}

} // namespace plumtide
