#!/usr/bin/env bash
# Installs what is missing, builds and starts Plumtide.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<MSG
Plumtide is built, but there is no display to show its window on (neither DISPLAY nor
WAYLAND_DISPLAY is set). On a desktop, run this from a terminal of the desktop session.
To try it without one, start it on a virtual display:

    xvfb-run -a -s "-screen 0 1280x800x24" build/default/ui/plumtide

The headless companion needs no display: build/default/cli/plumtide-cli --help
MSG
    exit 1
fi
exec build/default/ui/plumtide "$@"
