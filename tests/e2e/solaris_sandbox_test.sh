#!/usr/bin/env bash
# The Solaris package registration upgrade against a stub installf that
# records its calls, a package map, the work area's root and reloc trees and
# a pkginfo under /var/sadm/pkg: the SolarisSandbox cases of the setup test
# program, run as root inside the sandbox (they skip themselves anywhere else).
. "$(dirname "$0")/lib.sh"

tests_bin="$ORVIK_BINARY_DIR/tests/setup_tests"
[ -x "$tests_bin" ] || fail "no test program at $tests_bin"

out="$E2E_DIR/gtest.out"
status=0
in_sandbox -- env ORVIK_SOLARIS_SANDBOX=1 "$tests_bin" --gtest_filter='SolarisSandbox.*' \
    >"$out" 2>&1 || status=$?
cat "$out"
expect_eq "$status" 0 "status of the sandboxed Solaris cases"
grep -q '^\[  PASSED  \] [1-9]' "$out" || fail "no sandboxed case ran"
if grep -q '^\[  SKIPPED \]' "$out"; then fail "a sandboxed case skipped itself"; fi
echo "Solaris sandbox cases passed"
