#!/usr/bin/env bash
# The previous installation at /usr/Orvik/qpxx decides the target: a real
# directory means /usr, a link its own directory (an absolute text as it
# stands, a relative one as seen from /usr/Orvik), a stale link is removed
# and the run is fresh; a directory on the command line wins. A requirement
# no file system meets shows the target in the space report.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 1000000000000 1
box '
mkdir -p /usr/local/suite/Orvik/qpxx
run none ""
mkdir -p /usr/Orvik
ln -s /usr/local/suite/Orvik/qpxx /usr/Orvik/qpxx
run absolute ""
run override "" install /usr/other/Orvik/qpxx
rm /usr/Orvik/qpxx
ln -s ../local/suite/Orvik/qpxx /usr/Orvik/qpxx
run relative ""
rm /usr/Orvik/qpxx
ln -s /usr/gone/Orvik/qpxx /usr/Orvik/qpxx
run stale ""
[ -e /usr/Orvik/qpxx ] || [ -L /usr/Orvik/qpxx ] || echo removed >"$E2E_DIR/stale.removed"
grep -q "rm -f */usr/Orvik/qpxx" /tmp/setup.log && echo logged >"$E2E_DIR/stale.logged"
'

short() { echo "There isn't enough space in $1 to perform the installation activities."; }
for run in none absolute override relative stale; do
    expect_eq "$(status_of $run)" 1 "$run status"
done
expect_out none "$(short /usr)"
expect_out absolute "$(short /usr/local/suite)"
expect_out override "$(short /usr/other)"
expect_out relative "$(short /usr/local/suite)"
expect_out stale "$(short /usr)"
[ -f "$E2E_DIR/stale.removed" ] || fail "the stale link is still there"
[ -f "$E2E_DIR/stale.logged" ] || fail "the removal of the stale link is not in the log"
echo "PASS"
