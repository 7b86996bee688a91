// Preloaded into plumtide-cli by the tests (LD_PRELOAD): the process is killed (SIGKILL) right
// after its Nth rename succeeds, N from PLUMTIDE_TEST_KILL_AFTER_RENAMES: a kill at an exact
// moment of a run, such as between moving a song and moving its lyrics.

#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>

namespace
{

std::atomic<long> g_left { -1 };

} // namespace

extern "C" int renameat2(
    int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    using Rename = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "renameat2"));
    if (g_left.load() < 0) {
        const char* count = ::getenv("PLUMTIDE_TEST_KILL_AFTER_RENAMES");
        g_left = count ? ::atol(count) : 0;
    }
    const int result = real(fromFolder, from, toFolder, to, flags);
    if (result == 0 && g_left.load() > 0 && --g_left == 0)
        ::raise(SIGKILL);
    return result;
}
