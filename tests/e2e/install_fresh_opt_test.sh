#!/usr/bin/env bash
# A fresh installation into /opt: the application directory below /opt, the
# link at /usr/Orvik/qpxx, the launchers pointing there; then an upgrade in
# place found through the link. Then two fresh installations on hosts that
# already hold something below /usr/Orvik: a directory /usr/Orvik of the
# administrator's, and a stale link at the fixed place.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site "$DEMO_PKG" "$E2E_DIR/site"
run_box "$E2E_DIR/site" '
run_setup fresh install /opt
run_cmd launcher /usr/bin/qprqpxx -dqueue1 -f
run_setup upgrade

forget() { rm -rf /usr/Orvik /opt/Orvik /var/spool/Orvik /usr/bin/qp* /usr/share/OrvikDemo; }
forget
mkdir -m 750 /usr/Orvik
run_setup own_base install /opt/

forget
mkdir -p /usr/Orvik
ln -s /gone/Orvik/qpxx /usr/Orvik/qpxx
run_setup stale install /opt
'

expect_status fresh 0
expect_mode fresh /opt/Orvik d 755
expect_mode fresh /opt/Orvik/qpxx d 775
expect_mode fresh /usr/Orvik d 775
expect_link fresh /usr/Orvik/qpxx /opt/Orvik/qpxx
expect_installed fresh /opt/Orvik/qpxx
expect_mode fresh /var/spool/Orvik d 775
expect_flag fresh BSD
expect_absent fresh /usr/Orvik/qpxx/qpxx
expect_calls launcher "qprqpxxtty -dqueue1 -f (cwd /opt/Orvik/qpxx)"

expect_status upgrade 0
expect_link upgrade /usr/Orvik/qpxx /opt/Orvik/qpxx
expect_installed upgrade /opt/Orvik/qpxx
expect_absent upgrade /usr/Orvik/qpxx/qpxx
expect_absent upgrade /opt/Orvik/qpxx/qpxx

expect_status own_base 0
expect_mode own_base /usr/Orvik d 750
expect_link own_base /usr/Orvik/qpxx /opt/Orvik/qpxx
expect_installed own_base /opt/Orvik/qpxx

expect_status stale 0
expect_link stale /usr/Orvik/qpxx /opt/Orvik/qpxx
expect_installed stale /opt/Orvik/qpxx
expect_mode stale /var/spool/Orvik d 775
echo "PASS"
