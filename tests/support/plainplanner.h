#pragma once

// Sort planning written as the plain nested loops, scoring every pair with the plain
// ArtistSimilarity: the reference the fast planner is compared with, in tests and in the
// planning benchmark; and the fast planner's rows kept as one list.

#include "core/matching/artistmatch.h"
#include "core/planning/planner.h"

#include <algorithm>

namespace plumtide::test
{

// The live planner's rows, kept: what a run carries out, as one list.
inline TSortPlan PlannedRows(const std::vector<TSourceRow>& files,
    const std::vector<TFolderRow>& folders, const QString& destination, int percentage, Pump& pump)
{
    std::vector<TPlanRow> rows;
    TSortPlanner planner(files, folders, destination, percentage);
    TSortPlan plan = planner.plan(pump, [&](const std::vector<TPlanEntry>& entries) {
        for (const TPlanEntry& entry : entries)
            rows.push_back(TPlanRow { files[static_cast<size_t>(entry.file)].path, entry.score,
                folders[static_cast<size_t>(entry.folder)].path });
    });
    plan.rows = std::move(rows);
    return plan;
}

inline TSortPlan PlainPlanSort(const std::vector<TSourceRow>& files,
    const std::vector<TFolderRow>& folders, const QString& destination, int percentage)
{
    TSortPlan plan;
    const auto listed = [&](const QString& candidate) {
        return plan.newArtists.contains(candidate, Qt::CaseInsensitive);
    };
    for (const TSourceRow& file : files) {
        if (file.key.size() < MinimumPlannedKeyLength)
            continue;
        if (folders.empty()) {
            const QString candidate = NormaliseArtist(file.key);
            if (!listed(candidate))
                plan.newArtists.append(candidate);
            continue;
        }
        bool tested = false;
        const size_t firstRow = plan.rows.size();
        for (const TFolderRow& folder : folders) {
            const double score = ArtistSimilarity(file.key, PlanningName(destination, folder.path));
            if (score >= percentage) {
                plan.rows.push_back(TPlanRow { file.path, score, folder.path });
                continue;
            }
            if (tested) // the test's outcome depends only on the file
                continue;
            tested = true;
            const QString candidate = NormaliseArtist(file.key);
            bool folderExists = false;
            for (const TFolderRow& other : folders)
                folderExists
                    = folderExists || ArtistSimilarity(candidate, other.relativeName) > percentage;
            if (!folderExists && !listed(candidate) && !candidate.contains(QStringLiteral(".MP3")))
                plan.newArtists.append(candidate);
        }
        // Best folder first; equal scores keep the folder order.
        std::stable_sort(plan.rows.begin() + static_cast<std::ptrdiff_t>(firstRow), plan.rows.end(),
            [](const TPlanRow& a, const TPlanRow& b) { return a.score > b.score; });
    }
    return plan;
}

} // namespace plumtide::test
