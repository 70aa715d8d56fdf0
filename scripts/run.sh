#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window.
source "$(dirname "$0")/common.sh"
ensure_packages
build release -DBUILD_TESTING=OFF
exec "$ROOT/build/release/src/corvane" "$@"
