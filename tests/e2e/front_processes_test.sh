#!/usr/bin/env bash
# Before an upgrade, running programs of the suite hold the installer: a
# decoy named qprint runs while the previous installation (a real directory
# at /usr/Orvik/qpxx) is upgraded. Quitting ends with status 0 and nothing
# installed; waiting goes on once the program ends; "12" waits, and the line
# end left over is the next answer; the end of the input quits. The user is
# not root here, so a run that gets past the prompt stops at the readiness
# check.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 1 1
stub_user admin
box '
mkdir -p /usr/Orvik/qpxx
cp /bin/sleep /tmp/qprint
decoy() { /tmp/qprint "$1" & echo $! >"$E2E_DIR/$2.pid"; }
stop() { kill $! 2>/dev/null; wait $! 2>/dev/null; }

decoy 100 quit; run quit "2\n"
[ -e /tmp/OrvikInstall ] || echo none >"$E2E_DIR/quit.nowork"
stop
decoy 100 again; run again "x\n2\n"; stop
decoy 100 eof; run eof ""; stop
decoy 7 wait; run wait "1\n"; stop
decoy 100 twelve; run twelve "12\n"; stop
run idle ""
'

report() { echo "qprint ( $(cat "$E2E_DIR/$1.pid") )"; }
prompts() { count_out "$1" "Enter a selection:"; }
for run in quit again eof wait twelve idle; do
    expect_eq "$(status_of $run)" 0 "$run status"
done

expect_out quit "The installer can not continue until these terminate:"
expect_out quit "$(report quit)"
expect_out quit "2.  Quit the installation"
expect_eq "$(prompts quit)" 1 "prompts before quitting"
expect_no_out quit "is logged in"
[ -f "$E2E_DIR/quit.nowork" ] || fail "a work area was made although the user quit"

expect_eq "$(prompts again)" 2 "prompts with a wrong answer first"
expect_no_out again "is logged in"

expect_eq "$(prompts eof)" 1 "prompts at the end of the input"
expect_no_out eof "is logged in"

expect_eq "$(prompts wait)" 1 "prompts while waiting for a program that ends"
expect_out wait "admin is logged in"

expect_eq "$(prompts twelve)" 3 "prompts after 12 and a program that keeps running"
expect_eq "$(count_out twelve "$(report twelve)")" 3 "fresh reports"
expect_no_out twelve "is logged in"

expect_eq "$(prompts idle)" 0 "prompts when nothing runs"
expect_out idle "admin is logged in"
echo "PASS"
