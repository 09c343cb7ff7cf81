#!/usr/bin/env bash
# The print subsystem named in the flag file, run by run on one host whose
# spooler changes: an LPRng lpd (its version line on standard error), the
# same with a running cupsd (CUPS wins), no lpd and a cupsd that is only a
# file (BSD), a running cupsd alone, and an lpd of another make (BSD).
# Every upgrade rewrites the flag file.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

stubs="$E2E_DIR/stubs"
mkdir -p "$stubs"
cat >"$stubs/lpd" <<'STUB'
#!/bin/sh
echo "lpd $*" >>/tmp/lpd-calls.log
[ "$1" = -V ] && echo "lpd (LPRng) 3.8.35 stand-in" >&2
exit 0
STUB
chmod 755 "$stubs/lpd"

make_site "$DEMO_PKG" "$E2E_DIR/site"
run_box --stubs "$stubs" "$E2E_DIR/site" '
run_setup lprng
cp /tmp/lpd-calls.log "$E2E_DIR/lpd-calls" 2>/dev/null

cp /bin/sleep /tmp/cupsd
/tmp/cupsd 300 &
decoy=$!
run_setup lprng_cups
kill "$decoy"; wait "$decoy" 2>/dev/null

rm /usr/sbin/lpd
cp /bin/sleep /usr/sbin/cupsd
run_setup idle_cups

/tmp/cupsd 300 &
decoy=$!
run_setup cups
kill "$decoy"; wait "$decoy" 2>/dev/null

printf "#!/bin/sh\necho \"lpd 5.9 (BSD)\" >&2\n" >/usr/sbin/lpd
chmod 755 /usr/sbin/lpd
run_setup other_lpd
'

expect_status lprng 0
expect_flag lprng LPRng
grep -qx 'lpd -V' "$E2E_DIR/lpd-calls" || fail "lpd was not asked for its version: $(cat "$E2E_DIR/lpd-calls")"
expect_installed lprng /usr/Orvik/qpxx
for run in lprng_cups idle_cups cups other_lpd; do expect_status $run 0; done
expect_flag lprng_cups CUPS
expect_flag idle_cups BSD
expect_flag cups CUPS
expect_flag other_lpd BSD
echo "PASS"
