#!/usr/bin/env bash
# The readiness check inside a whole run: a user who is not root is told so
# and nothing is installed; an application directory that holds the old
# print daemon raises the question, and an answer that does not continue
# ends the program at once with status 3, leaving the old daemon's boot
# links and the work area as they are. A refused user ends with status 1.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 1 1
stub_user admin
box 'run admin ""'

expect_eq "$(status_of admin)" 1 "a run by admin"
expect_out admin "admin is logged in"
expect_out admin "You must become root to run setup"
[ "$(grep -A1 "admin is logged in" "$E2E_DIR/admin.out" | tail -1)" = \
    "You must become root to run setup" ] || fail "message 35 is not two lines"

rm -f "$STUBS/whoami"
box '
mkdir -p /usr/Orvik/qpxx /etc/rc2.d
touch /usr/Orvik/qpxx/QPrintD /etc/rc2.d/KOrvikPrintD /etc/rc2.d/SOrvikPrintD
for answer in n eof; do
    [ $answer = eof ] && input="" || input="Y\nn\n"
    run $answer "$input"
    [ -e /etc/rc2.d/KOrvikPrintD ] && [ -e /etc/rc2.d/SOrvikPrintD ] &&
        echo kept >"$E2E_DIR/$answer.links"
    [ -d /tmp/OrvikInstall ] && echo left >"$E2E_DIR/$answer.work"
    rm -rf /tmp/OrvikInstall
done
'

questions() { count_out "$1" "Do You want to continue with the installation? [yn]"; }
for run in n eof; do
    expect_eq "$(status_of $run)" 3 "answer $run: status"
    expect_out $run "If you currently have Orvik printer software installed that uses QPrintD"
    expect_out $run "NOTE: QPrintD is located in <install directory>/Orvik/qpxx"
    [ -f "$E2E_DIR/$run.links" ] || fail "answer $run: the old daemon's boot links were removed"
    [ -f "$E2E_DIR/$run.work" ] || fail "answer $run: the clean-up ran"
done
expect_eq "$(questions n)" 2 "questions for Y and n"
expect_eq "$(questions eof)" 1 "questions at the end of the input"
echo "PASS"
