#include "core/planning/planner.h"

#include "core/matching/artistmatch.h"
#include "core/matching/carefulmatch.h"
#include "core/matching/similaritykernel.h"
#include "core/planning/scanner.h"
#include "platform/paths.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <map>
#include <optional>

namespace plumtide
{

namespace
{

// Folder names prepared once and stored by prepared length: the code units of each length
// group's names side by side, so that scoring one key against a group reads one array
// from start to end, and whole groups can be skipped when the lengths alone keep every
// score below the percentage.
class NameIndex
{
public:
    struct Group {
        qsizetype length;
        std::vector<char16_t> units; // length units per name, names in folder order
        std::vector<qint32> indexes; // the folder of each name
    };

    explicit NameIndex(const std::vector<QString>& names)
    {
        std::map<qsizetype, Group> byLength;
        for (qint32 i = 0; i < static_cast<qint32>(names.size()); ++i) {
            const PreparedName prepared(names[static_cast<size_t>(i)]);
            const QStringView units = prepared.units();
            Group& group = byLength[units.size()];
            group.length = units.size();
            group.units.insert(group.units.end(), units.utf16(), units.utf16() + units.size());
            group.indexes.push_back(i);
        }
        for (auto& [length, group] : byLength) {
            // A name of a group is read a few units past its end by the scorer's blocks
            // only within the shorter length, never beyond the array: no padding needed.
            group.units.shrink_to_fit();
            m_groups.push_back(std::move(group));
        }
    }

    const std::vector<Group>& groups() const { return m_groups; }

private:
    std::vector<Group> m_groups;
};

// Everything planning decides about one artist key; files with equal keys share it.
struct KeyOutcome {
    std::vector<std::pair<qint32, double>> rows; // folder index and score, best first
    bool rowsKept = true; // false: over the budget, scored again for each file
    bool anyBelow = false; // some folder scored below the percentage
    QString candidate; // the key normalised once more
    bool folderExists = false; // some listed name scores above the percentage
};

// Rows kept for keys shared by files, at most this many in all (16 bytes each): beyond it
// a key's rows are scored again for each of its files, and memory stays flat.
constexpr size_t kKeptRowBudget = size_t { 1 } << 20;

class Planner
{
public:
    Planner(const std::vector<TFolderRow>& folders, const QString& destination, int percentage)
        : Planner(folders, planNames(folders, destination), percentage)
    {
    }

    // The outcome for `key`; its rows are in `rows` (the outcome's own, or scored anew).
    const KeyOutcome& outcome(
        const QString& key, const std::vector<std::pair<qint32, double>>*& rows)
    {
        auto found = m_cache.find(key);
        if (found == m_cache.end()) {
            KeyOutcome decided = decide(key);
            if (m_keptRows + decided.rows.size() <= kKeptRowBudget) {
                m_keptRows += decided.rows.size();
            } else {
                m_scratch = std::move(decided.rows);
                decided.rows = {};
                decided.rowsKept = false;
                found = m_cache.insert(key, std::move(decided));
                rows = &m_scratch;
                return *found;
            }
            found = m_cache.insert(key, std::move(decided));
        } else if (!found->rowsKept) {
            m_scratch.clear();
            score(PreparedName(key), m_scratch);
            rows = &m_scratch;
            return *found;
        }
        rows = &found->rows;
        return *found;
    }

private:
    static std::vector<QString> planNames(
        const std::vector<TFolderRow>& folders, const QString& destination)
    {
        std::vector<QString> names;
        names.reserve(folders.size());
        for (const TFolderRow& folder : folders)
            names.push_back(PlanningName(destination, folder.path));
        return names;
    }

    Planner(
        const std::vector<TFolderRow>& folders, const std::vector<QString>& names, int percentage)
        : m_percentage(percentage)
        , m_planNames(names)
        , m_testNames(testNames(folders, names))
    {
    }

    // The new-artist test compares with the relative names as listed; they are the planning
    // names unless the list was made for another destination.
    static std::optional<NameIndex> testNames(
        const std::vector<TFolderRow>& folders, const std::vector<QString>& planNames)
    {
        std::vector<QString> names;
        names.reserve(folders.size());
        for (const TFolderRow& folder : folders)
            names.push_back(folder.relativeName);
        if (names == planNames)
            return std::nullopt;
        return NameIndex(names);
    }

