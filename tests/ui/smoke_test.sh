#!/usr/bin/env bash
# Starts the real program on a virtual X display, with a settings folder of its own that
# names two folders, checks that its window is where and as large as it belongs, closes it
# through the close zone of its title strip and expects a clean exit.
#   smoke_test.sh <path of plumtide>
# Exits 77 (skipped) when the virtual display or the X tools are not installed.
set -euo pipefail

program=$1
fail() { echo "smoke test: $*" >&2; exit 1; }
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"

if [ "${2:-}" != "--inside" ]; then
    for tool in xvfb-run xdotool xwininfo; do
        command -v "$tool" >/dev/null || { echo "smoke test: no $tool, skipped"; exit 77; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library"
    printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\n' \
        "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"
    # A runtime folder of its own: one copy of the program runs per user, and other tests
    # may run theirs at the same time.
    mkdir -m 700 "$work/runtime"
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" \
        on_virtual_display "$0" "$program" --inside
    exit
fi

display_started

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=
for _ in $(seq 150); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its window"
    window=$(xdotool search --onlyvisible --name '^Plumtide$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || fail "no window named Plumtide appeared"

info=$(xwininfo -id "$window")
value() { sed -n "s/^ *$1: *\(-\?[0-9]*\).*/\1/p" <<<"$info"; }
geometry="$(value 'Absolute upper-left X'),$(value 'Absolute upper-left Y') $(value Width)x$(value Height)"
[ "$geometry" = "159,106 729x471" ] || fail "window at $geometry, expected 159,106 729x471"

# The close cross is painted at the right end of the title strip; its zone lies over it.
xdotool mousemove 871 118 click 1

for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end when its window was closed"
trap - EXIT
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program exited with status $status"
echo "smoke test: window at $geometry, closed cleanly"
