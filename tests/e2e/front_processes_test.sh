#!/usr/bin/env bash
# Before an upgrade, running programs of the suite hold the installer: a
# decoy named qprint runs while the previous installation (a real directory
# at /usr/Orvik/qpxx) is upgraded. Quitting ends with status 3 and nothing
# installed; waiting goes on once the program ends; "12" waits 30 seconds,
# the line end left over is the next answer, and the end of the input quits
# (status 3 too). The user is not root here, so a run that gets past the
# prompt stops at the readiness check with status 1. (Other answers are covered by the unit tests.)
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 1 1
stub_user admin
box '
mkdir -p /usr/Orvik/qpxx
cp /bin/sleep /tmp/qprint
decoy() { /tmp/qprint "$1" & echo $! >"$E2E_DIR/$2.pid"; }
stop() { kill $! 2>/dev/null; wait $! 2>/dev/null || true; }

decoy 100 quit; run quit "2\n"
[ -e /tmp/OrvikInstall ] || echo none >"$E2E_DIR/quit.nowork"
stop
decoy 7 wait; run wait "1\n"; stop
decoy 100 twelve; run twelve "12\n"; stop
'

report() { echo "qprint ( $(cat "$E2E_DIR/$1.pid") )"; }
prompts() { count_out "$1" "Enter a selection:"; }
expect_eq "$(status_of quit)" 3 "quit status"
expect_eq "$(status_of wait)" 1 "status after waiting, as admin"
expect_eq "$(status_of twelve)" 3 "status at the end of the input"
# The piped answer is not echoed: the run ends the prompt's line itself.
expect_eq "$(tail -c 1 "$E2E_DIR/quit.out" | od -An -c | tr -d ' ')" '\n' "last character after quit"

expect_out quit "The installer can not continue until these terminate:"
expect_out quit "$(report quit)"
expect_out quit "2.  Quit the installation"
expect_eq "$(prompts quit)" 1 "prompts before quitting"
expect_no_out quit "is logged in"
[ -f "$E2E_DIR/quit.nowork" ] || fail "a work area was made although the user quit"

expect_eq "$(prompts wait)" 1 "prompts while waiting for a program that ends"
expect_out wait "admin is logged in"

expect_eq "$(prompts twelve)" 3 "prompts after 12 and a program that keeps running"
expect_eq "$(count_out twelve "$(report twelve)")" 3 "fresh reports"
expect_no_out twelve "is logged in"

echo "PASS"
