#include "core/planning/scanner.h"

#include "core/moving/companions.h"
#include "core/moving/fileutils.h"

#include "platform/folderreader.h"
#include "platform/paths.h"

#include <QCollator>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <deque>
#include <vector>

namespace plumtide
{

namespace
{

// Reads one folder's entries in name order, so that which of two paths to the same real
// folder is kept never depends on the order the file system returns them in.
std::vector<FolderEntry> readSorted(FolderReader& reader, bool foldersOnly)
{
    std::vector<FolderEntry> entries;
    FolderEntry entry;
    while (reader.next(entry)) {
        if (!foldersOnly || entry.kind == FolderEntry::Kind::Folder)
            entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
        [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

// The entry's name, and whether it leads back to the same bytes on disk.
struct DecodedName {
    QString text;
    bool exact;
};

DecodedName decode(const QByteArray& name)
{
    // Most names are ASCII, which decodes one to one.
    if (std::all_of(name.cbegin(), name.cend(), [](char c) { return (c & 0x80) == 0; }))
        return { QString::fromLatin1(name), true };
    QString text = QFile::decodeName(name);
    const bool exact = QFile::encodeName(text) == name;
    return { std::move(text), exact };
}

bool hasExtension(const QString& name, const QString& extension)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QStringView actual = dot < 0 ? QStringView() : QStringView(name).mid(dot);
    return actual.compare(extension, Qt::CaseInsensitive) == 0;
}

// The walk both scanners share: breadth-first from `start`, each real folder once.
// `onFolder(path)` is called for every folder below the start as it is found,
// `onFile(folder, entry)` for every file entry of a walked folder (none when `filesToo` is
// false). Folders reached only through symbolic links wait until every folder with a
// path of its own has been walked, so a folder inside the tree keeps its real path
// however many links lead to it. Stops as soon as the pump asks.
template <typename OnFolder, typename OnFile>
void walk(const QString& start, bool skipHiddenFolders, bool filesToo, bool followLinks, Pump& pump,
    DetailsSink& details, OnFolder&& onFolder, OnFile&& onFile)
{
    std::deque<QString> queue { start };
    std::deque<std::pair<QString, FolderId>> links;
    QSet<FolderId> seen;

    for (;;) {
        if (queue.empty()) {
            if (links.empty())
                return;
            auto [path, id] = std::move(links.front());
            links.pop_front();
            if (seen.contains(id))
                continue;
            seen.insert(id);
            onFolder(path);
            queue.push_back(std::move(path));
        }
        if (!pump.keepGoing())
            return;
        const QString current = std::move(queue.front());
        queue.pop_front();
        FolderReader reader(EncodePath(current));
        if (!reader.isOpen())
            continue;
        seen.insert(reader.id()); // new only for the start folder

        for (const FolderEntry& entry : readSorted(reader, !filesToo)) {
            if (!pump.keepGoing())
                return;
            if (entry.link && !followLinks)
                continue;
            if (entry.kind == FolderEntry::Kind::File) {
                onFile(current, entry);
                continue;
            }
            if (entry.kind != FolderEntry::Kind::Folder || seen.contains(entry.folderId))
                continue;
            if (skipHiddenFolders && entry.name.startsWith('.'))
                continue;
            const DecodedName name = decode(entry.name);
            QString full = JoinPath(current, name.text);
            if (!name.exact) {
                details.addLine(full + UndecodableNameSuffix);
            } else if (entry.link) {
                links.emplace_back(std::move(full), entry.folderId);
            } else {
                seen.insert(entry.folderId);
                onFolder(full);
                queue.push_back(std::move(full));
            }
        }
    }
}

// The files below `folder` whose name `wanted` takes, as GetFileList lists them.
template <typename Wanted>
QStringList fileList(const QString& folder, Wanted&& wanted, Pump& pump, DetailsSink& details,
    const FileInUseTest& isFileInUse)
{
    QStringList result;
    details.clear();
    // Symbolic links are left out: what they lead to lies outside the source, and moving
    // it (or deleting it as small) would change a folder the user never named.
    walk(
        folder, false, true, false, pump, details, [](const QString&) {},
        [&](const QString& current, const FolderEntry& entry) {
            const DecodedName name = decode(entry.name);
            if (!wanted(current, name))
                return;
            const QString full = JoinPath(current, name.text);
            if (!name.exact) {
                details.addLine(full + UndecodableNameSuffix);
            } else if (isFileInUse(full)) {
                details.addLine(full + FileInUseSuffix);
            } else {
                result.append(full);
                details.addLine(full);
            }
        });
    SortPaths(result);
    return result;
}

} // namespace

QStringList GetFileList(const QString& folder, const QString& extension, Pump& pump,
    DetailsSink& details, const FileInUseTest& isFileInUse)
{
    return fileList(
        folder,
        [&](const QString&, const DecodedName& name) { return hasExtension(name.text, extension); },
        pump, details, isFileInUse);
}

QStringList GetFileList(
    const QString& folder, const QString& extension, Pump& pump, DetailsSink& details)
{
    return GetFileList(
        folder, extension, pump, details, [](const QString& path) { return IsFileInUse(path); });
}

QStringList GetFileList(const QString& folder, const TFileFormats& formats, Pump& pump,
    DetailsSink& details, const FileInUseTest& isFileInUse, QStringList* companions)
{
    if (companions)
        companions->clear();
    QStringList files = fileList(
        folder,
        [&](const QString& current, const DecodedName& name) {
            if (formats.namesFile(name.text))
                return true;
            if (companions && name.exact && IsCompanionName(name.text))
                companions->append(JoinPath(current, name.text));
            return false;
        },
        pump, details, isFileInUse);
    if (companions)
        SortPaths(*companions);
    return files;
}

QStringList GetDirList(const QString& folder, Pump& pump, DetailsSink& details)
{
    QStringList list { folder };
    details.clear();
    walk(
        folder, true, false, true, pump, details, [&](const QString& path) { list.append(path); },
        [](const QString&, const FolderEntry&) {});

    // The caller skips the first element as the folder itself, so it stays first whatever
    // the collation makes of a path and its extensions.
    QStringList below = list.mid(1);
    SortPaths(below);
    list.resize(1);
    list.append(below);
    return list;
}

namespace
{

// QString::toCaseFolded, with a quick way for the common path of ASCII characters only,
// where folding is lowering A to Z.
QString caseFolded(const QString& text)
{
    QString folded(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(folded.data());
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = in[i];
        if (c >= 0x80)
            return text.toCaseFolded();
        out[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
    }
    return folded;
}

} // namespace

void SortPaths(QStringList& paths)
{
    if (paths.size() < 2)
        return;
    // One collator and one key per path: comparing keys is a byte comparison, where
    // comparing the strings would redo the locale's work at every step of the sort.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(paths.size());
    // Qt's sort keys for the C locale (LANG=C.UTF-8, common on servers) keep case
    // whatever the setting; folding first makes every locale ignore it.
    for (const QString& path : std::as_const(paths))
        keys.push_back(collator.sortKey(caseFolded(path)));

    std::vector<qsizetype> order(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int byLocale = keys[a].compare(keys[b]);
        if (byLocale != 0)
            return byLocale < 0;
        return paths.at(a) < paths.at(b);
    });

    QStringList sorted;
    sorted.reserve(paths.size());
    for (qsizetype i : order)
        sorted.append(paths.at(i));
    paths = std::move(sorted);
}

} // namespace plumtide
