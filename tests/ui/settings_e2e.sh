#!/usr/bin/env bash
# The real program on a virtual X display, driven with the mouse and keys as a user would:
# sets the compare percentage and automatic sorting in the settings window, drags that window
# by its title strip, turns to its More page with Ctrl+PgDown, chooses careful matching there,
# closes it with Esc, picks the source and the destination folder in the folder browser, and
# checks what reached the settings file.
#   settings_e2e.sh <path of plumtide>
# Exits 77 (skipped) when the virtual display or the X tools are not installed.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
fail() { echo "settings e2e: $*" >&2; [ -f "${settings:-}" ] && cat "$settings" >&2; exit 1; }

if [ "${2:-}" != "--inside" ]; then
    for tool in xvfb-run xdotool xwininfo; do
        command -v "$tool" >/dev/null || { echo "settings e2e: no $tool, skipped"; exit 77; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/.config/Plumtide" "$work/in" "$work/lib/Madonna" "$work/none"
    printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\n' \
        "$work/none" "$work/none" >"$work/.config/Plumtide/settings.ini"
    # A runtime folder of its own: the program allows one copy per user and session.
    mkdir -m 700 "$work/run"
    HOME="$work" XDG_CONFIG_HOME="$work/.config" XDG_RUNTIME_DIR="$work/run" \
        on_virtual_display "$0" "$program" --inside
    exit
fi

display_started
settings="$XDG_CONFIG_HOME/Plumtide/settings.ini"

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

hidden() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# Polls until the settings file holds the line, or fails.
expect_line() {
    for _ in $(seq 100); do
        grep -qxF "$1" "$settings" && return 0
        sleep 0.1
    done
    fail "the settings file lacks '$1'"
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
double_click() { xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1; sleep 0.3; }
# Double-clicks at x y until the settings file holds the line (the tree reads folders in the
# background, so a row may not be there at the first try), or fails.
choose_until() {
    for _ in $(seq 50); do
        double_click "$1" "$2"
        grep -qxF "$3" "$settings" && return 0
    done
    fail "double-clicking at $1,$2 did not store '$3'"
}

for _ in $(seq 150); do
    xdotool search --onlyvisible --name '^Plumtide$' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 3 # the first refresh enables the folder fields and the browse images

# Screen positions: the main window lies at 159,106 and the settings window at 259,179.
click 841 158 # Settings
for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Settings$' >/dev/null 2>&1 && break
    sleep 0.2
done
for _ in 1 2 3; do click 468 235; done # the percentage's right arrow: 37 -> 40
click 273 353 # "Automatically sort every:"
# Dragged by its title strip from (100, 10) inside it to (600, 400) on the screen.
window=$(xdotool search --onlyvisible --name '^Settings$' | head -n 1)
xdotool mousemove 359 189 mousedown 1 sleep 0.3 mousemove 500 300 sleep 0.3 \
    mousemove 600 400 sleep 0.3 mouseup 1
sleep 0.5
info=$(xwininfo -id "$window")
at="$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info"),$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")"
[ "$at" = "500,390" ] || fail "the dragged settings window is at $at, expected 500,390"
# The More page from the keyboard, a choice there with the mouse, and Esc closes the window,
# saving as its close mark does. The window now lies at 500,390.
xdotool key ctrl+Next
sleep 0.3
click 600 470 # "Only the same artist", at 56,74 in the window
xdotool key Escape
expect_line "Percentage=40"
expect_line "chkAutoTime=1"
expect_line "Matching=careful"
# Only what the user changed is stored: no defaults, no doubles folder nobody chose.
for name in MoveFile WatchSettle DoubleDir; do
    grep -q "^$name=" "$settings" && fail "the settings window stored $name, which nobody chose"
done
wait_until 5 hidden Settings || fail "Esc left the settings window open"

# The folder tree lies at 337,264; its rows are 18 pixels high: Computer, /, Home, and
# Home's folders in, lib, none (the tree opens at the field's folder, none). A click
# selects, a double click chooses.
click 591 148 # browse for the source folder
choose_until 406 327 "Source=$HOME/in"
click 587 235 # the panel's close mark
click 591 173 # browse for the destination folder
choose_until 406 345 "Destination=$HOME/lib"
expect_line "Source=$HOME/in"

click 871 118 # the main window's close cross
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end"
trap - EXIT
wait "$pid" || fail "the program exited with an error"
[ -e "$XDG_CONFIG_HOME/autostart/Plumtide.desktop" ] && fail "an autostart entry appeared"
echo "settings e2e: options, both folders and their file lines as chosen"
