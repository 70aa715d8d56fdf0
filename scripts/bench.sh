#!/usr/bin/env bash
# Installs what is missing, builds, and runs the benchmarks in a private network namespace.
# Prints one table: each figure beside its baseline from the same run; then the find row and
# the render rows.
source "$(dirname "$0")/common.sh"
ensure_packages
want_packages nmap # the baseline of the find row, which is skipped without it
build tests -DBUILD_TESTING=ON
status=0
"$ROOT/tests/netns-run.sh" "$ROOT/build/tests/bench/corvane_bench" || status=$?
"$ROOT/tests/netns-run.sh" "$ROOT/build/tests/bench/find_bench" || status=$?
"$ROOT/build/tests/bench/render_bench" || status=$? # no network: files only
exit "$status"
