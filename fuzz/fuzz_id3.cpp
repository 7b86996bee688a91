// Loads a tag from bytes in memory the way the engine loads one from a file: anything that
// crashes, hangs or allocates without bound here would do so on a downloaded mp3. Whatever
// was read is then written and read again, and must come back frame for frame.
#include "fuzzinput.h"
#include "id3/id3engine.h"
#include "id3/id3error.h"
#include "id3/syncsafe.h"

#include <cstdint>
#include <memory>

using namespace plumtide;
using fuzzinput::Check;

namespace
{

void LoadAndRoundTrip(const QByteArray& bytes, bool fullSeek)
{
    TID3Engine engine;
    engine.SetFullID3TagSeek(fullSeek);
    try {
        engine.OpenStream(std::make_unique<TMemoryStream>(bytes));
    } catch (const TagError&) {
        // Corrupt compressed frame data: the frames before it are kept.
    }
    Check(engine.Active());
    Check(engine.TagStart() + engine.TagLength() <= bytes.size());
    (void)engine.Artist();
    (void)engine.Title();
    (void)engine.Year();
    (void)engine.ID3V1Block();
    for (int i = 0; i < engine.Frames().Count(); ++i) {
        const TID3Frames_Item& frame = engine.Frames().Items(i);
        (void)frame.GetDisplayName();
        Check(!frame.Ciphertext() || frame.AsText().isEmpty());
    }

    // Written as WriteTag would write it (a version-2 tag becomes version 4).
    if (engine.Header().VersionNumber() == 2)
        engine.Header().SetVersionNumber(4);
    TMemoryStream tag;
    engine.Header().WriteHeader(tag, false);
    try {
        engine.Frames().WriteFrames(tag);
    } catch (const TagError&) {
        return; // a frame too large for its size field
    }
    QByteArray written = tag.Bytes();
    written.replace(6, 4, QByteArray(4, '\0'));
    std::uint8_t size[4];
    EncodeSyncsafe(static_cast<std::uint64_t>(written.size() - 10), size, 4);
    written.replace(6, 4, reinterpret_cast<const char*>(size), 4);

    TID3Engine again;
    again.OpenStream(std::make_unique<TMemoryStream>(written));
    int compared = 0;
    for (int i = 0; i < engine.Frames().Count(); ++i) {
        const TID3Frames_Item& frame = engine.Frames().Items(i);
        if (!IsKeptFrameID(frame.FrameID()))
            continue; // not writable, left out
        Check(compared < again.Frames().Count());
        const TID3Frames_Item& back = again.Frames().Items(compared++);
        Check(back.Name() == frame.Name());
        Check(back.Data().Bytes() == frame.Data().Bytes());
    }
    Check(compared == again.Frames().Count());
}

// The reader of artist and title reads the tag in pieces, passes over covers and stops at
// the first artist and title: it must take what a whole reading takes, wherever that one
// read every frame as it stands (nothing compressed, which the two inflate differently).
void ReadTexts(const QByteArray& bytes)
{
    TID3Engine texts;
    texts.SetTextFramesOnly(true);
    TID3Engine whole;
    bool thrown = false;
    try {
        texts.OpenStream(std::make_unique<TMemoryStream>(bytes));
        whole.OpenStream(std::make_unique<TMemoryStream>(bytes));
    } catch (const TagError&) {
        thrown = true;
    }
    Check(texts.Active());
    Check(texts.TagStart() + texts.TagLength() <= bytes.size());
    if (thrown || !whole.Active())
        return;
    for (int i = 0; i < whole.Frames().Count(); ++i) {
        if (whole.Frames().Items(i).Compress())
            return;
    }
    Check(texts.Artist() == whole.Artist());
    Check(texts.Title() == whole.Title());
    Check(texts.TagLength() == whole.TagLength());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    LoadAndRoundTrip(bytes, false);
    LoadAndRoundTrip(bytes, true);
    ReadTexts(bytes);
    return 0;
}
