#pragma once

// A shell command run apart from this process: in a session of its own (its own process
// group, no controlling terminal), so that ending it reaches whatever it started, and a
// terminal's Ctrl-C aimed at us never reaches it.

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace plumtide
{

// How a command run by RunShellCommand ended.
struct TChildEnd {
    enum class How {
        Exited, // code: its exit status
        Signalled, // code: the signal that ended it
        TimedOut, // ended by us: past its time, or the wait given up
        NotStarted, // error: why
    };
    How how = How::NotStarted;
    int code = 0;
    QString error;
};

struct TShellCommand {
    QByteArray command; // run by /bin/sh -c
    QByteArray input; // its standard input: an unlinked temporary file holding these bytes
    std::vector<std::pair<QByteArray, QByteArray>> environment; // added to ours
    int timeoutMs = 10000;
    // Its standard output and error, both: at most this many bytes are handed on, the rest
    // is read and dropped.
    qsizetype outputCap = 64 * 1024;
};

// Runs the command and waits for it. Each line it prints goes to `line` (without its line
// end) until the cap, then once `capped`. Past its time it is sent SIGTERM (its whole
// process group), and SIGKILL 2 s later. `keepWaiting`, asked a few times a second, ends it
// the same way when it returns false. What its children left running in the background is
// not waited for.
TChildEnd RunShellCommand(const TShellCommand& command,
    const std::function<void(const QByteArray&)>& line, const std::function<void()>& capped,
    const std::function<bool()>& keepWaiting);

} // namespace plumtide
