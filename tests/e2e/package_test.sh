#!/usr/bin/env bash
# Installation as users get it: cmake --install into a private prefix, whose
# tools find their data with no option from any directory and tell the
# package's version, and the Debian package, clean by lintian, with no trace
# of the build tree in its files, installed, used and removed inside the
# sandbox without leaving a file behind.
. "$(dirname "$0")/lib.sh"

command -v cpack >/dev/null || fail "cpack is not installed"
command -v dpkg >/dev/null || { echo "SKIPPED: dpkg is not installed"; exit 77; }
command -v lintian >/dev/null || fail "lintian is not installed (.ci/run installs it)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$ORVIK_BINARY_DIR/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $ORVIK_BINARY_DIR/CMakeCache.txt"

# ---------------------------------------------------------------- prefix
prefix="$E2E_DIR/prefix"
cmake --install "$ORVIK_BINARY_DIR" --prefix "$prefix" >"$E2E_DIR/install.out"
for f in bin/qdb bin/textmenu bin/helptty libexec/orvik/setup libexec/orvik/make-site \
         share/orvik/trans.conf share/orvik/db/en_US/CoreString.qdb share/orvik/help/index.html \
         share/man/man8/setup.8.gz share/man/man1/qdb.1.gz share/man/man1/textmenu.1.gz \
         share/man/man1/helptty.1.gz share/doc/orvik/copyright share/doc/orvik/changelog.gz; do
    [ -e "$prefix/$f" ] || fail "cmake --install left out $f"
done
zcat "$prefix/share/man/man8/setup.8.gz" | cmp -s - "$ORVIK_SOURCE_DIR/man/setup.8" ||
    fail "the installed setup.8.gz is not man/setup.8"
grep -qF "$(sed -n 3p "$ORVIK_SOURCE_DIR/LICENSE" | sed 's/^Copyright (c) //')" "$prefix/share/doc/orvik/copyright" ||
    fail "the copyright file names not the holders of LICENSE"

# Every tool tells the package's version: TOOL ARGUMENT STREAM.
while read -r tool arg stream; do
    name=$(basename "$tool") status=0
    case $stream in
        out) got=$("$prefix/$tool" "$arg" 2>/dev/null) || status=$? ;;
        err) got=$("$prefix/$tool" "$arg" 2>&1 >/dev/null) || status=$? ;;
    esac
    expect_eq "$status $got" "0 $name $version" "$name $arg"
done <<'TOOLS'
bin/qdb --version out
bin/textmenu --version out
bin/helptty --version out
libexec/orvik/make-site --version out
libexec/orvik/setup -v err
libexec/orvik/setup --version err
TOOLS

# From an unrelated directory, with no data directory named anywhere.
cd "$E2E_DIR"
unset ORVIK_TOOLKIT_DIR
expect_eq "$(LANG=de_AT.UTF-8 "$prefix/bin/qdb" lang)" de_DE "installed qdb lang"
"$prefix/bin/qdb" keys en_US/CoreString | grep -qx 25_1016 || fail "installed qdb keys"
"$prefix/bin/helptty" --dump index.html >"$E2E_DIR/dump.out" || fail "installed helptty --dump"
[ -s "$E2E_DIR/dump.out" ] || fail "installed helptty --dump wrote nothing"
expect_eq "$(echo y | "$prefix/bin/textmenu" -y 'Go on?' >/dev/null 2>&1; echo $?)" 0 "installed textmenu -y"

# The installed make-site builds a site around the installed setup.
"$prefix/libexec/orvik/make-site" "$ORVIK_SOURCE_DIR/demo/pkg" "$E2E_DIR/site" >/dev/null 2>&1 ||
    fail "installed make-site failed"
cmp -s "$prefix/libexec/orvik/setup" "$E2E_DIR/site/setup" || fail "the site holds another setup"

