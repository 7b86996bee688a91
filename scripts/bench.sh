#!/usr/bin/env bash
# plumtide-cli as users run it, a whole process at a time, beside what the same work costs
# at the least, measured in the same run:
#   - sort of 2,000 files on one file system, and its undo, beside `mv` + `sync` of them;
#   - list of 10,000 tagged files, beside bench_list_floor (open, tag header, tag, last
#     128 bytes per file);
#   - list of 1,000 tagged files with a 500 KB cover each, on a cold page cache, beside the
#     same floor reader, which reads whole tags (the goal: three times as fast);
#   - sort where half the files' names are taken in their folders by other songs of the same
#     size, beside the same sort with no name taken.
# Each line: the median of the rounds, the anchor's median, their ratio and the goal.
#   scripts/bench.sh [BUILD_DIR]   (default build/ci; builds nothing)
# Environment: BENCH_ROUNDS (5), BENCH_MOVE_FILES (2000), BENCH_LIST_FILES (10000),
# BENCH_COVER_FILES (1000), BENCH_QUICK=1 (3 rounds of 500, 2,000 and 200 files), BENCH_DIR
# (work folder, removed after; default a new one in /tmp). Needs ffmpeg (or lame) and
# python3; emptying the page cache needs root (else that line runs on a warm cache, and
# says so).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/ci}")
cli=$build/cli/plumtide-cli
floor=$build/bench/bench_list_floor
for program in "$cli" "$floor"; do
    if [ ! -x "$program" ]; then
        echo "bench: no $program; build it first:" >&2
        echo "  cmake --build $build --target plumtide-cli bench_list_floor" >&2
        exit 1
    fi
done

if [ "${BENCH_QUICK:-0}" = 1 ]; then
    rounds=${BENCH_ROUNDS:-3}
    move_files=${BENCH_MOVE_FILES:-500}
    list_files=${BENCH_LIST_FILES:-2000}
    cover_files=${BENCH_COVER_FILES:-200}
else
    rounds=${BENCH_ROUNDS:-5}
    move_files=${BENCH_MOVE_FILES:-2000}
    list_files=${BENCH_LIST_FILES:-10000}
    cover_files=${BENCH_COVER_FILES:-1000}
fi

if [ -n "${BENCH_DIR:-}" ]; then
    mkdir -p "$BENCH_DIR"
    work=$(mktemp -d "$BENCH_DIR/plumtide-bench.XXXXXX")
else
    work=$(mktemp -d /tmp/plumtide-bench.XXXXXX)
fi
trap '[ -n "${BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"

# Two songs of the same length and bitrate, hence the same size: the second stands for
# another song of the same name.
for tone in 440:a 660:b; do
    if command -v ffmpeg >/dev/null; then
        ffmpeg -loglevel error -f lavfi -i "sine=frequency=${tone%:*}:duration=4" -ac 2 \
            -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 "$work/${tone#*:}.mp3"
    else
        sox -n -r 44100 -c 2 -t wav - synth 4 sine "${tone%:*}" \
            | lame --quiet --noreplaygain -b 128 - "$work/${tone#*:}.mp3"
    fi
done

