// Reads bytes as the listing reads a FLAC, Ogg or MP4 file: through a descriptor of a file
// that holds them (a memory file here), bounded by its size. Every input goes to each of the
// three readers, so a FLAC seed also tries the Ogg and MP4 readers' first checks. Anything
// that crashes, hangs or allocates without bound here would do so on a downloaded file.
#include "formats/formatreader.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace plumtide;

namespace
{

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int memory = ::memfd_create("fuzz_formats", MFD_CLOEXEC);
    Check(memory >= 0);
    Check(::ftruncate(memory, 0) == 0);
    Check(::pwrite(memory, data, size, 0) == static_cast<ssize_t>(size));
    const QString path = QStringLiteral("input");
    for (TAudioFormat format : { TAudioFormat::Flac, TAudioFormat::Ogg, TAudioFormat::Mp4 }) {
        const TArtistTitle read = ReadArtistAndTitle(
            format, FileDescriptor(::dup(memory)), static_cast<qint64>(size), path);
        Check(read.Status != TID3ReadStatus::OpenFailed);
        Check(read.Status != TID3ReadStatus::NoFile);
        if (read.Status == TID3ReadStatus::Unrecognised)
            Check(read.Artist.isEmpty() && read.Title.isEmpty());
    }
    return 0;
}
