#include "core/matching/assignments.h"

#include "core/matching/carefulmatch.h"
#include "platform/atomicfile.h"
#include "platform/descriptor.h"
#include "platform/errors.h"
#include "platform/locks.h"
#include "platform/names.h"
#include "platform/paths.h"

#include <algorithm>

namespace plumtide
{

namespace
{

// What an assignments file can hold at most; a bigger one was not written by Plumtide.
constexpr qint64 kMaxAssignmentsFile = 16 << 20;

QString normalisedFolder(const QString& folder)
{
    QString result = folder;
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool storableFolder(const QString& folder)
{
    if (folder.isEmpty() || folder.startsWith(QLatin1Char('/')))
        return false;
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))
        || folder.contains(QChar(0)))
        return false;
    const QStringList parts = folder.split(QLatin1Char('/'));
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1StringView(".") || part == QLatin1StringView("..");
    });
}

} // namespace

TAssignments TAssignments::Parse(const QByteArray& utf8)
{
    TAssignments result;
    QString text = QString::fromUtf8(utf8);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    std::vector<bool> overridden(size_t(lines.size()));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        Line entry { line, std::nullopt };
        if (tab > 0) {
            const QString key = FoldArtist(QStringView(line).left(tab));
            const QString folder = normalisedFolder(line.mid(tab + 1));
            if (!key.isEmpty() && storableFolder(folder)) {
                entry.assignment = TAssignment { key, folder };
                // Of two lines with one key the later holds.
                const auto earlier = result.m_index.constFind(key);
                if (earlier != result.m_index.constEnd())
                    overridden[*earlier] = true;
                result.m_index.insert(key, result.m_lines.size());
            }
        }
        result.m_lines.push_back(std::move(entry));
    }
    size_t kept = 0;
    for (size_t i = 0; i < result.m_lines.size(); ++i)
        if (!overridden[i])
            result.m_lines[kept++] = std::move(result.m_lines[i]);
    result.m_lines.resize(kept);
    result.reindex();
    return result;
}

QByteArray TAssignments::serialise() const
{
    QString text;
    for (const Line& line : m_lines) {
        if (line.assignment)
            text += line.assignment->artist + QLatin1Char('\t') + line.assignment->folder;
        else
            text += line.text;
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

bool TAssignments::assign(QStringView artist, const QString& folder)
{
    const QString key = FoldArtist(artist);
    const QString relative = normalisedFolder(folder);
    if (key.isEmpty() || !storableFolder(relative))
        return false;
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd()) {
        m_lines[*found].assignment->folder = relative;
        return true;
    }
    m_index.insert(key, m_lines.size());
    m_lines.push_back(Line { QString(), TAssignment { key, relative } });
    return true;
}

bool TAssignments::remove(QStringView artist)
{
    const auto found = m_index.constFind(FoldArtist(artist));
    if (found == m_index.constEnd())
        return false;
    m_lines.erase(m_lines.begin() + qsizetype(*found));
    reindex();
    return true;
}

std::optional<QString> TAssignments::folderFor(const QString& key) const
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return std::nullopt;
    return m_lines[*found].assignment->folder;
}

std::vector<TAssignment> TAssignments::entries() const
{
    std::vector<TAssignment> result;
    for (const Line& line : m_lines)
        if (line.assignment)
            result.push_back(*line.assignment);
    return result;
}

void TAssignments::reindex()
{
    m_index.clear();
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].assignment)
            m_index.insert(m_lines[i].assignment->artist, i);
}

TAssignments LoadAssignments(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadSmallFile(path, kMaxAssignmentsFile);
    return bytes ? TAssignments::Parse(*bytes) : TAssignments();
}

void SaveAssignments(const QString& path, const TAssignments& assignments)
{
    CreateFolders(FolderOf(path));
    WriteFileAtomically(path, assignments.serialise(), 0600);
}

bool UpdateAssignments(const QString& path, const std::function<bool(TAssignments&)>& change)
{
    CreateFolders(FolderOf(path));
    const QString lockPath = path + QStringLiteral(".lock");
    const TLockedFile lock = LockFile(lockPath, true);
    if (!lock.file.isOpen())
        throw IOError(QStringLiteral("Cannot lock"), lockPath, lock.error);
    TAssignments assignments = LoadAssignments(path);
    if (!change(assignments))
        return false;
    SaveAssignments(path, assignments);
    return true;
}

TAssignmentIndex::TAssignmentIndex(
    const TAssignments& assignments, const std::vector<TFolderRow>& folders)
{
    if (assignments.isEmpty())
        return;
    QHash<QString, qint32> byName;
    for (qint32 i = 0; i < qint32(folders.size()); ++i)
        byName.insert(folders[size_t(i)].relativeName, i); // a later duplicate is the same
    for (TAssignment& assignment : assignments.entries()) {
        const auto folder = byName.constFind(assignment.folder);
        if (folder != byName.constEnd())
            m_folderOf.insert(assignment.artist, *folder);
        else
            m_missing.push_back(std::move(assignment));
    }
}

std::optional<qint32> TAssignmentIndex::find(const QStringList& candidates) const
{
    if (m_folderOf.isEmpty())
        return std::nullopt;
    for (const QString& key : candidates) {
        const auto found = m_folderOf.constFind(key);
        if (found != m_folderOf.constEnd())
            return *found;
    }
    return std::nullopt;
}

std::optional<qint32> TAssignmentIndex::find(
    const QString& tagArtist, const QString& fileName) const
{
    if (m_folderOf.isEmpty())
        return std::nullopt;
    // A credit of several artists splits at "&" or "," where two of them are assigned.
    return find(ArtistCandidates(ArtistTextOf(tagArtist, fileName),
        [this](const QString& key) { return m_folderOf.contains(key); }));
}

} // namespace plumtide
