#include "core/planner.h"

#include "core/artistmatch.h"
#include "core/scanner.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <map>
#include <optional>

namespace plumtide
{

namespace
{

// Folder names prepared once, grouped by prepared length so that whole groups can be
// skipped when the lengths alone keep every score below the percentage.
class NameIndex
{
public:
    explicit NameIndex(const std::vector<QString>& names)
    {
        m_names.reserve(names.size());
        for (const QString& name : names)
            m_names.emplace_back(name);
        std::map<qsizetype, std::vector<int>> byLength;
        for (int i = 0; i < static_cast<int>(m_names.size()); ++i)
            byLength[m_names[static_cast<size_t>(i)].units().size()].push_back(i);
        m_groups.assign(byLength.begin(), byLength.end());
    }

    const PreparedName& name(int index) const { return m_names[static_cast<size_t>(index)]; }
    const std::vector<std::pair<qsizetype, std::vector<int>>>& groups() const { return m_groups; }

private:
    std::vector<PreparedName> m_names;
    std::vector<std::pair<qsizetype, std::vector<int>>> m_groups;
};

// Everything planning decides about one artist key; files with equal keys share it.
struct KeyOutcome {
    std::vector<std::pair<int, double>> rows; // folder index and score, best first
    bool anyBelow = false; // some folder scored below the percentage
    QString candidate; // the key normalised once more
    bool folderExists = false; // some listed name scores above the percentage
};

class Planner
{
public:
    Planner(const std::vector<TFolderRow>& folders, const QString& destination, int percentage)
        : Planner(folders, planNames(folders, destination), percentage)
    {
    }

    const KeyOutcome& outcome(const QString& key)
    {
        const auto found = m_cache.constFind(key);
        if (found != m_cache.constEnd())
            return *found;
        return *m_cache.insert(key, decide(key));
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

    KeyOutcome decide(const QString& key) const
    {
        KeyOutcome outcome;
        const PreparedName preparedKey(key);
        const qsizetype keyLength = preparedKey.units().size();
        for (const auto& [length, indexes] : m_planNames.groups()) {
            if (SimilarityUpperBound(keyLength, length) < m_percentage) {
                outcome.anyBelow = true;
                continue;
            }
            for (const int index : indexes) {
                const double score = ArtistSimilarity(preparedKey, m_planNames.name(index));
                if (score >= m_percentage)
                    outcome.rows.emplace_back(index, score);
                else
                    outcome.anyBelow = true;
            }
        }
        // The move takes a file's first row: the best folder comes first, and among equal
        // scores the one listed first.
        std::sort(outcome.rows.begin(), outcome.rows.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
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
        for (const auto& [length, indexes] : index.groups()) {
            if (SimilarityUpperBound(prepared.units().size(), length) <= m_percentage)
                continue;
            for (const int i : indexes) {
                if (ArtistSimilarity(prepared, index.name(i)) > m_percentage)
                    return true;
            }
        }
        return false;
    }

    int m_percentage;
    NameIndex m_planNames;
    std::optional<NameIndex> m_testNames;
    QHash<QString, KeyOutcome> m_cache;
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

} // namespace

QString PlanningName(const QString& destination, const QString& folderPath)
{
    if (folderPath.size() <= destination.size())
        return folderPath;
    const QString relative = RelativeFolderName(destination, folderPath);
    return relative.isEmpty() ? folderPath : relative;
}

TSortPlan PlanSort(const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders,
    const QString& destination, int percentage, Pump& pump)
{
    TSortPlan plan;
    NewArtists newArtists(plan.newArtists);
    Planner planner(folders, destination, percentage);
    for (const TSourceRow& file : files) {
        if (file.key.size() < MinimumPlannedKeyLength)
            continue;
        if (!pump.keepGoing()) {
            plan.aborted = true;
            break;
        }
        if (folders.empty()) {
            newArtists.add(NormaliseArtist(file.key));
            continue;
        }
        const KeyOutcome& outcome = planner.outcome(file.key);
        for (const auto& [index, score] : outcome.rows)
            plan.rows.push_back(
                TPlanRow { file.path, score, folders[static_cast<size_t>(index)].path });
        if (outcome.anyBelow && !outcome.folderExists
            && !outcome.candidate.contains(QStringLiteral(".MP3")))
            newArtists.add(outcome.candidate);
    }
    return plan;
}

} // namespace plumtide
