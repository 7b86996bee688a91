#!/usr/bin/env bash
# The real program on a 1280 x 800 virtual screen with a window manager (openbox) and a
# panel along the bottom edge (trayer), scaled by Qt as a user with a high-density screen
# sets it: at 150 % both windows fit and must lie wholly on the screen; at 200 % the main
# window is larger than the screen, and its top-left corner must be at the screen's, so
# that its title strip stays within reach (dragged by it, the window opens the settings
# window), while the settings window still fits.
#   scale_test.sh <path of plumtide>
# Exits 77 (skipped) without the virtual display, openbox, trayer or the X tools. With
# SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "scale test: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot scale-failure
    exit 1
}

start_on_display "scale test" "$0" "$program" "${2:-}" xdotool xwininfo xprop openbox trayer

mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library"
mkdir -m 700 "$work/runtime"
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\n' \
    "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data

# "id x y width height" of the window whose caption starts with $1 (the window system may
# add the program's name) on screen.
named() { plumtide_windows | while read -r id rest; do
    case "$(xdotool getwindowname "$id")" in "$1" | "$1 "*) echo "$id $rest"; break ;; esac
done; }
main_window() { named Plumtide; }
settings_window() { named Settings; }
# The screen less the panel: "x y width height" of the window manager's work area.
work_area() { xprop -root _NET_WORKAREA | sed 's/.*= *//; s/,//g' | cut -d' ' -f1-4; }
# inside WINDOW-FUNCTION: the window lies wholly within the work area.
inside() {
    local _ x y w h ax ay aw ah
    read -r _ x y w h <<<"$("$1")"
    read -r ax ay aw ah <<<"$(work_area)"
    [ "$x" -ge "$ax" ] && [ "$y" -ge "$ay" ] &&
        [ $((x + w)) -le $((ax + aw)) ] && [ $((y + h)) -le $((ay + ah)) ]
}

# The panel first: openbox takes in the room it reserves when it starts, while a panel that
# appears as openbox starts is now and then left unmanaged.
trayer --edge bottom --align right --widthtype request --height 24 --transparent false \
    --SetDockType true --SetPartialStrut true &
pids+=($!)
wait_until 20 xdotool search --class trayer >/dev/null || fail "trayer did not start"
openbox >/dev/null 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start"
panel_reserved() { [ "$(work_area | cut -d' ' -f4)" -lt 800 ]; }
wait_until 10 panel_reserved || fail "the panel reserved no room"

for scale in 1.5 2; do
    QT_SCALE_FACTOR=$scale "$program" &
    pid=$!
    pids+=("$pid")
    wait_until 20 shown main_window || fail "no main window at $scale"
    sleep 2 # the first refresh enables the Settings image's neighbours; the place is kept
    read -r _ x y w h <<<"$(main_window)"
    read -r ax ay aw ah <<<"$(work_area)"
    if [ "$w" -le "$aw" ] && [ "$h" -le "$ah" ]; then
        inside main_window || fail "at $scale the main window ($x,$y ${w}x$h) leaves the work area ($ax,$ay ${aw}x$ah)"
    else
        [ "$x $y" = "$ax $ay" ] ||
            fail "at $scale the main window too large for the screen is at $x,$y, not at $ax,$ay"
    fi
    shot "scale-$scale-main"
    # The Settings image, at 682, 52 of the window's 729 x 471; beyond the screen's edge,
    # the title strip first drags the window left as far as it takes.
    gear=$((x + 682 * w / 729))
    if [ "$gear" -ge $((ax + aw)) ]; then
        xdotool mousemove $((x + w / 2)) $((y + 10)) mousedown 1 sleep 0.3 \
            mousemove $((x + w / 2 - 300)) $((y + 10)) sleep 0.3 \
            mousemove $((x + w / 2 - gear + ax + aw / 2)) $((y + 10)) sleep 0.3 mouseup 1
        sleep 0.5
        read -r _ x y w h <<<"$(main_window)"
        gear=$((x + 682 * w / 729))
    fi
    xdotool mousemove "$gear" $((y + 52 * h / 471)) click 1
    wait_until 5 shown settings_window || fail "at $scale the Settings image opened nothing"
    inside settings_window || fail "at $scale the settings window ($(settings_window)) leaves the work area"
    shot "scale-$scale-settings"
    echo "scale test: at $scale the main window at $x,$y ${w}x$h, settings at $(settings_window | cut -d' ' -f2-)"
    kill -TERM "$pid"
    wait_until 10 ended "$pid" || fail "the program did not end at $scale"
done
