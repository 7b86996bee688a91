#!/usr/bin/env bash
# Builds the Debian package plumtide_<version>_<arch>.deb from a build folder (default: the
# optimised build, build/default, configured and built first) and checks it with lintian.
# Prints the path of the package on its last line.
#   scripts/package.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/setup.sh
scripts/build.sh "$preset" >/dev/null
build=build/$preset
rm -f "$build"/plumtide_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/plumtide_*.deb)
# No errors and no warnings: every tag lintian would give is mended in the package itself.
lintian --fail-on error,warning "$package" >&2
echo "$package"
