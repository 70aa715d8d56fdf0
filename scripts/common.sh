# Shared by the scripts: install what is missing, then configure and build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian 12 package names of everything the build, the program and the tests need (rsvg-convert
# renders the program's icon from its SVG; libzint draws the receipts' codes, in the fonts below,
# and zbarimg reads them back in the tests). A script that needs more appends to this list.
PACKAGES=(cmake ninja-build g++ qt6-base-dev librsvg2-bin fonts-wqy-microhei fonts-dejavu-core
    libzint-dev zbar-tools iproute2 util-linux)

ensure_packages() {
    command -v dpkg-query >/dev/null 2>&1 || return 0 # not Debian: bring them yourself
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}. Install them, then run this again:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# want_packages NAME...: for what only part of a run needs. Installs what is missing as root;
# otherwise says what is missing and goes on, and that part says it is skipped.
want_packages() {
    command -v dpkg-query >/dev/null 2>&1 || return 0
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Not installed: ${missing[*]}; what needs it is skipped. To have it:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        return 0
    fi
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" ||
        echo "Could not install ${missing[*]}; what needs it is skipped." >&2
}

# The CLI's bash completion is tested as bash-completion loads it.
PACKAGES+=(bash-completion)

# build DIR [cmake options...]: configures the tree into build/DIR and builds it.
build() {
    local dir="$ROOT/build/$1"
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc 2>/dev/null || echo 2)"
}
