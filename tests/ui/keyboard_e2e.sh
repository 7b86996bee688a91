#!/usr/bin/env bash
# The main window without a mouse, in the real program on a virtual X display with a window
# manager (openbox): after one click into the window, Tab reaches the browse glyph, Settings
# and Exit; Enter presses what has the focus; the folder browser opens at the folder in the
# field, the arrows and Enter choose a folder there, Esc closes it; with the new-artists
# panel open, Enter on the plan and on "Move files" makes no folder, and Esc closes it.
#   keyboard_e2e.sh <path of plumtide>
# Exits 77 (skipped) without the virtual display, openbox, lame or the X tools. With
# SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "keyboard e2e: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot failure
    exit 1
}

start_on_display "keyboard e2e" "$0" "$program" "${2:-}" xdotool xwininfo xprop openbox lame import

# Songs without a tag (the file name names the artist): Metallica has a folder, Nirvana none.
mkdir -p "$work/config/Plumtide" "$work/in" "$work/lib/Metallica" "$work/doubles"
mkdir -m 700 "$work/runtime"
head -c 8820 /dev/zero >"$work/silence.raw"
lame --silent -r -s 22.05 -m m --bitwidth 16 "$work/silence.raw" "$work/song.mp3" 2>/dev/null
cp "$work/song.mp3" "$work/in/Metallica - One.mp3"
cp "$work/song.mp3" "$work/in/Nirvana - Lithium.mp3"
settings=$work/config/Plumtide/settings.ini
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\nDoubleDir=%s\n' \
    "$work/in" "$work/lib" "$work/doubles" >"$settings"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime HOME=$work
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data

key() { xdotool key --delay 120 "$@"; sleep 0.4; }
tabs() { local i; for ((i = 0; i < $1; i++)); do xdotool key Tab; sleep 0.1; done; sleep 0.3; }
# colour X Y: the colour at X, Y inside the main window.
colour() {
    local _ x y
    read -r _ x y _ <<<"$(main_window)"
    import -window root -crop "1x1+$((x + $1))+$((y + $2))" -depth 8 txt:- | tail -n 1 |
        awk '{ print $3 }'
}
# Inside each panel's title strip: what lies there when the panel is closed differs from
# the panel's own backdrop.
browser_spot() { colour 300 132; }
artists_spot() { colour 560 132; }
source_setting() { sed -n 's/^Source=//p' "$settings"; }

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start"

"$program" &
pid=$!
pids+=("$pid")
wait_until 20 shown main_window || fail "the window did not show"
sleep 2.5 # the start-up step lists both folders
closed_browser=$(browser_spot)
closed_artists=$(artists_spot)

# One click into the source field; from here on the keyboard only.
click main_window 300 42
tabs 1 # the source's browse glyph
shot browse-glyph-focused
key Return
wait_until 5 test "$(browser_spot)" != "$closed_browser" || fail "Enter on the browse glyph opened no browser"
sleep 1 # the tree opens down to the folder in the field
shot browser-open
key Up Return # the folder above "in" (doubles), chosen with Enter
wait_until 5 test "$(source_setting)" = "$work/doubles" ||
    fail "Up and Enter in the tree chose '$(source_setting)', not $work/doubles"
key Down space # and back to "in", with Space
wait_until 5 test "$(source_setting)" = "$work/in" ||
    fail "Down and Space in the tree chose '$(source_setting)', not $work/in"
key Escape
wait_until 5 test "$(browser_spot)" = "$closed_browser" || fail "Esc left the browser open"
echo "keyboard e2e: the browser opened from the keyboard, chose folders with Enter and Space, closed on Esc"

# Back on the browse glyph: the settings window and Start sort are a few Tabs away.
tabs 3 # destination field, its browse glyph, Settings (Abort is disabled while idle)
key Return
wait_until 10 shown settings_window || fail "Enter on Settings showed no settings window"
shot settings-by-keyboard
click settings_window 406 11
wait_until 10 hidden settings_window || fail "the settings window did not close"

click main_window 300 42
tabs 10 # browse glyphs, destination field, Settings, Minimise, Exit, the source list, the view buttons, Start sort
key Return
wait_until 10 test "$(artists_spot)" != "$closed_artists" || fail "Enter on Start sort showed no new artists"
shot plan-and-panel
[ -e "$work/in/Metallica - One.mp3" ] || fail "Start sort moved a file"

# With the panel open: Enter on the plan and on "Move files" makes no folder; Move files moves.
key shift+Tab shift+Tab shift+Tab shift+Tab # Move files, the view buttons, the plan
key Return
tabs 3 # the view buttons, Move files
shot move-files-focused
key Return
wait_until 10 test -e "$work/lib/Metallica/Metallica - One.mp3" || fail "Enter on Move files moved nothing"
sleep 1
[ -e "$work/lib/NIRVANA" ] && fail "an Enter made the folder NIRVANA"
[ -e "$work/in/Nirvana - Lithium.mp3" ] || fail "Nirvana's song went somewhere"
test "$(artists_spot)" != "$closed_artists" || fail "the new plan shows no new artists"
key Escape
wait_until 5 test "$(artists_spot)" = "$closed_artists" || fail "Esc left the new-artists panel open"
[ -e "$work/lib/NIRVANA" ] && fail "Esc made the folder NIRVANA"
echo "keyboard e2e: Enter pressed Start sort and Move files, made no folder; Esc closed the panel"

# Exit from the keyboard.
click main_window 300 42
tabs 6 # browse glyph, destination field, its glyph, Settings, Minimise, Exit
key Return
wait_until 10 ended "$pid" || fail "Enter on Exit did not end the program"
echo "keyboard e2e: Enter on Exit ended the program"
