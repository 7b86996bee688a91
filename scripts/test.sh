#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the optimised build with warnings
# as errors, its Debian package, the sanitizer build, the format check and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

step() { printf '\n== %s\n' "$*"; }

step "format check"
scripts/format.sh --check

step "build and test (warnings are errors)"
scripts/build.sh ci
ctest --preset ci -j "$(nproc)"

step "Debian package: built, checked with lintian, installed, used and removed"
tests/package_test.sh ci

step "build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh asan
ctest --preset asan -j "$(nproc)"

step "fuzz targets"
scripts/fuzz.sh "${PLUMTIDE_FUZZ_SECONDS:-60}"

step "all tests passed"
