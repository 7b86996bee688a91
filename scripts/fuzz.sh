#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (with AddressSanitizer and
# UndefinedBehaviorSanitizer), replays each saved corpus, then fuzzes each target.
#
#   scripts/fuzz.sh [SECONDS]          each target for SECONDS (default 60), as CI does
#   scripts/fuzz.sh --long SECONDS     the same with libFuzzer's final statistics (an hour
#                                      each before a release)
#
# Targets run two at a time; each one's final coverage is printed at the end.
#
# New crashes are saved under build/fuzz/crashes/, the inputs a run adds under
# build/fuzz/corpus/<target>/ (kept from run to run, so a long campaign grows on).
set -euo pipefail
cd "$(dirname "$0")/.."
long=0
if [ "${1:-}" = "--long" ]; then
    long=1
    shift
    [ $# -eq 1 ] || { echo "usage: scripts/fuzz.sh --long SECONDS" >&2; exit 2; }
fi
seconds=${1:-60}
case $seconds in
'' | *[!0-9]*) echo "scripts/fuzz.sh: SECONDS must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac
scripts/build.sh fuzz
mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' 2>/dev/null | sort)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets yet"
    exit 0
fi
mkdir -p build/fuzz/crashes

replay() {
    local target=$1 name
    name=$(basename "$target")
    echo "-- $name: replaying fuzz/corpus/$name"
    "$target" -runs=0 "fuzz/corpus/$name" >/dev/null 2>"build/fuzz/$name.replay.log" \
        || { cat "build/fuzz/$name.replay.log"; return 1; }
}

# Fuzzes one target for $seconds; its output goes to build/fuzz/<target>.log.
fuzz() {
    local target=$1 name work
    name=$(basename "$target")
    work=build/fuzz/corpus/$name
    mkdir -p "$work"
    "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=$long \
        -artifact_prefix=build/fuzz/crashes/ "$work" "fuzz/corpus/$name" >"build/fuzz/$name.log" 2>&1
}

# The last status line of a target's log: its coverage (cov: edges, ft: features) when done.
coverage() {
    grep -E '^#[0-9]+.*cov: ' "build/fuzz/$1.log" | tail -n 1 || true
}

for target in "${targets[@]}"; do
    replay "$target" || exit 1
done
echo "-- fuzzing ${#targets[@]} targets for ${seconds}s each, two at a time"
declare -A running=() # pid -> target
failed=()
wait_for_one() {
    local pid status=0
    wait -n -p pid "${!running[@]}" || status=$?
    echo "-- ${running[$pid]}: done"
    [ $status -eq 0 ] || failed+=("${running[$pid]}")
    unset "running[$pid]"
}
for target in "${targets[@]}"; do
    [ ${#running[@]} -lt 2 ] || wait_for_one
    echo "-- $(basename "$target"): fuzzing for ${seconds}s"
    fuzz "$target" &
    running[$!]=$(basename "$target")
done
while [ ${#running[@]} -gt 0 ]; do
    wait_for_one
done

echo "-- final coverage"
for target in "${targets[@]}"; do
    name=$(basename "$target")
    printf '%-20s %s\n' "$name" "$(coverage "$name")"
done
for name in "${failed[@]}"; do
    echo "-- $name failed:"
    tail -n 60 "build/fuzz/$name.log"
done
[ ${#failed[@]} -eq 0 ]
