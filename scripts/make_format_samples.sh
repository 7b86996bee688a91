#!/usr/bin/env bash
# Writes short music files in every format Plumtide reads, made by ffmpeg from a sine tone:
# for each of mp3, flac, ogg (Vorbis), oga (Ogg FLAC), opus and m4a (AAC)
#   tagged.EXT   artist "Abba", title "Waterloo"
#   unicode.EXT  artist "Motörhead 東京", title "Ace of ♠"
#   plain.EXT    no artist, no title
# and, to compare audio by its bytes,
#   bare.mp3     the audio of plain.mp3 alone, without a tag
#   880hz.flac   plain.flac's tone an octave higher
# The format tests and the fuzz corpus of fuzz_formats are made from these.
#
#   scripts/make_format_samples.sh OUTDIR [SECONDS]
set -euo pipefail
out=${1:?usage: make_format_samples.sh OUTDIR [SECONDS]}
seconds=${2:-1}
command -v ffmpeg >/dev/null || { echo "make_format_samples: ffmpeg is missing (scripts/setup.sh)" >&2; exit 1; }
mkdir -p "$out"

declare -A codec=([mp3]=libmp3lame [flac]=flac [ogg]=libvorbis [oga]=flac [opus]=libopus [m4a]=aac)
for ext in mp3 flac ogg oga opus m4a; do
    make() {
        local frequency=${frequency:-440}
        # bitexact: no encoder version in the files, so the same ffmpeg makes the same bytes.
        ffmpeg -nostdin -loglevel error -y -f lavfi \
            -i "sine=frequency=$frequency:duration=$seconds:sample_rate=48000" -ac 1 \
            -c:a "${codec[$ext]}" -fflags +bitexact -flags:a +bitexact -map_metadata -1 \
            "${@:2}" "$out/$1.$ext"
    }
    make tagged -metadata artist=Abba -metadata title=Waterloo
    make unicode -metadata "artist=Motörhead 東京" -metadata "title=Ace of ♠"
    make plain
done
ext=mp3 make bare -id3v2_version 0
ext=flac frequency=880 make 880hz
