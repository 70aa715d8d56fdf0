#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window.
source "$(dirname "$0")/common.sh"
ensure_packages
build release -DBUILD_TESTING=OFF

# Without a display Qt can only say "could not connect to display" and abort: say instead what
# there is to do. A platform chosen on purpose (QT_QPA_PLATFORM=offscreen, vnc, ...) is taken.
if [ -z "${QT_QPA_PLATFORM:-}${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<EOF
run.sh: built in $ROOT/build/release, but there is no display (neither DISPLAY nor
WAYLAND_DISPLAY is set), so the window is not started.
  To see the window, run ./scripts/run.sh in a desktop session, or log in with ssh -X.
  The command-line tool needs no display:
    $ROOT/build/release/src/corvane-cli help
  To install it alone, with its manual page and bash completion:
    sudo cmake --install $ROOT/build/release --component corvane-cli --prefix /usr/local
  or everything, the window too:
    sudo cmake --install $ROOT/build/release --prefix /usr/local
EOF
    exit 1
fi
exec "$ROOT/build/release/src/corvane" "$@"
