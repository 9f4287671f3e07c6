#!/usr/bin/env bash
# Builds everything and runs every test: the native build of the format code
# (unit tests and short fuzz runs), then both Windows builds, and the tests of
# the one this machine can run under Wine (scripts/common.sh).
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/deps.sh"
status=0

# Native build of the portable archiver code: unit tests and short fuzz runs.
nat="$root/build/native"
CC=clang CXX=clang++ cmake -S "$root" -B "$nat" -G Ninja >/dev/null
cmake --build "$nat" -j "$jobs"
ctest --test-dir "$nat" -j "$jobs" --output-on-failure --no-tests=ignore || status=$?

# Both Windows builds; their programs and libraries under Wine on the one
# this machine can run.
build_test
echo "Wine tests on $(basename "$TEST_BUILD") under $(basename "$TEST_WINE")"
source "$root/scripts/wine-env.sh" "$TEST_BUILD" "$TEST_WINE"
ctest --test-dir "$TEST_BUILD" -j "$jobs" --output-on-failure || status=$?
wineserver -k 2>/dev/null || true
exit $status
