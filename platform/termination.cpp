#include "platform/termination.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace plumtide
{

namespace
{

int g_pipe[2] = { -1, -1 };
volatile std::sig_atomic_t g_requested = 0;

extern "C" void onTerminationRequest(int)
{
    g_requested = 1;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int TerminationRequestDescriptor()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            g_pipe[0] = g_pipe[1] = -1;
            return;
        }
        struct sigaction action {
        };
        action.sa_handler = onTerminationRequest;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int signal : { SIGTERM, SIGINT, SIGHUP })
            ::sigaction(signal, &action, nullptr);
    });
    return g_pipe[0];
}

bool TerminationRequested()
{
    return g_requested != 0;
}

void IgnoreClosedPipes()
{
    struct sigaction action {
    };
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGPIPE, &action, nullptr);
}

} // namespace plumtide