# ---------------------------------------------------------------- package
(cd "$ORVIK_BINARY_DIR" && cpack -G DEB -B "$E2E_DIR/deb" >"$E2E_DIR/cpack.out" 2>&1) ||
    { cat "$E2E_DIR/cpack.out"; fail "cpack -G DEB failed"; }
deb=$(ls "$E2E_DIR"/deb/orvik_*.deb)
[[ $(dpkg-deb -f "$deb" Depends) == *procps* ]] || fail "the package names no system tools"
expect_eq "$(dpkg-deb -f "$deb" Version)" "$version" "the package's version"

# lintian finds nothing to warn of (its informational notes may stand).
lintian --fail-on error,warning --display-info "$deb" >"$E2E_DIR/lintian.out" 2>&1 ||
    { cat "$E2E_DIR/lintian.out"; fail "lintian failed on the package"; }
if grep -q '^[EW]: ' "$E2E_DIR/lintian.out"; then
    cat "$E2E_DIR/lintian.out"
    fail "lintian reports errors or warnings"
fi

# No file of the package holds the path of the tree it was built from; but
# the sanitizers' reports name source files by their path, so a sanitizer
# build's package (never a release) is let off.
dpkg-deb -x "$deb" "$E2E_DIR/unpacked"
traced=$(grep -rlaF "$ORVIK_SOURCE_DIR" "$E2E_DIR/unpacked" || true)
if grep -qx 'ORVIK_SANITIZE:BOOL=ON' "$ORVIK_BINARY_DIR/CMakeCache.txt"; then
    echo "a sanitizer build: its package may name the source tree"
else
    [ -z "$traced" ] || fail "the package's files name the build tree: $traced"
fi
dpkg-deb -c "$deb" >"$E2E_DIR/contents"
for f in usr/share/man/man8/setup.8.gz usr/share/man/man1/qdb.1.gz usr/share/orvik/trans.conf \
         usr/share/doc/orvik/examples/printqueue.menu usr/share/doc/orvik/copyright; do
    grep -q " \./$f\$" "$E2E_DIR/contents" || fail "the package holds no $f"
done

in_sandbox -- bash -c '
set -eu
out=$1
dpkg -i "$2" >"$out/dpkg-i.out" 2>&1
dpkg -L orvik | sort >"$out/files"
cd /
env -u ORVIK_TOOLKIT_DIR LANG=fr_CA qdb lang >"$out/lang"
qdb msg CoreString 30 22 Contents >"$out/msg"
helptty --links qdb.html >"$out/links"
textmenu --help >"$out/textmenu-help"
/usr/libexec/orvik/setup -v 2>"$out/version"
dpkg -r orvik >"$out/dpkg-r.out" 2>&1
left=""
while read -r f; do
    if [ -f "$f" ] || [ -L "$f" ]; then left="$left $f"; fi
done <"$out/files"
echo "${left# }" >"$out/left"
[ -d /usr/share/orvik ] && echo kept >"$out/datadir" || true
' sh "$E2E_DIR" "$deb" || { cat "$E2E_DIR/dpkg-i.out" "$E2E_DIR/dpkg-r.out" 2>/dev/null; fail "the package run in the sandbox failed"; }

expect_eq "$(cat "$E2E_DIR/lang")" fr_FR "packaged qdb lang"
[ -s "$E2E_DIR/msg" ] || fail "packaged qdb msg wrote nothing"
[ -s "$E2E_DIR/links" ] || fail "packaged helptty --links wrote nothing"
grep -q "usage" "$E2E_DIR/textmenu-help" || fail "packaged textmenu --help"
expect_eq "$(cat "$E2E_DIR/version")" "setup 4.10.33" "packaged setup -v"
expect_eq "$(cat "$E2E_DIR/left")" "" "files left after dpkg -r"
[ ! -e "$E2E_DIR/datadir" ] || fail "dpkg -r left /usr/share/orvik"
echo "package installs, runs and removes cleanly"