    // Scores `key` against every folder whose length can reach the percentage; the rows
    // that do, best first (equal scores in folder order). True when some folder scored
    // below the percentage.
    bool score(const PreparedName& key, std::vector<std::pair<qint32, double>>& rows) const
    {
        bool anyBelow = false;
        const char16_t* a = key.units().utf16();
        const qsizetype keyLength = key.units().size();
        for (const NameIndex::Group& group : m_planNames.groups()) {
            const qsizetype length = group.length;
            if (SimilarityUpperBound(keyLength, length) < m_percentage) {
                anyBelow = true;
                continue;
            }
            const qsizetype shorter = std::min(keyLength, length);
            const qsizetype difference = std::max(keyLength, length) - shorter;
            const char16_t* b = group.units.data();
            const size_t count = group.indexes.size();
            for (size_t j = 0; j < count; ++j, b += length) {
                const qint64 twentieths = kernel::twentieths(a, b, shorter);
                if (ReachesThreshold(twentieths, shorter, difference, m_percentage))
                    rows.emplace_back(
                        group.indexes[j], SimilarityOfTwentieths(twentieths, shorter, difference));
                else
                    anyBelow = true;
            }
        }
        // The move takes a file's first row: the best folder comes first, and among equal
        // scores the one listed first.
        std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) {
            return x.second != y.second ? x.second > y.second : x.first < y.first;
        });
        return anyBelow;
    }

    KeyOutcome decide(const QString& key) const
    {
        KeyOutcome outcome;
        outcome.anyBelow = score(PreparedName(key), outcome.rows);
        if (!outcome.anyBelow)
            return outcome; // the new-artist test is never reached for this key

        outcome.candidate = NormaliseArtist(key);
        if (outcome.candidate == key && !m_testNames) {
            // Same name against the same folders: the scores are the ones just taken.
            outcome.folderExists = std::any_of(outcome.rows.begin(), outcome.rows.end(),
                [&](const auto& row) { return row.second > m_percentage; });
        } else {
            outcome.folderExists
                = anyAbove(outcome.candidate, m_testNames ? *m_testNames : m_planNames);
        }
        return outcome;
    }

    bool anyAbove(const QString& name, const NameIndex& index) const
    {
        const PreparedName prepared(name);
        const char16_t* a = prepared.units().utf16();
        const qsizetype nameLength = prepared.units().size();
        for (const NameIndex::Group& group : index.groups()) {
            const qsizetype length = group.length;
            if (SimilarityUpperBound(nameLength, length) <= m_percentage)
                continue;
            const qsizetype shorter = std::min(nameLength, length);
            const qsizetype difference = std::max(nameLength, length) - shorter;
            const char16_t* b = group.units.data();
            for (size_t j = 0; j < group.indexes.size(); ++j, b += length) {
                // Strictly above: at least the next whole percentage or between the two.
                if (SimilarityOfTwentieths(kernel::twentieths(a, b, shorter), shorter, difference)
                    > m_percentage)
                    return true;
            }
        }
        return false;
    }

    int m_percentage;
    NameIndex m_planNames;
    std::optional<NameIndex> m_testNames;
    QHash<QString, KeyOutcome> m_cache;
    size_t m_keptRows = 0;
    std::vector<std::pair<qint32, double>> m_scratch;
};

// The new artists, kept in order and compared without regard to case.
class NewArtists
{
public:
    explicit NewArtists(QStringList& list)
        : m_list(list)
    {
    }
    void add(const QString& candidate)
    {
        const QString folded = candidate.toCaseFolded();
        if (m_seen.contains(folded))
            return;
        m_seen.insert(folded);
        m_list.append(candidate);
    }

private:
    QStringList& m_list;
    QSet<QString> m_seen;
};

// A key made from the name of a file without an artist tag holds the name's extension, as
// the key writes it (".MP3", ".FLAC"): it names no artist to make a folder for.
QString extensionInKey(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/')))
        return QStringLiteral(".MP3");
    return NormaliseArtist(QStringLiteral("x") + path.mid(dot)).mid(1);
}

} // namespace

QString PlanningName(const QString& destination, const QString& folderPath)
{
    if (folderPath.size() <= destination.size())
        return folderPath;
    const QString relative = RelativeFolderName(destination, folderPath);
    return relative.isEmpty() ? folderPath : relative;
}

class TSortPlanner::Impl
{
public:
    Impl(const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders,
        const QString& destination, int percentage, std::vector<qint32> assigned)
        : files(files)
        , folders(folders)
        , destination(destination)
        , planner(folders, destination, percentage)
        , assigned(std::move(assigned))
    {
    }

    // The folder the user assigned file `i` to, with its score; nothing when none.
    std::optional<std::pair<qint32, double>> assignedRow(size_t i) const
    {
        if (i >= assigned.size() || assigned[i] < 0)
            return std::nullopt;
        const qint32 folder = assigned[i];
        return std::pair { folder,
            ArtistSimilarity(
                files[i].key, PlanningName(destination, folders[size_t(folder)].path)) };
    }

