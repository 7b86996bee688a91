# Shared by the scripts that run the real program on a virtual X display; sourced.

# on_virtual_display COMMAND...: runs COMMAND on a virtual X display of its own. xvfb-run -a
# can lose the race for a display number to another X server starting at the same moment;
# then COMMAND never runs, and starting again is the cure. COMMAND calls display_started
# first thing, which tells the two cases apart.
on_virtual_display() {
    local started status attempt
    started=$(mktemp -u)
    for attempt in 1 2 3; do
        status=0
        DISPLAY_STARTED="$started" xvfb-run -a -s "-screen 0 1280x800x24" "$@" || status=$?
        if [ "$status" -eq 0 ] || [ -e "$started" ]; then
            rm -f "$started"
            return "$status"
        fi
        echo "the virtual display did not start (attempt $attempt)" >&2
        sleep "$attempt"
    done
    return 1
}

display_started() {
    : >"$DISPLAY_STARTED"
}

# wait_until SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds;
# fails when SECONDS have passed first.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# The windows of the program (plumtide) that are on screen, one "id x y width height" a line.
plumtide_windows() {
    local window info
    for window in $(xdotool search --onlyvisible --classname '^plumtide$' 2>/dev/null || true); do
        info=$(xwininfo -id "$window" 2>/dev/null) || continue
        printf '%s %s %s %s %s\n' "$window" \
            "$(sed -n 's/^ *Absolute upper-left X: *\(-\?[0-9]*\).*/\1/p' <<<"$info")" \
            "$(sed -n 's/^ *Absolute upper-left Y: *\(-\?[0-9]*\).*/\1/p' <<<"$info")" \
            "$(sed -n 's/^ *Width: *\([0-9]*\).*/\1/p' <<<"$info")" \
            "$(sed -n 's/^ *Height: *\([0-9]*\).*/\1/p' <<<"$info")"
    done
}

# start_on_display NAME SCRIPT PROGRAM SECOND-ARGUMENT TOOL...: the opening of a test of the
# real program. Outside (SECOND-ARGUMENT is not --inside) it checks the tools, exits 77
# (skipped) without one, runs SCRIPT PROGRAM --inside on a virtual display with a scratch
# folder of its own as WORK, and exits with its status. Inside it sets work to that folder
# and pids to a list of processes that are killed when the script exits.
start_on_display() {
    local name=$1 script=$2 program=$3 inside=$4 tool
    shift 4
    if [ "$inside" = --inside ]; then
        display_started
        work=$WORK
        pids=()
        trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
        return
    fi
    for tool in xvfb-run "$@"; do
        command -v "$tool" >/dev/null || { echo "$name: no $tool, skipped"; exit 77; }
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    WORK=$work on_virtual_display "$script" "$program" --inside
    exit
}

# The program's two windows as plumtide_windows prints them (empty when not on screen), told
# apart by their sizes at scale 1.
main_window() { plumtide_windows | awk '$4 == 729 && $5 == 471 { print; exit }'; }
settings_window() { plumtide_windows | awk '$4 == 418 && $5 == 259 { print; exit }'; }
shown() { [ -n "$("$1")" ]; }
hidden() { [ -z "$("$1")" ]; }
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# click WINDOW-FUNCTION X Y: X, Y inside the window.
click() {
    local _ x y
    read -r _ x y _ <<<"$("$1")"
    xdotool mousemove $((x + $2)) $((y + $3)) click 1
    sleep 0.4
}
