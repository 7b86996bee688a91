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
