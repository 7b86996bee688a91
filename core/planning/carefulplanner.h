#pragma once

#include "core/matching/assignments.h"
#include "core/matching/carefulmatch.h"
#include "core/planning/planner.h"

#include <memory>
#include <vector>

namespace plumtide
{

// Planning by careful matching (see TCarefulMatcher): each file gets at most one row, the
// folder of its own artist (or the one the user assigned it to; one letter off only with
// `acceptOneOff`), scored as the similar rule
// scores that folder so that records can still show a score; the artists left without a
// folder are proposed as TCarefulNewArtists proposes them. The files and folders must
// outlive the planner and stay as they are.
class TCarefulPlanner : public TPlanner
{
public:
    TCarefulPlanner(const std::vector<TSourceRow>& files, const std::vector<TFolderRow>& folders,
        const QString& destination, const TAssignments& assignments, bool acceptOneOff = false);
    ~TCarefulPlanner() override;

    TSortPlan plan(
        Pump& pump, const std::function<void(const std::vector<TPlanEntry>&)>& onRows) override;
    bool next(TPlanRow& row) override;
    TUnfiledEntry unfiled(qint32 file) const override;

    // Assignments whose folder is gone: ignored.
    const std::vector<TAssignment>& missingAssignments() const;

private:
    std::optional<TPlanEntry> rowOf(size_t file) const;

    const std::vector<TSourceRow>& m_files;
    const std::vector<TFolderRow>& m_folders;
    QString m_destination;
    TCarefulMatcher m_matcher;
    size_t m_next = 0;
};

// The folder each file is assigned to (-1 for none), for the similar rule's planner; empty
// when no assignment applies to any file.
std::vector<qint32> AssignedFolders(
    const std::vector<TSourceRow>& files, const TAssignmentIndex& assignments);

} // namespace plumtide
