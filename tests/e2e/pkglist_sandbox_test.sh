#!/usr/bin/env bash
# The package-list cases that write launchers and links into /usr/bin, give
# files to other users and plant decoy processes and temporary-file links:
# the PkgListSandbox cases of the setup test program, run as root inside the
# sandbox (they skip themselves anywhere else).
. "$(dirname "$0")/lib.sh"

tests_bin="$ORVIK_BINARY_DIR/tests/setup_tests"
[ -x "$tests_bin" ] || fail "no test program at $tests_bin"

out="$E2E_DIR/gtest.out"
status=0
in_sandbox -- env ORVIK_PKGLIST_SANDBOX=1 "$tests_bin" --gtest_filter='PkgListSandbox.*' \
    >"$out" 2>&1 || status=$?
cat "$out"
expect_eq "$status" 0 "status of the sandboxed package-list cases"
grep -q '^\[  PASSED  \] [1-9]' "$out" || fail "no sandboxed case ran"
if grep -q '^\[  SKIPPED \]' "$out"; then fail "a sandboxed case skipped itself"; fi
echo "pkglist sandbox cases passed"
