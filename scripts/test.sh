#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite with CTest. Every test runs in a
# private network namespace of its own (see tests/netns-run.sh), so nothing leaves the machine.
#   scripts/test.sh             the normal build
#   scripts/test.sh --sanitize  the same suite under AddressSanitizer and UBSan
source "$(dirname "$0")/common.sh"
ensure_packages
if [ "${1:-}" = "--sanitize" ]; then
    dir=sanitize
    build "$dir" -DBUILD_TESTING=ON -DCORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
else
    dir=tests
    build "$dir" -DBUILD_TESTING=ON
fi
cd "$ROOT/build/$dir"
ctest --output-on-failure --parallel 2
