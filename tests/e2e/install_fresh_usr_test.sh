#!/usr/bin/env bash
# A fresh installation into /usr from the demo site, then an upgrade in
# place: directories, modes, the flag file, the queue scripts, the spool
# directories, the package's files and launchers, the work area gone and
# qpqadmin run with -upgrade then -clean. The upgrade keeps what the
# administrator changed outside the package and rewrites the rest.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site "$DEMO_PKG" "$E2E_DIR/site"
run_box "$E2E_DIR/site" '
run_setup fresh
cp /usr/Orvik/qpxx/qpdemo.conf "$E2E_DIR/fresh.conf"
run_cmd launcher /usr/bin/qpdemo hello world
# What an administrator changes between the runs.
echo "job 1" >/usr/Orvik/qpxx/spool/demo.log
chmod 770 /var/spool/Orvik
echo " CUPS " >/usr/Orvik/qpxx/.qp_cfg
rm /usr/Orvik/qpxx/OrvikQSF
run_setup upgrade
cp /usr/Orvik/qpxx/spool/demo.log "$E2E_DIR/upgrade.demo.log"
'

expect_status fresh 0
expect_mode fresh /usr/Orvik d 755
expect_mode fresh /usr/Orvik/qpxx d 755 root
expect_installed fresh /usr/Orvik/qpxx
expect_mode fresh /var/spool/Orvik d 775
expect_flag fresh BSD
grep -qx 'spool /var/spool/Orvik/qpxx' "$E2E_DIR/fresh.conf" || fail "qpdemo.conf was not edited"
expect_status launcher 0
expect_calls launcher "driver hello world (cwd /usr/Orvik/qpxx)"
grep -q 'tar xvfp /tmp/OrvikInstall/Linuxi386Qpxx.tar$' "$E2E_DIR/fresh.log" ||
    fail "the log does not show the archive being unpacked"

expect_status upgrade 0
expect_installed upgrade /usr/Orvik/qpxx
expect_flag upgrade BSD  # rewritten for the spooler the host runs now
expect_mode upgrade /usr/Orvik/qpxx/OrvikQSF f 755
expect_mode upgrade /var/spool/Orvik d 770 # an upgrade relies on the spool of the installation
expect_eq "$(cat "$E2E_DIR/upgrade.demo.log")" "job 1" "the job log after the upgrade"
! grep -q 'mkdir -p /usr/Orvik/qpxx$' "$E2E_DIR/upgrade.log" ||
    fail "the upgrade made the application directory again"
echo "PASS"
