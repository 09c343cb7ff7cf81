#!/usr/bin/env bash
# The helper tools as a developer meets them: -h and --help print the usage
# on standard output with status 0, an unknown option is refused with the
# usage on standard error and status 2, and make-site takes its options
# anywhere on the line. Needs no sandbox: nothing is run as root.
set -euo pipefail
: "${ORVIK_SOURCE_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${ORVIK_BINARY_DIR:=$ORVIK_SOURCE_DIR/build/default}"
: "${SETUP_BIN:=$ORVIK_BINARY_DIR/setup}"
tools=$ORVIK_SOURCE_DIR/tools
work=$ORVIK_BINARY_DIR/e2e-work/tools_usage_test
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in sandbox make-site demo; do
    for opt in -h --help; do
        status=0
        timeout 20 "$tools/$tool" $opt >"$work/out" 2>"$work/err" || status=$?
        [ $status = 0 ] || fail "$tool $opt: status $status"
        grep -q "^usage: $tool" "$work/out" || fail "$tool $opt: no usage: $(cat "$work/out")"
        [ ! -s "$work/err" ] || fail "$tool $opt wrote to standard error: $(cat "$work/err")"
    done
    status=0
    timeout 20 "$tools/$tool" --no-such-option >"$work/out" 2>"$work/err" || status=$?
    [ $status = 2 ] || fail "$tool --no-such-option: status $status"
    [ ! -s "$work/out" ] || fail "$tool --no-such-option wrote to standard output"
    grep -q "^$tool: unknown" "$work/err" || fail "$tool: no refusal: $(cat "$work/err")"
    grep -q "usage: $tool" "$work/err" || fail "$tool: no usage with the refusal"
done

# make-site of the source tree tells the project's version, as the installed one does.
version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$ORVIK_SOURCE_DIR/CMakeLists.txt")
[ "$("$tools/make-site" --version)" = "make-site $version" ] ||
    fail "make-site --version: [$("$tools/make-site" --version)], not the project's $version"

"$tools/make-site" "$ORVIK_SOURCE_DIR/demo/pkg" "$work/site" --caps --setup "$SETUP_BIN" \
    2>"$work/err" || fail "make-site with options after the operands: $(cat "$work/err")"
[ -f "$work/site/DISKS" ] && [ -f "$work/site/PKG_TAR.AA" ] || fail "--caps after the operands was not taken"
# The sandbox runs its command in the caller's directory.
if "$tools/sandbox" --probe >/dev/null; then
    got=$(cd "$work" && timeout 60 "$tools/sandbox" -- pwd) || fail "sandbox -- pwd failed"
    [ "$got" = "$work" ] || fail "the sandbox ran its command in [$got], not in $work"
    # A sandbox as a host of its own: its name, and an empty /root and /run of its own.
    got=$(timeout 60 "$tools/sandbox" --hostname orvik-box --private /root --private /run -- \
        sh -c 'echo $(hostname) $(grep -c "	orvik-box$" /etc/hosts) $(stat -f -c %T /root /run) \
            $(find /root /run -mindepth 1 | wc -l)') || fail "sandbox --hostname --private failed"
    [ "$got" = "orvik-box 1 tmpfs tmpfs 0" ] || fail "sandbox --hostname --private: [$got]"
    [ "$(hostname)" != orvik-box ] || fail "the sandbox's host name reached the machine"
    for bad in "--hostname a/b" "--hostname" "--private tmp" "--private /"; do
        status=0
        # shellcheck disable=SC2086
        timeout 20 "$tools/sandbox" $bad -- true >/dev/null 2>"$work/err" || status=$?
        [ $status = 2 ] || fail "sandbox $bad: status $status"
        grep -q "^sandbox: " "$work/err" || fail "sandbox $bad: no refusal: $(cat "$work/err")"
    done
fi
echo "PASS"
