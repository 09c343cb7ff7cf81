#!/usr/bin/env bash
# The installer run unattended, and its failures: -y answers the old-daemon
# question with no input at all; --wait-running goes on once a running suite
# program ends in time and stops with status 3, naming it, when it does not;
# an upgrade whose copy runs out of space (a small file system at
# /usr/Orvik, a site that understates its size) leaves the previous
# installation as it was; a 3 MB package goes through make-site, whose
# pieces grow to keep within the disk list, and through setup.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site "$DEMO_PKG" "$E2E_DIR/site"
copy_pkg "$E2E_DIR/pkg-big"
head -c 3145728 /dev/urandom >"$E2E_DIR/pkg-big/big.bin" # does not compress
echo "c big.bin mode 644" >>"$E2E_DIR/pkg-big/pkg.list"
make_site "$E2E_DIR/pkg-big" "$E2E_DIR/site-big"
pieces=$(find "$E2E_DIR/site-big" -name 'pkg_tar.*' | wc -l)
[ "$pieces" -gt 100 ] && [ "$pieces" -le 360 ] || fail "the 3 MB site has $pieces pieces"
[ "$(stat -c %s "$E2E_DIR/site-big/pkg_tar.aa")" -gt 1024 ] || fail "the piece size did not grow"
[ "$(stat -c %s "$E2E_DIR/site-big/disks")" -lt 4096 ] || fail "the disk list does not fit setup's buffer"
if grep -q "suffixes exhausted" "$E2E_DIR/make-site.err"; then fail "make-site: $(cat "$E2E_DIR/make-site.err")"; fi
# The same package from a site that says it needs next to no space.
cp -a "$E2E_DIR/site-big" "$E2E_DIR/site-full"
echo 1 >"$E2E_DIR/site-full/isize"
echo 1 >"$E2E_DIR/site-full/tsize"
rm "$E2E_DIR/site-full/SHA256SUMS"

run_box "$E2E_DIR/site" '
# Everything under /usr, /etc and /var (also below mounts under the watched
# places), the files of the suite also by content.
tree() {
    # shellcheck disable=SC2086
    { find /usr /etc /var -xdev \( -type d -printf "%p d %m %u %g\n" \) -o \
        -printf "%p %y %m %u %g %s %T@ %l\n"
      find $WATCHED /var/lib/orvik \( -type d -printf "%p d %m %u %g\n" \) -o \
        -printf "%p %y %m %u %g %s %T@ %l\n"
      find $WATCHED /var/lib/orvik -type f -exec sha256sum {} +; } 2>/dev/null |
        sort -u >"$E2E_DIR/$1.tree"
}
run_setup fresh
touch /usr/Orvik/qpxx/QPrintD
run_setup yes -y
rm /usr/Orvik/qpxx/QPrintD

cp /bin/sleep /tmp/qprint
/tmp/qprint 4 & echo $! >"$E2E_DIR/ends.pid"
run_setup ends --wait-running 60
wait
/tmp/qprint 300 & echo $! >"$E2E_DIR/runs.pid"
tree before-runs
run_setup runs-dry -n --wait-running 2
run_setup runs --wait-running 2
tree after-runs
kill "$(cat "$E2E_DIR/runs.pid")"; wait

mkdir /tmp/kept && cp -a /usr/Orvik/. /tmp/kept/
mount -t tmpfs -o size=1m,mode=755 orvik-small /usr/Orvik
cp -a /tmp/kept/. /usr/Orvik/
tree before-full
SITE=$E2E_DIR/site-full run_setup full
tree after-full
umount /usr/Orvik

SITE=$E2E_DIR/site-big run_setup big
cmp "$E2E_DIR/pkg-big/big.bin" /usr/Orvik/qpxx/big.bin >"$E2E_DIR/big.cmp" 2>&1
echo $? >>"$E2E_DIR/big.cmp"
'
# same_tree A B WHAT: the listings A and B agree in every line.
same_tree() {
    local d
    d=$(diff "$E2E_DIR/$1.tree" "$E2E_DIR/$2.tree") || fail "$3: $d"
}

expect_status fresh 0
expect_status yes 0
grep -qF "Do You want to continue with the installation? [yn] y (-y)" "$E2E_DIR/yes.out" ||
    fail "yes: the answer is not shown: $(cat "$E2E_DIR/yes.out")"
grep -q "answered yes (-y)" "$E2E_DIR/yes.log" || fail "yes: the answer is not logged"
expect_installed yes /usr/Orvik/qpxx

expect_status ends 0
grep -qF "qprint ( $(cat "$E2E_DIR/ends.pid") )" "$E2E_DIR/ends.out" &&
    grep -qF "setup: waiting up to 60 seconds for them to end" "$E2E_DIR/ends.out" ||
    fail "ends: $(cat "$E2E_DIR/ends.out")"
expect_installed ends /usr/Orvik/qpxx

expect_status runs 3
grep -qxF "setup: still running after 2 seconds: qprint ( $(cat "$E2E_DIR/runs.pid") )" "$E2E_DIR/runs.out" ||
    fail "runs: the program is not named: $(cat "$E2E_DIR/runs.out")"
if grep -q "Enter a selection" "$E2E_DIR/runs.out"; then fail "runs: the question was asked"; fi
same_tree before-runs after-runs "a run stopped for a running program changed the host"
expect_status runs-dry 0
grep -qxF "setup: dry run: the installation would go through once those programs end, within 2 seconds; else it stops (status 3)" "$E2E_DIR/runs-dry.out" ||
    fail "runs-dry: $(tail -2 "$E2E_DIR/runs-dry.out")"

expect_status full 1
grep -q "No space left on device\|is full" "$E2E_DIR/full.out" "$E2E_DIR/full.log" ||
    fail "full: the copy did not run out of space: $(cat "$E2E_DIR/full.out")"
grep -q "^setup: the previous installation was kept" "$E2E_DIR/full.out" ||
    fail "full: $(cat "$E2E_DIR/full.out")"
same_tree before-full after-full "an upgrade that ran out of space changed the previous installation"

expect_status big 0
expect_eq "$(cat "$E2E_DIR/big.cmp")" 0 "the 3 MB file as installed"
expect_installed big /usr/Orvik/qpxx
echo PASS
