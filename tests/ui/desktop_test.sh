#!/usr/bin/env bash
# The real program as a user meets it, on a virtual X display with a window manager
# (openbox) and a notification area (trayer): started hidden with automatic sorting every 5
# seconds, it files a song there at start and one that arrives later, with a notification
# each time; a double click on its icon brings the window back; the title strip drags it;
# the link opens the home page; minimised it goes back to the notification area, and the
# settings window with it; a second start shows both again and ends; "Exit" in the icon's
# menu ends it. Then, without a
# notification area, start hidden leaves a minimised window on the taskbar.
#   desktop_test.sh <path of plumtide> <home page>
# Exits 77 (skipped) without the virtual display, openbox, trayer, lame or the X tools.
# With SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
homepage=$2
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "desktop test: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot failure
    exit 1
}

if [ "${3:-}" != "--inside" ]; then
    for tool in xvfb-run xdotool xwininfo xprop openbox trayer lame; do
        command -v "$tool" >/dev/null || { echo "desktop test: no $tool, skipped"; exit 77; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    WORK=$work on_virtual_display "$0" "$program" "$homepage" --inside
    exit
fi

display_started
work=$WORK
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT

# Songs without a tag (the file name names the artist), the settings, and an xdg-open that
# records what it was asked to open.
mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library/Metallica" "$work/bin"
mkdir -m 700 "$work/runtime"
head -c 8820 /dev/zero >"$work/silence.raw"
lame --silent -r -s 22.05 -m m --bitwidth 16 "$work/silence.raw" "$work/song.mp3" 2>/dev/null
cp "$work/song.mp3" "$work/incoming/Metallica - Enter Sandman.mp3"
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\nautoStart=1\nchkAutoTime=1\nAutoTime=00:00:05\n' \
    "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"
printf '#!/bin/sh\nprintf %%s "$#" >"$XDG_OPEN_LOG.count"\nprintf %%s "$1" >"$XDG_OPEN_LOG"\n' \
    >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime XDG_OPEN_LOG=$work/opened
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
export PATH=$work/bin:$PATH

# What is on screen: the main window, the icon, and the rest (notifications, menus).
main_window() { plumtide_windows | awk '$4 == 729 && $5 == 471 { print; exit }'; }
tray_icon() { plumtide_windows | awk '$4 <= 48 && $5 <= 48 { print; exit }'; }
settings_window() { plumtide_windows | awk '$4 == 418 && $5 == 259 { print; exit }'; }
other_window() { plumtide_windows | awk '$4 > 48 && $4 != 729 && $4 != 418 { print; exit }'; }
shown() { [ -n "$("$1")" ]; }
hidden() { [ -z "$("$1")" ]; }
new_other_window() { local id; id=$(other_window | cut -d' ' -f1); [ -n "$id" ] && [ "$id" != "$1" ]; }
at() { [ "$(main_window | cut -d' ' -f2,3)" = "$1 $2" ]; }
filed() { [ -e "$work/library/Metallica/$1" ] && [ ! -e "$work/incoming/$1" ]; }
# click WINDOW-FUNCTION X Y [BUTTON [REPEAT]]: X, Y inside the window, or its middle for "-".
click() {
    local _ x y w h
    read -r _ x y w h <<<"$("$1")"
    [ "$2" != - ] || set -- "$1" $((w / 2)) $((h / 2)) "${@:4}"
    xdotool mousemove $((x + $2)) $((y + $3)) click --repeat "${5:-1}" --delay 80 "${4:-1}"
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
ended() { ! kill -0 "$1" 2>/dev/null; }

openbox >/dev/null 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start"
trayer --edge bottom --align right --widthtype request --height 24 --transparent false &
trayer=$!
pids+=("$trayer")
wait_until 20 xdotool search --class trayer >/dev/null || fail "trayer did not start"

started=$SECONDS
"$program" &
pid=$!
pids+=("$pid")
wait_until 20 shown tray_icon || fail "no icon in the notification area"
wait_until 5 hidden main_window || fail "started hidden, the window stayed on screen"
[ $((SECONDS - started)) -ge 1 ] || fail "hidden before the start-up step"

wait_until 30 filed "Metallica - Enter Sandman.mp3" || fail "the first song was not filed"
wait_until 5 shown other_window || fail "no notification after the first run"
shot notification
first=$(other_window | cut -d' ' -f1)
cp "$work/song.mp3" "$work/incoming/Metallica - One.mp3"
wait_until 30 filed "Metallica - One.mp3" || fail "the song that arrived later was not filed"
wait_until 5 new_other_window "$first" || fail "no notification after the second run"
echo "desktop test: started hidden, both songs filed with a notification each"

click tray_icon - - 1 2
wait_until 5 shown main_window || fail "a double click on the icon did not restore the window"
wait_until 5 hidden tray_icon || fail "the icon stayed after the restore"

# Grabbed at (100, 10) of the strip, let go with the pointer at (500, 300).
read -r _ x y _ <<<"$(main_window)"
xdotool mousemove $((x + 100)) $((y + 10)) mousedown 1
for point in "300 150" "400 250" "500 300"; do
    sleep 0.1
    xdotool mousemove ${point% *} ${point#* }
done
sleep 0.2
xdotool mouseup 1
wait_until 5 at 400 290 || fail "dragged to $(main_window | cut -d' ' -f2,3), expected 400 290"

shot footer
click main_window 560 462
wait_until 5 test -e "$work/opened.count" || fail "the link did not run xdg-open"
printf '%s' "$homepage" | cmp -s - "$work/opened" ||
    fail "xdg-open got '$(cat "$work/opened")', expected '$homepage'"
[ "$(cat "$work/opened.count")" = 1 ] || fail "xdg-open got $(cat "$work/opened.count") arguments"
echo "desktop test: restored by a double click on the icon, dragged, the link opened"

# The settings window, always on top, goes into the notification area with the program.
click main_window 682 52
wait_until 5 shown settings_window || fail "the Settings image opened no settings window"
click main_window 684 12
wait_until 5 shown tray_icon || fail "minimising did not show the icon"
wait_until 5 hidden main_window || fail "minimising left the window on screen"
wait_until 5 hidden settings_window || fail "the settings window stayed on screen"
shot hidden-with-settings
second=0
timeout 20 "$program" || second=$?
[ "$second" -eq 0 ] || fail "the second start ended with status $second"
wait_until 5 shown main_window || fail "a second start did not bring the window back"
wait_until 5 shown settings_window || fail "the settings window did not come back"
kill -0 "$pid" || fail "the first copy ended"
click settings_window 405 10 # its close mark
wait_until 5 hidden settings_window || fail "the settings window did not close"

click main_window 684 12
wait_until 5 shown tray_icon || fail "minimising did not show the icon"
wait_until 15 hidden other_window || fail "a notification did not go away" # not the menu
click tray_icon - - 3
wait_until 5 shown other_window || fail "a right click on the icon opened no menu"
shot menu
read -r _ _ _ menu_width menu_height <<<"$(other_window)"
click other_window $((menu_width / 2)) $((menu_height - 12)) # its last entry, "Exit"
wait_until 10 ended "$pid" || fail "Exit in the icon's menu did not end the program"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program exited with status $status"
wait_until 5 hidden tray_icon || fail "the icon stayed after the program ended"
echo "desktop test: minimised to the icon with the settings window, a second start showed both, Exit ended it"

kill "$trayer"
wait "$trayer" 2>/dev/null || true
"$program" &
pids+=($!)
iconic() {
    local window
    for window in $(xdotool search --classname '^plumtide$' 2>/dev/null || true); do
        xprop -id "$window" WM_STATE 2>/dev/null | grep -q 'window state: Iconic' &&
            xprop -root _NET_CLIENT_LIST | grep -q "$(printf '0x%x' "$window")" && return 0
    done
    return 1
}
wait_until 20 iconic || fail "without a notification area the window was not left minimised"
echo "desktop test: without a notification area, start hidden left a minimised window"
