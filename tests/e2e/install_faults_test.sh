#!/usr/bin/env bash
# Sites and packages that cannot be installed whole end the run with
# status 1: a piece the disk list names is missing from the site; a piece
# the list leaves out truncates the archive; an attribute of the package
# list fails, leaving the lines before it in effect and nothing after it.
# A quit at the package list's own process check is the user's choice: the
# run is logged as stopped, cleans up and ends with status 3.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site --piece-size 512 --drop-piece pkg_tar.ab "$DEMO_PKG" "$E2E_DIR/site-drop"
rm "$E2E_DIR/site-drop/SHA256SUMS" # the copy's own failure report, not the checksums'
make_site --piece-size 512 --unlisted-piece pkg_tar.ab "$DEMO_PKG" "$E2E_DIR/site-unlisted"
make_site "$DEMO_PKG" "$E2E_DIR/site-good"
copy_pkg "$E2E_DIR/pkg-bad"
sed -i 's/^c qsf mode 755$/&\nc release.txt mode not-a-mode/' "$E2E_DIR/pkg-bad/pkg.list"
grep -q not-a-mode "$E2E_DIR/pkg-bad/pkg.list" || fail "could not plant the failing attribute"
make_site "$E2E_DIR/pkg-bad" "$E2E_DIR/site-bad"

run_box "$E2E_DIR/site-drop" '
run_setup drop
SITE=$E2E_DIR/site-unlisted run_setup unlisted
cp /bin/sleep /tmp/qprint
/tmp/qprint 300 &
decoy=$!
printf "2\n" >/tmp/answers
SITE=$E2E_DIR/site-good SETUP_INPUT=/tmp/answers run_setup quit
kill "$decoy"; wait "$decoy" 2>/dev/null
SITE=$E2E_DIR/site-bad run_setup bad
'

expect_status drop 1
# The report names the command, starts a line of its own and points at the log.
grep -qx "ERROR: /.*/cp -p $E2E_DIR/site-drop/pkg_tar.ab /tmp/OrvikInstall: exited with status 1 (see /tmp/setup.log)" \
    "$E2E_DIR/drop.out" || fail "drop: the error does not name the copy: $(cat "$E2E_DIR/drop.out")"
grep -q "pkg_tar.ab" "$E2E_DIR/drop.log" || fail "drop: the tool's message is not in the log"
expect_absent drop /usr/Orvik
expect_absent drop /var/spool/Orvik

expect_status unlisted 1
expect_absent unlisted /usr/Orvik
grep -q pkg_tar.ab "$E2E_DIR/unlisted.log" && fail "unlisted: pkg_tar.ab was used after all"

expect_status quit 3
grep -q "Installation stopped at the package list" "$E2E_DIR/quit.log" || fail "quit: the stop is not logged"
expect_absent quit /usr/Orvik # a fresh installation that stops removes what it made
expect_absent quit /var/spool/Orvik
expect_absent quit /tmp/OrvikInstall

expect_status bad 1
grep -q ERROR "$E2E_DIR/bad.out" || fail "bad: no error shown"
grep -q "^setup: what the failed installation made was removed" "$E2E_DIR/bad.out" ||
    fail "bad: the removal is not reported"
expect_absent bad /usr/Orvik
expect_absent bad /usr/bin/qprqpxx
expect_absent bad /var/spool/Orvik
expect_calls bad # the run ended before the clean-up
echo "PASS"
