#!/usr/bin/env bash
# The real program under a tray that speaks StatusNotifierItem, as Plasma's and GNOME's
# (with its extension) do: a minimal watcher on a private session bus, a window manager,
# and no other notification area. Started hidden, the program's icon registers with the
# watcher; the icon's Activate brings the window back; minimised again, SecondaryActivate
# does; minimised again, its ContextMenu opens the icon's menu, whose first entry, "Show
# Plumtide", does.
#   statusnotifier_test.sh <path of plumtide>
# Exits 77 (skipped) without the virtual display, openbox, the D-Bus tools, Debian's
# python3-dbus or the X tools. With SCREENSHOTS set to a folder, it saves what it saw there.
set -euo pipefail

program=$1
# shellcheck source=display.sh
source "$(dirname "$0")/display.sh"
shot() { [ -z "${SCREENSHOTS:-}" ] || import -window root "$SCREENSHOTS/$1.png"; }
fail() {
    echo "status notifier test: $*" >&2
    [ -z "${DISPLAY:-}" ] || shot sni-failure
    exit 1
}
# The watcher runs on the system's Python, where Debian installs python3-dbus.
python=/usr/bin/python3

if [ "${2:-}" != "--inside" ]; then
    for tool in xvfb-run xdotool xwininfo xprop openbox dbus-run-session dbus-send "$python"; do
        command -v "$tool" >/dev/null || { echo "status notifier test: no $tool, skipped"; exit 77; }
    done
    "$python" -c 'import dbus, gi' 2>/dev/null ||
        { echo "status notifier test: no python3-dbus or python3-gi, skipped"; exit 77; }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    WORK=$work on_virtual_display dbus-run-session -- "$0" "$program" --inside
    exit
fi

display_started
work=$WORK
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT

mkdir -p "$work/config/Plumtide" "$work/incoming" "$work/library"
mkdir -m 700 "$work/runtime"
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\nautoStart=1\n' \
    "$work/incoming" "$work/library" >"$work/config/Plumtide/settings.ini"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
items=$work/items
: >"$items"

main_window() { plumtide_windows | awk '$4 == 729 && $5 == 471 { print; exit }'; }
menu_window() { plumtide_windows | awk '$4 != 729 { print; exit }'; }
shown() { [ -n "$("$1")" ]; }
hidden() { [ -z "$("$1")" ]; }
on_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
registrations() { [ "$(wc -l <"$items")" -ge "$1" ]; }
# item METHOD: calls METHOD (x, y) of the icon that registered last, as the tray does.
item() {
    local name path
    read -r name path <<<"$(tail -n 1 "$items")"
    dbus-send --session --type=method_call --dest="$name" "$path" \
        "org.kde.StatusNotifierItem.$1" int32:640 int32:790
}
minimise() {
    local _ x y
    read -r _ x y _ <<<"$(main_window)"
    xdotool mousemove $((x + 684)) $((y + 12)) click 1
    wait_until 5 hidden main_window || fail "minimising left the window on screen"
    wait_until 10 registrations "$1" || fail "the icon did not register again"
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }

"$python" "$(dirname "$0")/statusnotifierwatcher.py" "$items" &
pids+=($!)
wait_until 20 on_bus org.kde.StatusNotifierWatcher || fail "the watcher did not start"
openbox >/dev/null 2>&1 &
pids+=($!)
wait_until 20 wm_running || fail "openbox did not start"

"$program" &
pid=$!
pids+=("$pid")
wait_until 20 registrations 1 || fail "the icon did not register with the watcher"
wait_until 10 hidden main_window || fail "started hidden, the window stayed on screen"
sleep 1 # the start-up step's refresh, so that the window is not shown before it is done

item Activate
wait_until 5 shown main_window || fail "Activate did not bring the window back"
shot sni-activated
echo "status notifier test: Activate brought the window back"

minimise 2
item SecondaryActivate
wait_until 5 shown main_window || fail "SecondaryActivate did not bring the window back"
echo "status notifier test: SecondaryActivate brought the window back"

minimise 3
xdotool mousemove 640 400
item ContextMenu
wait_until 5 shown menu_window || fail "ContextMenu opened no menu"
shot sni-menu
read -r _ x y w _ <<<"$(menu_window)"
xdotool mousemove $((x + w / 2)) $((y + 12)) click 1 # its first entry
wait_until 5 shown main_window || fail "the menu's first entry did not bring the window back"
echo "status notifier test: the menu's first entry, Show Plumtide, brought the window back"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program exited with status $status"
