#!/usr/bin/env bash
# Writes the seed inputs of the fuzz_formats target (fuzz/corpus/fuzz_formats/): a tenth of a
# second of each format TagLib reads for Plumtide, tagged, with non-ASCII tags and without
# tags (scripts/make_format_samples.sh), and a FLAC file behind an ID3v2 tag.
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
