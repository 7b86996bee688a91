#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QString ConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG base directory rules ignore a relative value.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

QByteArray EncodePath(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace plumtide
