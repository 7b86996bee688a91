// Reads bytes as the listing reads a FLAC, Ogg or MP4 file: through a descriptor of a file
// that holds them (a memory file here), bounded by its size. Every input goes to each of the
// three readers, so a FLAC seed also tries the Ogg and MP4 readers' first checks, and to the
// audio region of every format, mp3 too. Anything that crashes, hangs or allocates without
// bound here would do so on a downloaded file.
#include "formats/audioregion.h"
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
    const FileDescriptor file(::dup(memory));
    for (TAudioFormat format :
        { TAudioFormat::Mp3, TAudioFormat::Flac, TAudioFormat::Ogg, TAudioFormat::Mp4 }) {
        if (const auto region = AudioRegionOf(format, file, static_cast<qint64>(size))) {
            Check(region->offset >= 0 && region->length > 0);
            Check(region->offset + region->length <= static_cast<qint64>(size));
            Check(region->flacMd5.isEmpty() || region->flacMd5.size() == 16);
        }
    }
    return 0;
}
