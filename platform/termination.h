#pragma once

namespace plumtide
{

// A descriptor that becomes readable once the process is asked to end (SIGTERM, SIGINT,
// SIGHUP: a log-out, `systemctl stop`, a compositor going away), so that an event loop can
// treat the request as the user closing the window: the work under way stops at its next
// safe point and what is pending is saved, instead of the process dying mid-write. The
// handlers are installed at the first call. -1 when they cannot be.
int TerminationRequestDescriptor();

// Whether such a request has come (once the handlers are installed).
bool TerminationRequested();

// A write to a pipe whose reader has gone (`plumtide-cli sort | head -n1`) then fails with
// EPIPE, which the writer handles, instead of killing the process with SIGPIPE halfway
// through its work.
void IgnoreClosedPipes();

} // namespace plumtide
