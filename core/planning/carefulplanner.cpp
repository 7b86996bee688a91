#include "core/planning/carefulplanner.h"

#include "core/matching/artistmatch.h"
#include "platform/paths.h"

namespace plumtide
{

TCarefulPlanner::TCarefulPlanner(const std::vector<TSourceRow>& files,
    const std::vector<TFolderRow>& folders, const QString& destination,
    const TAssignments& assignments, bool acceptOneOff)
    : m_files(files)
    , m_folders(folders)
    , m_destination(destination)
    , m_matcher(folders, assignments, acceptOneOff)
{
}

TCarefulPlanner::~TCarefulPlanner() = default;

std::optional<TPlanEntry> TCarefulPlanner::rowOf(size_t file) const
{
    const TSourceRow& row = m_files[file];
    const std::optional<TCarefulMatch> match = m_matcher.match(row.artist, FileNameOf(row.path));
    if (!match)
        return std::nullopt;
    const QString& folder = m_folders[size_t(match->folder)].path;
    return TPlanEntry { qint32(file), match->folder,
        ArtistSimilarity(row.key, PlanningName(m_destination, folder)), match->kind };
}

TSortPlan TCarefulPlanner::plan(
    Pump& pump, const std::function<void(const std::vector<TPlanEntry>&)>& onRows)
{
    TSortPlan plan;
    TCarefulNewArtists newArtists(m_matcher);
    std::vector<TPlanEntry> entries;
    for (size_t i = 0; i < m_files.size(); ++i) {
        if (!pump.keepGoing()) {
            plan.aborted = true;
            break;
        }
        entries.clear();
        if (const std::optional<TPlanEntry> entry = rowOf(i))
            entries.push_back(*entry);
        else
            newArtists.add(m_files[i].artist, FileNameOf(m_files[i].path));
        onRows(entries);
    }
    plan.newArtists = newArtists.names();
    return plan;
}

bool TCarefulPlanner::next(TPlanRow& row)
{
    while (m_next < m_files.size()) {
        const std::optional<TPlanEntry> entry = rowOf(m_next++);
        if (!entry)
            continue;
        row = TPlanRow { m_files[size_t(entry->file)].path, entry->score,
            m_folders[size_t(entry->folder)].path, entry->match };
        return true;
    }
    return false;
}

TUnfiledEntry TCarefulPlanner::unfiled(qint32 file) const
{
    const TSourceRow& row = m_files[size_t(file)];
    TCarefulMiss miss = m_matcher.whyUnfiled(row.artist, FileNameOf(row.path));
    return { file, miss.reason, std::move(miss.folders) };
}

const std::vector<TAssignment>& TCarefulPlanner::missingAssignments() const
{
    return m_matcher.assignments().missing();
}

std::vector<qint32> AssignedFolders(
    const std::vector<TSourceRow>& files, const TAssignmentIndex& assignments)
{
    std::vector<qint32> folders;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::optional<qint32> folder
            = assignments.find(files[i].artist, FileNameOf(files[i].path));
        if (!folder)
            continue;
        folders.resize(files.size(), -1);
        folders[i] = *folder;
    }
    return folders;
}

} // namespace plumtide
