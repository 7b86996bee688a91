#include "session/setup.h"

#include "platform/paths.h"

namespace plumtide
{

TKeptMovesLookup KeptMovesIn(const QString& historyPath, const QString& destination)
{
    // Read afresh at each look-up: companions left behind are few, and a watch runs for days.
    return [=](const QString& stem) -> std::vector<TKeptMove> {
        const QString absolute = AbsolutePath(stem);
        std::vector<TKeptMove> moves;
        try {
            moves = THistory(historyPath, THistory::Access::Read).movesFrom(absolute);
        } catch (const PlumtideError&) {
            // Only a companion that stays for now: a history the run cannot use stops it
            // before its first change anyway.
            return {};
        }
        // Named as the run names its files: it may have been given them from another folder.
        const QString below = AbsolutePath(destination) + QLatin1Char('/');
        for (TKeptMove& move : moves) {
            move.file = stem + move.file.mid(absolute.size());
            if (move.target.startsWith(below))
                move.target = JoinPath(destination, move.target.mid(below.size()));
        }
        return moves;
    };
}

TRunSetup SetupRun(const TWorkingCopy& settings, const TRunChoices& choices)
{
    TRunSetup setup;
    TSortRequest& request = setup.request;
    request.source = choices.source;
    request.destination = choices.destination;
    request.doublesFolder = settings.doublesFolder;
    request.percentage = settings.comparePercentage;
    request.matching = settings.matching;
    request.acceptOneOff = choices.acceptOneOff;
    request.formats = settings.formats;
    request.companions = settings.moveCompanions;
    request.assignments = choices.assignments;
    request.leaveOut = TLeaveOutPolicy(choices.origin, choices.settleMs, choices.held);
    if (settings.keepHistory && settings.moveCompanions)
        request.keptMoves = KeptMovesIn(THistory::DefaultPath(), choices.destination);

    setup.how.move = MoveSettingsOf(settings);
    setup.how.move.sourceFolder = choices.source;
    setup.how.move.destinationFolder = choices.destination;
    setup.how.leaveOut = request.leaveOut;
    setup.how.dryRun = choices.dryRun;

    TRunSession::TStart& start = setup.start;
    start.origin = choices.origin;
    start.source = choices.source;
    start.destination = choices.destination;
    start.keepHistory = settings.keepHistory;
    start.dryRun = choices.dryRun;
    start.foldersApart = choices.createArtistFolders;
    // Only runs nobody watches: the user sees what a run started by hand does.
    if (choices.origin == TRunOrigin::Cli || choices.origin == TRunOrigin::Watch
        || choices.origin == TRunOrigin::Auto)
        start.hook = { settings.onRun, settings.onRunTimeout };
    return setup;
}

} // namespace plumtide
