#!/usr/bin/env bash
# Installs what is missing, builds, and runs the benchmarks in a private network namespace.
# Prints one table: each figure beside its baseline from the same run.
source "$(dirname "$0")/common.sh"
ensure_packages
build tests -DBUILD_TESTING=ON
exec "$ROOT/tests/netns-run.sh" "$ROOT/build/tests/bench/corvane_bench"
