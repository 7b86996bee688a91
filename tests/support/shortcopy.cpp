// Preloaded into plumtide-cli by the tests (LD_PRELOAD): a copy_file_range that behaves as
// some kernels and file-system drivers do, copying at most 1,000 bytes once and then
// reporting that nothing is left to copy, however much is. It copies through a buffer, so
// that it does so between any two file systems.

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace
{

std::atomic<bool> g_copied { false };

} // namespace

extern "C" ssize_t copy_file_range(
    int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length, unsigned int)
{
    if (g_copied.exchange(true))
        return 0;
    char buffer[1000];
    const size_t wanted = std::min(length, sizeof buffer);
    const ssize_t got
        = inOffset ? ::pread(in, buffer, wanted, *inOffset) : ::read(in, buffer, wanted);
    if (got <= 0)
        return got;
    const ssize_t written = outOffset ? ::pwrite(out, buffer, size_t(got), *outOffset)
                                      : ::write(out, buffer, size_t(got));
    if (written != got)
        return -1;
    if (inOffset)
        *inOffset += got;
    if (outOffset)
        *outOffset += got;
    return got;
}
