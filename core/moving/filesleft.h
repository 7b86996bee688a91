#pragma once

#include "core/moving/moveevents.h"
#include "core/planning/leaveout.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace plumtide
{

// The files a sort left in the source that it was asked to file, and why: what an unattended
// user must be told. Left are files skipped for any reason (in use, still being written, a
// folder missing, ...) and files the plan gave no folder (NoArtistFolder): those have no row,
// so no event names them, and they are found as the listed files no event named. Not left: a
// double kept by the user's choice, a file an undo holds, the later rows of a file an earlier
// row dealt with.
class TFilesLeft
{
public:
    // One event of the run, in order.
    void see(const TMoveEvent& event);
    // After a run that went through all its work (not one stopped half-way, whose files after
    // the stop have no events either): the files it listed (`listed`) that no event named
    // had no plan row.
    void completed(const QStringList& listed);

    // In the order they were left; each file once.
    const std::vector<TLeftOut>& files() const { return m_left; }
    bool any() const { return !m_left.empty(); }

private:
    QSet<QString> m_named; // files some event named
    std::vector<TLeftOut> m_left;
};

} // namespace plumtide
