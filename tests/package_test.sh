#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, checks what a user gets from it
# (the programs on the path, the menu entry, icons, metadata, manual pages, the watch's
# service, and "Load Plumtide on startup" pointing at the installed program), and removes
# it cleanly again.
#   tests/package_test.sh [preset]        (as root: it installs and removes a package)
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package test: $*" >&2; exit 1; }
# shellcheck source=ui/display.sh
source tests/ui/display.sh

# On the virtual display: the installed program, its settings window, the check box.
if [ "${1:-}" = "--inside" ]; then
    display_started
    plumtide &
    pid=$!
    wait_until 15 xdotool search --onlyvisible --name '^Plumtide$' >/dev/null
    sleep 2 # the start-up step's first refresh
    xdotool mousemove 841 158 click 1 # Settings
    wait_until 10 xdotool search --onlyvisible --name '^Settings$' >/dev/null
    xdotool mousemove 272 256 click 1 # "Load Plumtide on startup"
    sleep 0.5
    xdotool mousemove 665 191 click 1 # the close mark
    wait_until 10 test -f "$XDG_CONFIG_HOME/autostart/Plumtide.desktop"
    kill -TERM "$pid"
    wait "$pid"
    exit
fi
[ "$(id -u)" -eq 0 ] || { echo "package test: not root, skipped"; exit 0; }

package=$(scripts/package.sh "${1:-default}" | tail -n 1)
export DEBIAN_FRONTEND=noninteractive
# A package left by an interrupted earlier run goes first.
if dpkg -s plumtide >/dev/null 2>&1; then apt-get remove -y -qq plumtide >/dev/null; fi
apt-get install -y -qq --no-install-recommends "./$package" >/dev/null
trap 'apt-get remove -y -qq plumtide >/dev/null 2>&1 || true' EXIT

[ "$(command -v plumtide)" = /usr/bin/plumtide ] || fail "plumtide is not on the path"
dpkg-query -W -f='${Recommends}' plumtide | grep -qw xdg-utils \
    || fail "the package does not recommend xdg-utils, which the link opens the home page with"
[ "$(plumtide-cli --version)" = "plumtide-cli $(sed -n 's/^project(Plumtide VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ] \
    || fail "plumtide-cli --version: $(plumtide-cli --version)"
desktop-file-validate /usr/share/applications/plumtide.desktop | grep -v ': hint: ' \
    && fail "the desktop entry does not validate"
grep -qx 'Exec=plumtide' /usr/share/applications/plumtide.desktop || fail "menu entry command"
for size in 16 22 24 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/plumtide.png" ] || fail "no ${size}px icon"
done
appstreamcli validate --no-net /usr/share/metainfo/org.example.plumtide.metainfo.xml >/dev/null \
    || fail "the AppStream metadata does not validate"
[ "$(man -w plumtide-cli)" = /usr/share/man/man1/plumtide-cli.1.gz ] || fail "no manual page"
MANWIDTH=100 man plumtide-cli 2>/dev/null | grep -q 'plumtide-cli - file mp3 files' \
    || fail "the manual page does not render"
man -w plumtide >/dev/null || fail "no manual page for plumtide"
grep -qx 'ExecStart=plumtide-cli watch' /usr/lib/systemd/user/plumtide-watch.service \
    || fail "no systemd user unit for the watch"

# The menu entry's command, as a user: "Load Plumtide on startup" in the settings window.
work=$(mktemp -d)
trap 'apt-get remove -y -qq plumtide >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir -p "$work/config/Plumtide" "$work/music"
mkdir -m 700 "$work/runtime"
printf '[Software\\Plumtide]\nSource=%s\nDestination=%s\n' "$work/music" "$work/music" \
    >"$work/config/Plumtide/settings.ini"
HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
    on_virtual_display "$0" --inside || fail "could not turn on loading at startup"
grep -qxE 'Exec="?/usr/bin/plumtide"?' "$work/config/autostart/Plumtide.desktop" \
    || fail "the autostart entry does not start the installed program: $(grep Exec= "$work/config/autostart/Plumtide.desktop")"

apt-get remove -y -qq plumtide >/dev/null
trap 'rm -rf "$work"' EXIT
for path in /usr/bin/plumtide /usr/bin/plumtide-cli /usr/share/applications/plumtide.desktop \
    /usr/share/metainfo/org.example.plumtide.metainfo.xml /usr/share/doc/plumtide \
    /usr/lib/systemd/user/plumtide-watch.service; do
    [ ! -e "$path" ] || fail "$path is left after removal"
done
echo "package test: passed ($package)"
