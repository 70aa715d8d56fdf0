#!/usr/bin/env bash
# Installs what is missing, builds the program as Debian builds its packages and makes the .deb
# build/package/corvane_<version>_<arch>.deb with CPack.
#   scripts/package.sh          the package
#   scripts/package.sh --check  then validate its desktop entry and AppStream metadata, run
#                               lintian on it and its CTest check (tests/package/)
source "$(dirname "$0")/common.sh"
check=OFF
case "${1:-}" in
"") ;;
--check) check=ON ;;
*) echo "usage: scripts/package.sh [--check]" >&2 && exit 2 ;;
esac
PACKAGES+=(dpkg-dev file)
[ "$check" = ON ] && PACKAGES+=(desktop-file-utils appstream lintian)
ensure_packages

# Debian's compiler and linker flags with all its hardening (no build paths in the binaries
# either); build type None adds no flags of its own to them. Given on every configure, so a
# build folder made before takes them too.
cd "$ROOT"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
build package -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=None -DCORVANE_PACKAGE_CHECK="$check" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"

cd "$ROOT/build/package"
rm -f ./*.deb
cpack -G DEB | grep -F 'CPack: - package:'
[ "$check" = ON ] || exit 0

deb=$(echo ./*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
id=io.github.corvane.Corvane
echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
echo "ok"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
echo "== lintian"
lintian --fail-on error,warning --display-info "$deb"
echo "ok"
echo "== the package's own check"
ctest --output-on-failure
