# Shared helpers of the end-to-end scenarios. Source it first:
#   . "$(dirname "$0")/lib.sh"
# Every scenario runs the real installer inside tools/sandbox, keeps its own
# files in a directory of the build tree ($E2E_DIR, fresh for each run), and
# exits 77 (skipped) with the reason when the sandbox cannot be made.
set -euo pipefail

: "${ORVIK_SOURCE_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${ORVIK_BINARY_DIR:=$ORVIK_SOURCE_DIR/build/default}"
: "${SETUP_BIN:=$ORVIK_BINARY_DIR/setup}"
SANDBOX="$ORVIK_SOURCE_DIR/tools/sandbox"

if ! reason=$("$SANDBOX" --probe); then
    echo "SKIPPED: the sandbox cannot be made: $reason"
    exit 77
fi

E2E_NAME=$(basename "$0" .sh)
E2E_DIR="$ORVIK_BINARY_DIR/e2e-work/$E2E_NAME"
rm -rf "$E2E_DIR"
mkdir -p "$E2E_DIR"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
    [ "$1" = "$2" ] || fail "$3: expected [$2], got [$1]"
}

# in_sandbox [--stubs DIR] -- COMMAND...: run with a time limit so a hang fails.
in_sandbox() {
    timeout --kill-after=10 300 "$SANDBOX" "$@"
}

# run_sandboxed_cases ENVVAR FILTER WHAT: runs the cases of the setup test
# program that FILTER selects as root inside the sandbox, with ENVVAR=1 (the
# cases skip themselves without it), and fails unless some ran and all passed.
run_sandboxed_cases() {
    local tests_bin="$ORVIK_BINARY_DIR/tests/setup_tests"
    [ -x "$tests_bin" ] || fail "no test program at $tests_bin"
    local out="$E2E_DIR/gtest.out" status=0
    in_sandbox -- env "$1=1" "$tests_bin" --gtest_filter="$2" >"$out" 2>&1 || status=$?
    cat "$out"
    expect_eq "$status" 0 "status of the sandboxed $3 cases"
    grep -q '^\[  PASSED  \] [1-9]' "$out" || fail "no sandboxed case ran"
    if grep -q '^\[  SKIPPED \]' "$out"; then fail "a sandboxed case skipped itself"; fi
    echo "$3 sandbox cases passed"
}
