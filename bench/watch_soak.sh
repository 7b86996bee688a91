#!/usr/bin/env bash
# Soak run of `plumtide-cli watch`: a steady trickle of files into a watched folder for
# several minutes, and the watcher's resident memory at the start and at the end. Memory
# that grows with the files handled shows as an end figure well above the start.
#   bench/watch_soak.sh [plumtide-cli] [minutes] [files a second]
# Defaults: build/default/cli/plumtide-cli, 5 minutes, 5 files a second.
set -euo pipefail

cli=${1:-build/default/cli/plumtide-cli}
minutes=${2:-5}
rate=${3:-5}
[ -x "$cli" ] || { echo "watch soak: no $cli (build first)" >&2; exit 1; }
cli=$(realpath "$cli")

work=$(mktemp -d)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
artists=(Metallica Madonna Queen Abba Nirvana)
mkdir -p "$work/in" "$work/config"
for artist in "${artists[@]}"; do mkdir -p "$work/music/$artist"; done
head -c 20000 /dev/urandom >"$work/song"

cd "$work"
XDG_CONFIG_HOME=$work/config "$cli" watch --settle 1 --doubles keep in music \
    >"$work/out" 2>"$work/err" &
pid=$!

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
filed() { find music -type f | wc -l; }

# A file every 1/rate seconds, some in sub-folders that come and go.
trickle() {
    local until=$1 n=$2
    while [ "$SECONDS" -lt "$until" ]; do
        local artist=${artists[$((n % ${#artists[@]}))]}
        local where=in
        if [ $((n % 10)) -eq 0 ]; then
            where=in/batch$((n / 10 % 3))
            mkdir -p "$where"
        fi
        cp "$work/song" "$where/$artist - Song $n.mp3"
        n=$((n + 1))
        sleep "$(awk -v r="$rate" 'BEGIN { printf "%.3f", 1 / r }')"
    done
    echo "$n"
}

# A minute of warm-up, so that the start figure counts what a running watch holds anyway.
sent=$(trickle $((SECONDS + 60)) 0)
start_rss=$(rss)
start_filed=$(filed)
low=$start_rss
high=$start_rss
end=$((SECONDS + minutes * 60))
n=$sent
while [ "$SECONDS" -lt "$end" ]; do
    n=$(trickle $((SECONDS + 30)) "$n")
    now=$(rss)
    [ "$now" -lt "$low" ] && low=$now
    [ "$now" -gt "$high" ] && high=$now
    # The filed songs are taken away, as a user's music player would never do, to keep the
    # disk small; the folders stay.
    find music -type f -name '*.mp3' -delete 2>/dev/null || true
done
sleep 3
end_rss=$(rss)
kill -TERM "$pid"
wait "$pid" || true
pid=

runs=$(grep -c '^sorted: ' "$work/err" || true)
printf 'files sent            %d (%d after warm-up)\n' "$n" "$((n - sent))"
printf 'runs                  %d\n' "$runs"
printf 'files still in source %d\n' "$(find in -type f | wc -l)"
printf 'resident memory start %d KiB (after %d files)\n' "$start_rss" "$start_filed"
printf 'resident memory end   %d KiB (after %d files)\n' "$end_rss" "$n"
printf 'lowest, highest       %d, %d KiB\n' "$low" "$high"
awk -v a="$start_rss" -v b="$end_rss" 'BEGIN { printf "end / start           %.3f\n", b / a }'
