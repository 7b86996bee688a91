#!/usr/bin/env bash
# Installs the Debian 12 packages Plumtide needs to build, run and test, and only the
# missing ones; prints nothing when everything is already there.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev zlib1g-dev libsqlite3-dev
    # tests, benchmarks, sanitizers, fuzzing, formatting
    libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev clang-format
    # running the desktop program headless, and looking at it
    xvfb xauth xdotool x11-utils fonts-dejavu-core fonts-dejavu-extra
    # a window manager and notification areas for the end-to-end tests: an XEmbed one, and
    # a StatusNotifierItem watcher of the tests' own on a private D-Bus session bus
    openbox trayer dbus python3-dbus python3-gi
    # screenshots, and the colours of what the end-to-end tests see on screen
    imagemagick
    # test data: real mp3 files and an independent tag implementation; benchmark reference
    lame python3 python3-mutagen
    # what the tests of the run hook post with
    curl
    # FLAC, Ogg and M4A tags (a build dependency); test files of those formats
    libtag1-dev ffmpeg
    # a FUSE file system over a local folder, for the watch of a source whose changes send no
    # notices
    bindfs
    # the Debian package and its checks; a Wayland compositor to run the program under
    dpkg-dev file lintian appstream desktop-file-utils man-db weston qt6-wayland
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
