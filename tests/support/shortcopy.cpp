// Preloaded into plumtide-cli by the tests (LD_PRELOAD): a copy_file_range that behaves as
// some kernels and file-system drivers do, copying at most 1,000 bytes once and then
// reporting that nothing is left to copy, however much is.

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace
{

using CopyFileRange = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
std::atomic<bool> g_copied { false };

} // namespace

extern "C" ssize_t copy_file_range(
    int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length, unsigned int flags)
{
    if (g_copied.exchange(true))
        return 0;
    static const auto real = reinterpret_cast<CopyFileRange>(::dlsym(RTLD_NEXT, "copy_file_range"));
    return real ? real(in, inOffset, out, outOffset, std::min<size_t>(length, 1000), flags) : 0;
}
