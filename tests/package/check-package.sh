#!/usr/bin/env bash
# Checks the Debian package as a user gets it: the files it installs, the libraries it depends
# on, the version each of its files names, and that the programs it installs start from where
# it puts them. Usage: check-package.sh DEB VERSION
set -euo pipefail
deb=$1
version=$2
id=io.github.corvane.Corvane
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
[ -f "$deb" ] || {
    echo "FAIL: no package at $deb; build it first: ./scripts/package.sh" >&2
    exit 1
}
work=$(mktemp -d)
pid=
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# ---- The files, each owned by root. ----
dpkg-deb -c "$deb" >"$work/contents"
for path in \
    usr/bin/corvane \
    usr/share/applications/$id.desktop \
    usr/share/metainfo/$id.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/$id.svg \
    usr/share/icons/hicolor/48x48/apps/$id.png \
    usr/share/icons/hicolor/128x128/apps/$id.png \
    usr/share/icons/hicolor/256x256/apps/$id.png \
    usr/share/man/man1/corvane.1.gz \
    usr/share/doc/corvane/copyright \
    usr/share/doc/corvane/changelog.gz; do
    awk -v p="./$path" '$6 == p { found = 1 } END { exit !found }' "$work/contents" ||
        fail "the package lacks /$path"
done
awk '$2 != "root/root" { print "FAIL: not owned by root: " $6; bad = 1 } END { exit bad }' \
    "$work/contents" >&2 || failures=$((failures + 1))
awk '$6 != "./" && $6 !~ /^\.\/usr\// { print "FAIL: outside /usr: " $6; bad = 1 } END { exit bad }' \
    "$work/contents" >&2 || failures=$((failures + 1))

# ---- The control fields. ----
dpkg-deb -I "$deb" control >"$work/control"
field() { sed -n "s/^$1: //p" "$work/control"; }
[ "$(field Package)" = corvane ] || fail "Package is '$(field Package)', not corvane"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
case "$(field Section)" in net | utils) ;; *) fail "Section is '$(field Section)'" ;; esac
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
named() { echo ", $depends," | grep -Eq ", $1( \([^)]*\))?,"; }

root=$work/root
dpkg-deb -x "$deb" "$root"

# Every Qt library a program links is a package named in Depends: without it, apt installs a
# program that cannot start.
qt_packages=0
for program in "$root"/usr/bin/*; do
    for library in $(readelf -d "$program" | sed -n 's/.*Shared library: \[\(libQt6[^]]*\)\].*/\1/p'); do
        qt_packages=$((qt_packages + 1))
        package=$(dpkg -S "*/$library" 2>/dev/null | sed -n '1s/[:,].*//p') || true
        if [ -z "$package" ]; then
            fail "$(basename "$program") links $library, which no installed package holds"
        elif ! named "$package"; then
            fail "$(basename "$program") links $library, but Depends lacks $package"
        fi
    done
done
[ "$qt_packages" -gt 0 ] || fail "no program links a Qt 6 library: is that the right package?"

# ---- Each file that names the version names this one. ----
changelog_version=$(gzip -dc "$root/usr/share/doc/corvane/changelog.gz" | sed -n '1s/^corvane (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] ||
    fail "the changelog's latest entry is '$changelog_version', not $version"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$root/usr/share/metainfo/$id.metainfo.xml" | head -n 1)
[ "$release" = "$version" ] || fail "the metainfo's latest release is '$release', not $version"

# ---- The icons are the sizes their folders say; the menu entry names them and the program. ----
for size in 48 128 256; do
    file -b "$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png" |
        grep -q "PNG image data, $size x $size," || fail "the ${size}x$size icon is not $size px"
done
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" || fail "the desktop entry's Icon is not $id"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/$id.desktop")
[ -x "$root/usr/bin/$exec_program" ] || fail "the desktop entry starts '$exec_program', which is not in /usr/bin"

# ---- Every program has its manual page. ----
for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    [ -f "$root/usr/share/man/man1/$name.1.gz" ] || fail "$name has no manual page"
done

# ---- The programs start. Nothing here sends a packet: the window only starts, and the test
# runs in a private network namespace besides (tests/netns-run.sh). ----
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
export XDG_DATA_DIRS=$root/usr/share:/usr/share

# The window is up once its main thread sleeps in the kernel's poll: Qt's event loop, waiting
# for input. The test then closes it; had it crashed or quit by itself, it would be gone.
"$root/usr/bin/corvane" 2>"$work/window.err" &
pid=$!
up=no
for _ in $(seq 1 200); do # 20 s at most
    kill -0 "$pid" 2>/dev/null || break
    if [[ "$(cat "/proc/$pid/wchan" 2>/dev/null)" == *poll* ]]; then
        up=yes
        break
    fi
    sleep 0.1
done
status=0
if [ "$up" = yes ] && kill -TERM "$pid" 2>/dev/null; then
    wait "$pid" || status=$?
    if [ "$status" -eq 143 ]; then
        echo "the window started and was closed by the test"
    else
        fail "the window ended with status $status when told to close"
    fi
else
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" || status=$?
    if [ "$up" = yes ]; then
        fail "the window ended by itself right after it was up (status $status):"
    else
        fail "the window never reached its event loop (status $status):"
    fi
    cat "$work/window.err" >&2
fi
pid=

if [ -e "$root/usr/bin/corvane-cli" ]; then
    if out=$(timeout 10 "$root/usr/bin/corvane-cli" --version </dev/null); then
        echo "corvane-cli --version: $out"
        echo "$out" | grep -qF "$version" || fail "corvane-cli --version does not say $version"
    else
        fail "corvane-cli --version failed with status $?"
    fi
    [ -f "$root/usr/share/bash-completion/completions/corvane-cli" ] ||
        fail "the package lacks corvane-cli's bash completion"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "the package holds what it should and its programs start"