    // The folder of file `i`'s own artist by careful matching, if it has one: such an artist
    // is no new artist, whatever the similar rule scored. Built when first asked, since most
    // plans never ask.
    std::optional<qint32> sameArtistFolder(size_t i) const
    {
        if (folders.empty())
            return std::nullopt;
        if (!careful)
            careful = std::make_unique<TCarefulMatcher>(folders);
        const std::optional<TCarefulMatch> match
            = careful->matchByTag(files[i].artist, FileNameOf(files[i].path));
        if (!match || match->kind != TMatchKind::Same)
            return std::nullopt;
        return match->folder;
    }

    const std::vector<TSourceRow>& files;
    const std::vector<TFolderRow>& folders;
    QString destination;
    Planner planner;
    mutable std::unique_ptr<TCarefulMatcher> careful;
    std::vector<qint32> assigned;
    std::vector<std::pair<qint32, double>> assignedRows; // next()'s row of an assigned file
    TMatchKind nextMatch = TMatchKind::Similar;
    std::vector<TPlanEntry> entries;
    // Where next() stands: the file whose rows it gives, and the row within them.
    size_t nextFile = 0;
    size_t nextRow = 0;
    const std::vector<std::pair<qint32, double>>* nextRows = nullptr;
};

TSortPlanner::TSortPlanner(const std::vector<TSourceRow>& files,
    const std::vector<TFolderRow>& folders, const QString& destination, int percentage,
    std::vector<qint32> assigned)
    : m_impl(std::make_unique<Impl>(files, folders, destination, percentage, std::move(assigned)))
{
}

TSortPlanner::~TSortPlanner() = default;

TSortPlan TSortPlanner::plan(
    Pump& pump, const std::function<void(const std::vector<TPlanEntry>&)>& onRows)
{
    TSortPlan plan;
    NewArtists newArtists(plan.newArtists);
    const std::vector<TSourceRow>& files = m_impl->files;
    std::vector<TPlanEntry>& entries = m_impl->entries;
    for (size_t i = 0; i < files.size(); ++i) {
        const TSourceRow& file = files[i];
        const std::optional<std::pair<qint32, double>> assigned = m_impl->assignedRow(i);
        if (file.key.size() < MinimumPlannedKeyLength && !assigned)
            continue;
        if (!pump.keepGoing()) {
            plan.aborted = true;
            break;
        }
        if (assigned) {
            entries.assign({ TPlanEntry { static_cast<qint32>(i), assigned->first, assigned->second,
                TMatchKind::Assigned } });
            onRows(entries);
            continue;
        }
        if (m_impl->folders.empty()) {
            newArtists.add(NormaliseArtist(file.key));
            continue;
        }
        const std::vector<std::pair<qint32, double>>* rows = nullptr;
        const KeyOutcome& outcome = m_impl->planner.outcome(file.key, rows);
        entries.clear();
        for (const auto& [folder, score] : *rows)
            entries.push_back(TPlanEntry { static_cast<qint32>(i), folder, score });
        onRows(entries);
        if (outcome.anyBelow && !outcome.folderExists
            && !outcome.candidate.contains(extensionInKey(file.path))
            && !m_impl->sameArtistFolder(i))
            newArtists.add(outcome.candidate);
    }
    return plan;
}

TUnfiledEntry TSortPlanner::unfiled(qint32 file) const
{
    if (const std::optional<qint32> folder = m_impl->sameArtistFolder(size_t(file)))
        return { file, TUnfiledReason::SameArtist, { *folder } };
    return { file };
}

bool TSortPlanner::next(TPlanRow& row)
{
    Impl& impl = *m_impl;
    while (!impl.nextRows || impl.nextRow >= impl.nextRows->size()) {
        if (impl.nextRows)
            ++impl.nextFile;
        impl.nextRows = nullptr;
        impl.nextRow = 0;
        if (impl.nextFile >= impl.files.size() || impl.folders.empty())
            return false;
        const TSourceRow& file = impl.files[impl.nextFile];
        impl.nextMatch = TMatchKind::Similar;
        if (const auto assigned = impl.assignedRow(impl.nextFile)) {
            impl.assignedRows.assign({ *assigned });
            impl.nextRows = &impl.assignedRows;
            impl.nextMatch = TMatchKind::Assigned;
            continue;
        }
        if (file.key.size() < MinimumPlannedKeyLength) {
            ++impl.nextFile;
            continue;
        }
        impl.planner.outcome(file.key, impl.nextRows);
    }
    const auto& [folder, score] = (*impl.nextRows)[impl.nextRow++];
    row = TPlanRow { impl.files[impl.nextFile].path, score,
        impl.folders[static_cast<size_t>(folder)].path, impl.nextMatch };
    return true;
}

} // namespace plumtide
