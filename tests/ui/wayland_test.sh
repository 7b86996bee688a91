#!/usr/bin/env bash
# The real program in a Wayland session (weston's headless back end, which has no input):
# its window is shown, its lists fill from the settings file (automatic sorting every second
# then files a song), and SIGTERM closes it cleanly, as the close button would.
#   wayland_test.sh <path of plumtide>
# Exits 77 (skipped) without weston, Qt's Wayland plugin or lame.
set -euo pipefail

program=$1
fail() {
    echo "wayland test: $*" >&2
    [ -f "${work:-}/program.log" ] && tail -20 "$work/program.log" >&2
    exit 1
}
for tool in weston lame; do
    command -v "$tool" >/dev/null || { echo "wayland test: no $tool, skipped"; exit 77; }
done
if ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
    echo "wayland test: no Qt Wayland plugin, skipped"
    exit 77
fi

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library/Metallica"
mkdir -m 700 "$work/runtime"
head -c 8820 /dev/zero >"$work/silence.raw"
lame --silent -r -s 22.05 -m m --bitwidth 16 "$work/silence.raw" \
    "$work/incoming/Metallica - One.mp3" 2>/dev/null
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\nchkAutoTime=1\nAutoTime=00:00:01\n' \
    "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"

export XDG_RUNTIME_DIR=$work/runtime
socket=plumtide-test-$$
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
    >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || fail "weston did not start"

WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    XDG_CONFIG_HOME=$work/config "$program" >"$work/program.log" 2>&1 &
pid=$!
pids+=("$pid")

# The song is filed once the start-up step has listed both folders and an automatic run
# has planned and moved.
for _ in $(seq 300); do
    [ -f "$work/library/Metallica/Metallica - One.mp3" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
    sleep 0.1
done
[ -f "$work/library/Metallica/Metallica - One.mp3" ] || fail "the song was not filed"
# The window was given to the compositor: a toplevel titled Plumtide with content.
grep -q 'xdg_toplevel@[0-9]*\.set_title("Plumtide")' "$work/program.log" \
    || fail "no Plumtide window was shown"
grep -q 'wl_surface@[0-9]*\.commit()' "$work/program.log" || fail "the window never drew"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
grep -qx 'AutoTime=00:00:01' "$work/config/Plumtide/settings.ini" \
    || fail "the settings file was damaged"
echo "wayland test: passed"
