#pragma once

#include "core/moving/moveevents.h"

#include <QString>

#include <utility>
#include <vector>

namespace plumtide
{

// How a move ended.
enum class TRunEnd {
    Completed,
    Aborted, // the user (or a signal) stopped it; what was done before stays done
    Failed, // an error that concerns the whole run stopped it
};

// Counts one more for `reason`, in the order the reasons first came up.
void CountReason(std::vector<std::pair<TReason, int>>& reasons, TReason reason);
// Counts by reason as a user reads them: "2 in use, 1 folder missing".
QString ReasonCounts(const std::vector<std::pair<TReason, int>>& reasons);

// What one move did, counted per file: the line a user reads after every move.
struct TMoveSummary {
    int moved = 0;
    int companionsMoved = 0; // lyrics, cue sheets and notes that went with a song: within moved
    // Songs filed under a numbered name, their own holding a different song: within moved.
    int nameTaken = 0;
    int doublesMoved = 0;
    int doublesDeleted = 0;
    int doublesKept = 0;
    int smallDeleted = 0;
    int inPlace = 0;
    int created = 0; // folders made for new artists
    int notCreated = 0;
    int deleted = 0; // by hand
    int restored = 0; // by an undo
    int removed = 0; // folders an undo removed
    int foldersRemoved = 0; // sub-folders of the source a run emptied and removed
    int notRestored = 0;
    // Where the doubles set aside went (the folder of the first).
    QString doublesFolder;
    // What an undo left, by reason, in the order the reasons first came up.
    std::vector<std::pair<TReason, int>> notRestoredReasons;
    // Files an undo brought back, left alone by an automatic run.
    int heldByUndo = 0;
    // Files left where they were, by reason, in the order the reasons first came up.
    std::vector<std::pair<TReason, int>> skipped;
    TRunEnd end = TRunEnd::Completed;
    QString failure; // why a failed run stopped

    // Counts one outcome. Rows that only repeat a file an earlier row dealt with are not
    // files of their own and are not counted; every other file is counted once.
    void count(const TMoveEvent& event);
    int skippedFiles() const;
    // Whether the move changed anything on disk or left files behind that it was asked to
    // move: what is worth telling a user who was not watching. Files an undo holds back are
    // where the user wants them.
    bool anythingHappened() const;

    // One line: "3 files moved, 1 double set aside in /music/Doubles, 2 skipped (1 in use, 1
    // folder missing)", "Nothing to move" when the plan named no file, and how an aborted or
    // failed run ended before what it did.
    QString text() const;
};

// `text` as a JSON string, quotes included: written exactly as it is (paths as on disk), with
// what JSON requires escaped.
QString JsonString(const QString& text);

// The summary record of `plumtide-cli sort --json` and of what a run's hook reads: one JSON
// object of the counts, how the run ended and the files it `left`.
QString SummaryRecordJson(const TMoveSummary& summary, size_t left);

} // namespace plumtide
