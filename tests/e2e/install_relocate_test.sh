#!/usr/bin/env bash
# Moving an installation: /usr to /opt, /opt back to /usr, /opt to /srv, each
# followed by the upgrade of the moved files; a file of the administrator's
# (the queue database) travels along. Last, a target that names the current
# installation through a symbolic link: nothing is moved or lost, only the
# link at the fixed place follows the new name.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site "$DEMO_PKG" "$E2E_DIR/site"
run_box "$E2E_DIR/site" '
run_setup fresh
mkdir /usr/Orvik/qpxx/db && echo queues >/usr/Orvik/qpxx/db/que.qdb
run_setup to_opt install /opt
run_setup to_usr install /usr
run_setup again_opt install /opt
run_setup to_srv install /srv
ln -s /srv /usr/local/srvalias
run_setup alias install /usr/local/srvalias
cp /srv/Orvik/qpxx/db/que.qdb "$E2E_DIR/alias.qdb" 2>/dev/null
'

expect_status fresh 0
expect_mode fresh /usr/Orvik/qpxx d 755

expect_status to_opt 0
expect_mode to_opt /opt/Orvik d 755
expect_mode to_opt /opt/Orvik/qpxx d 755
expect_mode to_opt /opt/Orvik/qpxx/db/que.qdb f 644
expect_link to_opt /usr/Orvik/qpxx /opt/Orvik/qpxx
expect_installed to_opt /opt/Orvik/qpxx
expect_absent to_opt /opt/Orvik/qpxx/qpxx
expect_flag to_opt BSD

expect_status to_usr 0
expect_mode to_usr /usr/Orvik/qpxx d 755
expect_mode to_usr /usr/Orvik/qpxx/db/que.qdb f 644
expect_installed to_usr /usr/Orvik/qpxx
expect_mode to_usr /opt/Orvik d 755
expect_absent to_usr /opt/Orvik/qpxx

expect_status again_opt 0
expect_link again_opt /usr/Orvik/qpxx /opt/Orvik/qpxx

expect_status to_srv 0
expect_mode to_srv /srv/Orvik/qpxx d 755
expect_mode to_srv /srv/Orvik/qpxx/db/que.qdb f 644
expect_link to_srv /usr/Orvik/qpxx /srv/Orvik/qpxx
expect_installed to_srv /srv/Orvik/qpxx
expect_mode to_srv /opt/Orvik d 755
expect_absent to_srv /opt/Orvik/qpxx
expect_flag to_srv BSD

expect_status alias 0
expect_link alias /usr/Orvik/qpxx /usr/local/srvalias/Orvik/qpxx
expect_installed alias /srv/Orvik/qpxx /usr/local/srvalias/Orvik/qpxx
expect_eq "$(cat "$E2E_DIR/alias.qdb" 2>/dev/null)" queues "the queue database after the move onto itself"
echo "PASS"
