#!/usr/bin/env bash
# The free-space check of a whole run, with df and du stand-ins placed in
# /usr/sbin (searched first): one file system for the work area and /usr
# must hold both needs, 30000 available is short of 20040 + 10040, and
# 30080 is enough. The user is not root, so a run that passes stops at the
# readiness check.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 20000 10000
stub_user admin
cat >"$STUBS/df" <<'DF'
#!/bin/sh
echo "Filesystem 1K-blocks Used Available Use% Mounted on"
echo "/dev/one 9000000 1000 $(cat /etc/front-avail) 1% /"
DF
printf '#!/bin/sh\nfor a; do p=$a; done\nprintf "0\\t%%s\\n" "$p"\n' >"$STUBS/du"
chmod 755 "$STUBS/df" "$STUBS/du"

box '
echo 30000 >/etc/front-avail; run short ""
echo 30080 >/etc/front-avail; run enough ""
'

expect_eq "$(status_of short)" 1 "short of space: status"
expect_out short "As you are using a working directory, /tmp/OrvikInstall on the same partition as the install directory you have selected, /usr this install requires 3.008000e+04 bytes free."
expect_no_out short "is logged in"
expect_eq "$(status_of enough)" 1 "enough space, but not root: status"
expect_no_out enough "There isn't enough space"
expect_out enough "admin is logged in"
echo "PASS"
