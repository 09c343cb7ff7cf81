#!/usr/bin/env bash
# The command line of the installer: the version, the work-area parent
# (created when missing, refused when unusable), a relative installation
# directory, and missing size files, which end every run before anything is
# copied.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site "" ""
box '
run version "" -v
run noisize ""
printf "5\n" >"$SITE/isize"
run notsize ""
run newparent "" /var/tmp/front/new/
[ -d /var/tmp/front/new ] && echo made >"$E2E_DIR/newparent.made"
[ -e /tmp/OrvikInstall ] || [ -e /var/tmp/front/new/OrvikInstall ] || echo none >"$E2E_DIR/nowork"
touch /var/tmp/plainfile
run fileparent "" /var/tmp/plainfile
run relative "" install usr/local
'

expect_eq "$(status_of version)" 0 "setup -v status"
expect_eq "$(err_of version)" "setup 4.10.33" "setup -v on standard error"
expect_eq "$(out_of version)" "" "setup -v on standard output"

for run in noisize notsize newparent; do
    expect_eq "$(status_of $run)" 1 "$run status"
    expect_out $run "Could not determine how much space needed for install, missing isize."
done
[ -f "$E2E_DIR/newparent.made" ] || fail "the missing work-area parent was not created"
[ -f "$E2E_DIR/nowork" ] || fail "a work area was made although the sizes are unknown"

expect_eq "$(status_of fileparent)" 2 "a plain file as work-area parent"
expect_eq "$(out_of fileparent)" "ERROR: couldn't open /var/tmp/plainfile" "its message"

expect_eq "$(status_of relative)" 2 "a relative installation directory"
expect_out relative "This entry must be a full path to the installation directory."
echo "PASS"
