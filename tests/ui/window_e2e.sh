#!/usr/bin/env bash
# The real program as a new user tries it, on a virtual X display with a window manager
# (openbox), driven with the mouse and the keyboard: the window changes files only as it
# shows. An option unticked in the settings window holds at the next sort; Enter pressed
# anywhere but on "Create" with the new-artists panel open makes no folder; "Move files"
# after switching to another view moves nothing; and, with automatic sorting every second,
# a folder typed into the source field loses no keystroke while runs come due, and the run
# starts as soon as the field is left.
#   window_e2e.sh <path of plumtide>
# Exits 77 (skipped) without the virtual display, openbox, lame or the X tools. With
# SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "window e2e: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot failure
    exit 1
}

start_on_display "window e2e" "$0" "$program" "${2:-}" xdotool xwininfo xprop openbox lame

# Songs without a tag (the file name names the artist); one of about 30 KB.
mkdir -p "$work/config/Plumtide" "$work/in" "$work/lib/Metallica" "$work/doubles" "$work/typed"
mkdir -m 700 "$work/runtime"
head -c 8820 /dev/zero >"$work/silence.raw"
lame --silent -r -s 22.05 -m m --bitwidth 16 "$work/silence.raw" "$work/song.mp3" 2>/dev/null
cp "$work/song.mp3" "$work/in/Metallica - One.mp3"
head -c 30000 /dev/zero >>"$work/in/Metallica - One.mp3"
cp "$work/song.mp3" "$work/in/Nirvana - Lithium.mp3"
settings=$work/config/Plumtide/settings.ini
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\nDoubleDir=%s\ndoDelFile=1\ndelFileSize=640\n' \
    "$work/in" "$work/lib" "$work/doubles" >"$settings"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime HOME=$work
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data

key() { xdotool key "$@"; sleep 0.3; }
# Places in the main window (its client area, as laid out).
source_field() { click main_window 300 42; }
destination_field() { click main_window 300 66; }
source_view() { click main_window 56 100; }
move_files() { click main_window 568 100; }
start_sort() { click main_window 672 100; }
settings_image() { click main_window 682 52; }
close_window() { click main_window 712 12; }
start() {
    "$program" &
    pid=$!
    pids+=("$pid")
    wait_until 20 shown main_window || fail "the window did not show"
    sleep 2.5 # the start-up step lists both folders
}

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start: $(xprop -root _NET_SUPPORTING_WM_CHECK 2>&1)"

start

# "Delete mp3 files smaller than:" unticked in Settings holds for the very next sort: the
# 30 KB song is filed, not deleted.
settings_image
wait_until 10 shown settings_window || fail "the settings window did not show"
click settings_window 14 222
shot settings
click settings_window 406 11
wait_until 10 hidden settings_window || fail "the settings window did not close"
grep -qxF "doDelFile=0" "$settings" || fail "the settings file lacks doDelFile=0"
start_sort
shot plan
move_files
wait_until 10 test -e "$work/lib/Metallica/Metallica - One.mp3" ||
    fail "the 30 KB song was not filed (deleted: $(test -e "$work/in/Metallica - One.mp3" || echo yes))"
echo "window e2e: an option unticked in Settings held at the next sort"

# The new-artists panel is open (Nirvana has no folder): Enter in the fields, on the list and
# on "Move files" makes no folder.
start_sort
shot panel
destination_field
key End Return
source_field
key Return
click main_window 150 220 # a row of the new artists
key Return
key shift+Tab Return # back from the list: the plan's buttons and views
key shift+Tab Return
sleep 1
[ -e "$work/lib/NIRVANA" ] && fail "an Enter made the folder NIRVANA"
[ -e "$work/in/Nirvana - Lithium.mp3" ] || fail "an Enter moved a file"
echo "window e2e: Enter anywhere but on Create made no folder"

# A plan of Metallica, then the source view: "Move files" moves nothing hidden.
cp "$work/song.mp3" "$work/in/Metallica - Enter Sandman.mp3"
sleep 2.5 # older than a sort by hand waits for
start_sort
source_view
shot source-view
move_files
sleep 1
[ -e "$work/in/Metallica - Enter Sandman.mp3" ] || fail "Move files moved a plan that was not shown"
echo "window e2e: Move files moved nothing behind another view"
close_window
wait_until 10 ended "$pid" || fail "the program did not end"

# Automatic sorting every second while a folder is typed: every keystroke arrives, no run
# takes the folder half-typed, and leaving the field starts the run with it.
sed -i -e '/^chkAutoTime=/d' -e '/^AutoTime=/d' "$settings"
printf 'chkAutoTime=1\nAutoTime=00:00:01\nWatchSettle=1\n' >>"$settings"
cp "$work/song.mp3" "$work/typed/Metallica - Fuel.mp3"
sleep 2.5
start
source_field
key ctrl+a
xdotool type --delay 150 "$work/typed"
sleep 0.5
shot typing
grep -qxF "Source=$work/typed" "$settings" ||
    fail "typed '$work/typed', the settings file has '$(grep '^Source=' "$settings")'"
[ -e "$work/typed/Metallica - Fuel.mp3" ] || fail "a run took the folder while it was typed"
key Tab
wait_until 10 test -e "$work/lib/Metallica/Metallica - Fuel.mp3" ||
    fail "leaving the field did not start the run"
shot after-run
echo "window e2e: no keystroke lost to automatic runs; the run came when the field was left"

# Lyrics that come after their song was filed follow it at the next automatic run.
printf '[00:01.00]Gimme fuel\n' >"$work/typed/Metallica - Fuel.lrc"
wait_until 15 test -e "$work/lib/Metallica/Metallica - Fuel.lrc" ||
    fail "the lyrics did not follow their song"
sleep 0.5
shot lyrics-followed
echo "window e2e: lyrics that came after their song followed it"
close_window
wait_until 10 ended "$pid" || fail "the program did not end"
