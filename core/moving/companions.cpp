#include "core/moving/companions.h"

#include "platform/names.h"
#include "platform/paths.h"

#include <QSet>

#include <algorithm>
#include <array>

namespace plumtide
{

namespace
{

const std::array<QLatin1StringView, 3> kExtensions {
    QLatin1StringView("lrc"),
    QLatin1StringView("cue"),
    QLatin1StringView("txt"),
};

// The name without its extension; a leading dot starts a hidden name, not an extension.
QString baseOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? name : name.left(dot);
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

} // namespace

QStringList CompanionCandidates(const QString& song)
{
    const QString name = FileNameOf(song);
    const QString stem = JoinPath(FolderOf(song), baseOf(name)) + QLatin1Char('.');
    const QString extension = extensionOf(name);
    const bool upper = !extension.isEmpty() && extension == extension.toUpper()
        && extension != extension.toLower();
    QStringList candidates;
    for (const QLatin1StringView companion : kExtensions) {
        candidates.append(stem + companion);
        if (upper)
            candidates.append(stem + QString(companion).toUpper());
    }
    return candidates;
}

bool IsCompanionName(const QString& path)
{
    const QString extension = extensionOf(FileNameOf(path));
    for (const QLatin1StringView companion : kExtensions) {
        if (extension.compare(companion, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString CompanionTarget(const QString& companion, const QString& songTarget)
{
    return JoinPath(FolderOf(songTarget), baseOf(FileNameOf(songTarget))) + QLatin1Char('.')
        + extensionOf(FileNameOf(companion));
}

bool IsCompanionOf(const QString& companion, const QString& song)
{
    return IsCompanionName(companion) && companion != song && FolderOf(companion) == FolderOf(song)
        && baseOf(FileNameOf(companion)) == baseOf(FileNameOf(song));
}

QString CompanionStem(const QString& path)
{
    return JoinPath(FolderOf(path), baseOf(FileNameOf(path))) + QLatin1Char('.');
}

QStringList StrayCompanions(const QStringList& companions, const QStringList& songs)
{
    QSet<QString> stems;
    stems.reserve(songs.size());
    for (const QString& song : songs)
        stems.insert(CompanionStem(song));
    QStringList strays;
    for (const QString& companion : companions) {
        if (!stems.contains(CompanionStem(companion)))
            strays.append(companion);
    }
    return strays;
}

bool HasSongBeside(const QString& companion, const TFileFormats& formats)
{
    const QString base = baseOf(FileNameOf(companion));
    const QStringList names = EntryNames(FolderOf(companion));
    return std::any_of(names.begin(), names.end(),
        [&](const QString& name) { return formats.namesFile(name) && baseOf(name) == base; });
}

} // namespace plumtide
