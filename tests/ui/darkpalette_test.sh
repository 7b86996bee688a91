#!/usr/bin/env bash
# The real program on a desktop with a dark colour scheme (Plasma's Breeze Dark, read by
# Qt from kdeglobals as on a Plasma desktop): the settings window's check boxes (on both
# pages), its matching choices and its disabled time field sit on the skin's artwork and must keep the skin's light fields, not
# take the desktop's dark ones.
#   darkpalette_test.sh <path of plumtide>
# Exits 77 (skipped) without the virtual display, openbox, ImageMagick or the X tools.
# With SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "dark palette test: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot dark-failure
    exit 1
}

start_on_display "dark palette test" "$0" "$program" "${2:-}" xdotool xwininfo xprop openbox import convert

mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library"
mkdir -m 700 "$work/runtime"
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\n' \
    "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"
# Breeze Dark's colours, as Plasma writes them.
cat >"$work/config/kdeglobals" <<'EOF'
[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
[Colors:Tooltip]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
[Colors:View]
BackgroundNormal=27,30,32
ForegroundNormal=252,252,252
[Colors:Window]
BackgroundNormal=42,46,50
ForegroundNormal=252,252,252
EOF
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5

named() { xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1; }
shown() { [ -n "$(named "$1")" ]; }
origin() { xwininfo -id "$(named "$1")" | awk '/Absolute upper-left [XY]/ { printf "%s ", $4 }'; }
# lightness X Y: the lightness of the screen's pixel at X, Y, from 0 (black) to 100 (white).
lightness() {
    import -window root -crop "1x1+$1+$2" +repage -colorspace Gray -format '%[fx:int(100*p)]' info:
}
# light WHAT X Y: the pixel at X, Y of the settings window is light.
light() {
    local level
    level=$(lightness $((sx + $2)) $((sy + $3)))
    [ "$level" -ge 70 ] || fail "$1 is dark ($level of 100) under a dark desktop palette"
}

openbox >/dev/null 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start"

"$program" &
pid=$!
pids+=("$pid")
wait_until 20 shown Plumtide || fail "no main window"
sleep 2 # the first refresh
read -r x y <<<"$(origin Plumtide)"
xdotool mousemove $((x + 682)) $((y + 52)) click 1 # Settings
wait_until 5 shown Settings || fail "the Settings image opened nothing"
sleep 0.5
read -r sx sy <<<"$(origin Settings)"
shot dark-palette

# "Load Plumtide on startup", not ticked, at 8, 72 (13 x 13); the disabled time field at
# 32, 186 (73 x 21), above its text.
light "the check box" 14 78
light "the disabled time field" 35 189
# The More page (Ctrl+PgDown, once the window has the keyboard): the unchecked choice of
# matching at 32, 74 and the Trash's box at 8, 98.
xdotool mousemove $((sx + 400)) $((sy + 250)) click 1
sleep 0.3
xdotool key ctrl+Next
sleep 0.5
shot dark-palette-more
light "the matching choice" 38 80
light "the Trash's check box" 14 104
echo "dark palette test: the check boxes, the choices and the disabled time field keep the skin's light fields"
kill -TERM "$pid"
wait "$pid" || fail "the program did not end cleanly"
