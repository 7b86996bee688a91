#!/usr/bin/env bash
# Writes the seed inputs of the fuzz_formats target (fuzz/corpus/fuzz_formats/): a tenth of a
# second of each format TagLib reads for Plumtide, tagged, with non-ASCII tags and without
# tags (scripts/make_format_samples.sh), and a FLAC file behind an ID3v2 tag; for the audio
# regions, mp3 files with tags before and after the audio; and an M4A file of 80,000 atoms
# nested in one another, which once overflowed the stack of TagLib's recursive parser.
#
#   scripts/make_formats_fuzz_corpus.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-fuzz/corpus/fuzz_formats}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/make_format_samples.sh "$work" 0.1
mkdir -p "$out"
for ext in flac ogg oga opus m4a; do
    for variant in tagged unicode plain; do
        cp "$work/$variant.$ext" "$out/${variant}_$ext"
    done
done
# ID3v2.4 (ID3v2 standard, section 3.1): a header with a syncsafe size of 15, then one TPE1
# frame of 5 bytes: encoding 0 and "Abba".
{
    printf 'ID3\x04\x00\x00\x00\x00\x00\x0f'
    printf 'TPE1\x00\x00\x00\x05\x00\x00\x00Abba'
    cat "$work/plain.flac"
} >"$out/id3v2_flac"
# APEv2 (a header and a footer around one item), Lyrics3 v2, an appended ID3v2.4 tag with a
# footer and ID3v1, one after another at the end of the audio.
cp "$work/tagged.mp3" "$out/tagged_mp3"
{
    cat "$work/tagged.mp3"
    printf 'APETAGEX\xd0\x07\0\0\x33\0\0\0\x01\0\0\0\0\0\0\xa0\0\0\0\0\0\0\0\0'
    printf '\x04\0\0\0\0\0\0\0Artist\0Abba'
    printf 'APETAGEX\xd0\x07\0\0\x33\0\0\0\x01\0\0\0\0\0\0\x80\0\0\0\0\0\0\0\0'
    printf 'LYRICSBEGININD0000211LYR00005hello000034LYRICS200'
    printf 'ID3\x04\x00\x10\x00\x00\x00\x0fTPE1\x00\x00\x00\x05\x00\x00\x00Abba3DI\x04\x00\x10\x00\x00\x00\x0f'
    printf 'TAG%125s' ''
} >"$out/trailing_tags_mp3"
# ftyp, then moov and udta atoms nested 80,000 deep, each 8 bytes larger than the one inside.
python3 - "$out/nested_atoms_m4a" <<'PYTHON'
import struct, sys
levels = 80000
atoms = [struct.pack(">I4s", 8 * (levels - i), b"moov" if i % 2 == 0 else b"udta") for i in range(levels)]
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack(">I4s4sI", 16, b"ftyp", b"M4A ", 0) + b"".join(atoms))
PYTHON
