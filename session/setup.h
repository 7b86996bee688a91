#pragma once

#include "core/pipeline.h"
#include "session/session.h"
#include "settings/settings.h"

namespace plumtide
{

// What a front end says of one run beyond the settings: where, who starts it, and what it
// holds back.
struct TRunChoices {
    TRunOrigin origin = TRunOrigin::Cli;
    QString source;
    QString destination;
    // How long a file must have been left alone (see TLeaveOutPolicy).
    qint64 settleMs = kHandSettleMs;
    // Files an undo brought back, for the runs that leave them alone.
    THeldFiles held;
    TAssignments assignments;
    bool dryRun = false;
    // The folders for new artists are made first, as a run of their own.
    bool createArtistFolders = false;
    // Careful matching files into a folder one letter off (see TSortRequest).
    bool acceptOneOff = false;
};

// A run as the settings and a front end ask for it: what planning works on, how it is
// carried out, and how its session starts.
struct TRunSetup {
    TSortRequest request;
    TCarryOut how;
    TRunSession::TStart start;
};

// Where the songs of companions left without them went, as the history at `historyPath`
// keeps it (read, never changed), named as a run from `destination` names
// its files.
TKeptMovesLookup KeptMovesIn(const QString& historyPath, const QString& destination);

// The one place a run's settings are read: `settings` are the stored ones with the front
// end's own over them (the CLI's options, the window's fields).
TRunSetup SetupRun(const TWorkingCopy& settings, const TRunChoices& choices);

} // namespace plumtide