# Copies of the song with tags of their own: ID3v2.3 (artist, title, album, track, year,
# padded as taggers pad; with "covers", a cover of 500 KB of random bytes after the texts)
# and an ID3v1 block, in album folders of 12; artist folders in DEST.
generate() {
    python3 - "$work" "$@" <<'EOF'
import os, random, shlex, sys

work, what = sys.argv[1], sys.argv[2]
audio = {k: open(os.path.join(work, k + ".mp3"), "rb").read() for k in ("a", "b")}
# Names made of syllables, as unlike each other as the names of a real library.
syllables = ["ka", "lo", "mi", "ren", "tu", "sa", "dor", "vel", "ni", "qua", "bri", "zen",
             "ho", "pa", "le", "gri", "mo", "tes", "ul", "an", "ri", "cho", "bel", "wy"]
rng = random.Random(7)
def word(n):
    return "".join(rng.choice(syllables) for _ in range(n)).capitalize()
artists = []
while len(artists) < 100:
    name = word(rng.randint(2, 3)) + (" " + word(2) if rng.random() < 0.6 else "")
    if name not in artists:
        artists.append(name)

def syncsafe(n):
    return bytes((n >> s) & 0x7F for s in (21, 14, 7, 0))

covers = what == "covers"

def frame(fid, data):
    return fid.encode() + len(data).to_bytes(4, "big") + b"\0\0" + data

def tag(artist, title, album, track):
    body = b""
    for fid, text in (("TPE1", artist), ("TIT2", title), ("TALB", album),
                      ("TRCK", str(track)), ("TYER", "2001")):
        body += frame(fid, b"\0" + text.encode("latin-1"))
    if covers:
        body += frame("APIC", b"\0image/jpeg\0\3\0" + rng.randbytes(500 * 1024))
    body += b"\0" * max(2048 - len(body), 1024)
    v1 = (b"TAG" + title.encode("latin-1")[:30].ljust(30, b"\0")
          + artist.encode("latin-1")[:30].ljust(30, b"\0")
          + album.encode("latin-1")[:30].ljust(30, b"\0") + b"2001" + b"\0" * 30 + b"\xff")
    return b"ID3\3\0\0" + syncsafe(len(body)) + body, v1

def song(path, artist, title, album, track, kind="a"):
    head, v1 = tag(artist, title, album, track)
    with open(path, "wb") as f:
        f.write(head + audio[kind] + v1)

def library(source, count):
    """count songs below source; returns (path, artist) per song."""
    songs = []
    for i in range(count):
        artist = artists[(i // 12) % len(artists)]
        album = "Album %d" % (i // 12)
        folder = os.path.join(source, "%s - %s" % (artist, album))
        if i % 12 == 0:
            os.makedirs(folder, exist_ok=True)
        title = "Song %d" % i
        path = os.path.join(folder, "%02d - %s.mp3" % (i % 12 + 1, title))
        song(path, artist, title, album, i % 12 + 1)
        songs.append((path, artist))
    return songs

def folders(destination):
    for artist in artists:
        os.makedirs(os.path.join(destination, artist), exist_ok=True)

if what == "move":
    # The songs, their folders, and the anchor's scripts: mv into the folders and back.
    source, destination, count = sys.argv[3], sys.argv[4], int(sys.argv[5])
    songs = library(source, count)
    folders(destination)
    into, back = {}, {}
    for path, artist in songs:
        into.setdefault(os.path.join(destination, artist), []).append(path)
        back.setdefault(os.path.dirname(path), []).append(
            os.path.join(destination, artist, os.path.basename(path)))
    for name, moves in (("mv-into.sh", into), ("mv-back.sh", back)):
        with open(os.path.join(work, name), "w") as f:
            for folder, files in moves.items():
                f.write("mv -t %s -- %s\n" % (shlex.quote(folder),
                                               " ".join(shlex.quote(p) for p in files)))
elif what in ("list", "covers"):
    library(sys.argv[3], int(sys.argv[4]))
elif what == "taken":
    # Every other song's name taken in its artist's folder by another song of its size.
    source, destination = sys.argv[3], sys.argv[4]
    folders(destination)
    n = 0
    for folder, _, names in sorted(os.walk(source)):
        for name in sorted(names):
            n += 1
            if n % 2:
                continue
            artist = os.path.basename(folder).split(" - ")[0]
            song(os.path.join(destination, artist, name), artist, "Other %d" % n, "Other", 1,
                 "b")
EOF
}

now() { echo "${EPOCHREALTIME/,/.}"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
files_in() { find "$1" -type f -name '*.mp3' | wc -l; }
fail() {
    echo "bench: $*" >&2
    exit 1
}

# Prints one line: what, the median, the anchor's median, their ratio, the goal (a ratio
# of times, or "-") and whether it is met.
report() {
    local what=$1 value=$2 anchor=$3 goal=$4
    local ratio
    ratio=$(awk -v v="$value" -v a="$anchor" 'BEGIN { printf "%.2f", v / a }')
    local verdict=""
    if [ "$goal" != - ]; then
        verdict=$(awk -v r="$ratio" -v g="$goal" 'BEGIN { print (r <= g ? "met" : "MISSED") }')
        goal="<= $goal"
    fi
    printf '%-44s %8.3f s  %8.3f s  %6sx  %-8s %s\n' "$what" "$value" "$anchor" "$ratio" "$goal" \
        "$verdict"
}

cd "$work"
echo "plumtide-cli: $cli"
echo "rounds: $rounds; files moved: $move_files; files listed: $list_files"
printf '%-44s %10s  %10s  %7s  %-8s\n' "line" "median" "anchor" "ratio" "goal"

# --- a. sort and undo on one file system, beside mv + sync --------------------------------
generate move "$work/in" "$work/music" "$move_files"
sort_args=(sort --settle 0 --doubles "move:$work/doubles" "$work/in" "$work/music")
sorts=() undos=() mvs=() backs=()
for ((round = 0; round < rounds; ++round)); do
    rm -rf "$XDG_STATE_HOME" && mkdir -p "$XDG_STATE_HOME"
    sync
    start=$(now)
    "$cli" "${sort_args[@]}" >/dev/null 2>"$work/err" || fail "sort failed: $(cat "$work/err")"
    sorts+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
    [ "$(files_in "$work/music")" = "$move_files" ] || fail "sort left files: $(cat "$work/err")"
    sync
    start=$(now)
    "$cli" undo >/dev/null 2>"$work/err" || fail "undo failed: $(cat "$work/err")"
    undos+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
    [ "$(files_in "$work/in")" = "$move_files" ] || fail "undo left files: $(cat "$work/err")"
    sync
    start=$(now)
    bash "$work/mv-into.sh" && sync
    mvs+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
    start=$(now)
    bash "$work/mv-back.sh" && sync
    backs+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
done
report "sort $move_files files, one file system" "$(median "${sorts[@]}")" \
    "$(median "${mvs[@]}")" 2.0
report "undo of it" "$(median "${undos[@]}")" "$(median "${backs[@]}")" 2.0
echo "  (anchor: mv into the artist folders + sync; goal: at least half its speed)"

# --- b. list beside the floor reader -------------------------------------------------------
generate list "$work/listed" "$list_files"
"$cli" list "$work/listed" >/dev/null 2>&1 # warm the page cache for both
lists=() floors=()
for ((round = 0; round < rounds; ++round)); do
    start=$(now)
    "$cli" list "$work/listed" >/dev/null
    lists+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
    start=$(now)
    "$floor" "$work/listed" >/dev/null 2>&1
    floors+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
done
report "list $list_files tagged files" "$(median "${lists[@]}")" "$(median "${floors[@]}")" 1.3
echo "  (anchor: bench_list_floor: open, tag header, tag, last 128 bytes per file)"
rm -rf "$work/listed"

# --- b2. list of files with covers on a cold cache, beside the floor reading whole tags ----
# The programs are run once after each emptying of the cache, on an empty folder, so that
# only the songs are read cold.
generate covers "$work/covered" "$cover_files"
mkdir -p "$work/nothing"
cold="cold cache"
uncache() {
    sync
    if ! { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
        cold="WARM cache: emptying it needs root"
    fi
    "$cli" list "$work/nothing" >/dev/null 2>&1 || true
    "$floor" "$work/nothing" >/dev/null 2>&1 || true
}
lists=() floors=()
for ((round = 0; round < rounds; ++round)); do
    uncache
    start=$(now)
    "$cli" list "$work/covered" >/dev/null
    lists+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
    uncache
    start=$(now)
    "$floor" "$work/covered" >/dev/null 2>&1
    floors+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
done
report "list $cover_files files with 500 KB covers" "$(median "${lists[@]}")" \
    "$(median "${floors[@]}")" 0.33
echo "  ($cold; anchor: bench_list_floor, which reads whole tags; goal: three times as fast)"
rm -rf "$work/covered"

# --- c. sort where half the names are taken, beside the same sort with none taken ----------
# Each round sorts fresh copies; the copying is not timed.
rm -rf "$work/music" "$work/doubles"
taken=() free=()
for ((round = 0; round < rounds; ++round)); do
    for kind in free taken; do
        rm -rf "$work/music" "$work/doubles" "$work/c-in" "$XDG_STATE_HOME"
        mkdir -p "$XDG_STATE_HOME" "$work/doubles"
        cp -r "$work/in" "$work/c-in"
        if [ "$kind" = taken ]; then
            generate taken "$work/c-in" "$work/music"
        else
            generate taken "$work/c-in" "$work/music" && find "$work/music" -type f -delete
        fi
        sync
        start=$(now)
        "$cli" sort --settle 0 --doubles "move:$work/doubles" "$work/c-in" "$work/music" \
            >/dev/null 2>"$work/err" || fail "sort failed: $(cat "$work/err")"
        elapsed=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
        if [ "$kind" = taken ]; then taken+=("$elapsed"); else free+=("$elapsed"); fi
    done
done
report "sort, half the names taken" "$(median "${taken[@]}")" "$(median "${free[@]}")" -
echo "  (anchor: the same sort with no name taken; $(tail -n1 "$work/err"))"
