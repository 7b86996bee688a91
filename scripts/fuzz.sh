#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, replays each saved corpus, then fuzzes each
# target for the given number of seconds (default 60). New crashes are saved under
# build/fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/build.sh fuzz
mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' 2>/dev/null | sort)
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets yet"
    exit 0
fi
mkdir -p build/fuzz/crashes
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus=fuzz/corpus/$name
    work=build/fuzz/corpus/$name
    mkdir -p "$work"
    echo "-- $name: replaying $corpus"
    "$target" -runs=0 "$corpus" >/dev/null 2>build/fuzz/$name.replay.log || { cat build/fuzz/$name.replay.log; exit 1; }
    echo "-- $name: fuzzing for ${seconds}s"
    "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=0 \
        -artifact_prefix=build/fuzz/crashes/ "$work" "$corpus" >build/fuzz/$name.log 2>&1 \
        || { tail -n 60 build/fuzz/$name.log; exit 1; }
    grep -E '^#[0-9]+.*DONE' build/fuzz/$name.log | tail -n 1 || true
done
