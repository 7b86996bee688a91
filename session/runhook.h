#pragma once

#include "core/moving/filesleft.h"
#include "core/pump.h"
#include "core/summary.h"
#include "settings/settingstable.h"

#include <QString>

#include <utility>
#include <vector>

namespace plumtide
{

// A command the user has run after unattended runs (`OnRun`), to be told of them: a notice
// on a phone, a mail, a media server asked to look again.
struct TRunHook {
    QString command; // run by /bin/sh -c; empty: none
    int timeoutSeconds = DefaultInteger("OnRunTimeout");

    bool on() const { return !command.isEmpty(); }
};

// What the hook is told a run did, in PLUMTIDE_EVENT and the input's "event".
enum class THookEvent {
    Complete, // it moved something
    NeedsAttention, // it left files that are news
    Error, // an error that is news ended it
};

QString HookEventText(THookEvent event);

// What a run did, for its hook.
struct THookRun {
    THookEvent event = THookEvent::Complete;
    TMoveSummary summary;
    std::vector<std::pair<QString, QString>> moved; // file, target
    std::vector<TLeftOut> left;
    QString error;
};

// The one JSON object the hook reads: "event", "summary" (sort --json's summary record),
// "moved" [{file, target}], "left" [{file, reason}], and "error" for an error.
QString HookInput(const THookRun& run);

// Runs the hook with the run's JSON as its standard input (a file), PLUMTIDE_EVENT set, in a
// process group of its own, for at most its time limit, `pump` run meanwhile. What it prints
// goes to our standard error, each line after "<program>: hook: ", at most 64 KB. Nothing it
// does changes the run: a failure (an exit status not 0, ended, not started) is said once on
// standard error, and returned for the front ends that also show it elsewhere; empty when it
// ran well.
QString RunHook(const TRunHook& hook, const THookRun& run, Pump* pump);

} // namespace plumtide
