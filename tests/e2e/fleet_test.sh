#!/usr/bin/env bash
# The installer on many machines: a site that fails its checksums or its
# signature changes nothing; a dry run changes nothing and lists what the
# real run then runs; --status, --verify and --remove work from the record,
# and --remove leaves the tree as before; an upgrade that fails at a command
# or is killed by SIGTERM leaves the previous installation as it was.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

throwaway_key fleet-test@orvik.invalid
make_site --sign fleet-test@orvik.invalid "$DEMO_PKG" "$E2E_DIR/site"
for bad in changed unlisted sig; do cp -a "$E2E_DIR/site" "$E2E_DIR/site-$bad"; done
echo x >>"$E2E_DIR/site-changed/pkg_tar.ab"
sed -i '/pkg_tar.ab/d' "$E2E_DIR/site-unlisted/SHA256SUMS"
echo x >>"$E2E_DIR/site-sig/SHA256SUMS.sig"
copy_pkg "$E2E_DIR/pkg-bad"
sed -i 's/^c qsf mode 755$/&\nc release.txt mode not-a-mode/' "$E2E_DIR/pkg-bad/pkg.list"
make_site "$E2E_DIR/pkg-bad" "$E2E_DIR/site-bad"

# same_tree A B WHAT: the listings A and B agree in every line.
same_tree() {
    local d
    d=$(diff "$E2E_DIR/$1.tree" "$E2E_DIR/$2.tree") || fail "$3: $d"
}

run_box "$E2E_DIR/site" '
# Every path with its type, mode and owners, and for all but directories
# size, time and link text; the files of the suite also by content.
tree() {
    { find /usr /etc /var -xdev \( -type d -printf "%p d %m %u %g\n" \) -o \
        -printf "%p %y %m %u %g %s %T@ %l\n"
      find $WATCHED /var/lib/orvik -type f -exec sha256sum {} +; } 2>/dev/null |
        sort >"$E2E_DIR/$1.tree"
}
tree before
for bad in changed unlisted sig; do
    SITE=$E2E_DIR/site-$bad run_setup $bad --keyring "$E2E_DIR/keyring.gpg"
done
tree after-bad
rm -f /tmp/setup.log; ls -A /tmp >"$E2E_DIR/tmp-before"
(cd "$SITE" && ./setup -n </dev/null >"$E2E_DIR/dry.out" 2>&1; echo $? >"$E2E_DIR/dry.status")
ls -A /tmp >"$E2E_DIR/tmp-after"
tree after-dry
run_setup fresh --keyring "$E2E_DIR/keyring.gpg" --require-checksums
run_cmd status "$SITE/setup" --status
echo changed >>/usr/Orvik/qpxx/README
(cd / && "$SITE/setup" --verify >"$E2E_DIR/verify.out"; echo $? >"$E2E_DIR/verify.status")
sed -i "\$d" /usr/Orvik/qpxx/README
tree installed
SITE=$E2E_DIR/site-bad run_setup bad
tree after-fail
# The package list edit of the upgrade stalls in a stub sed; setup is killed then.
printf "#!/bin/sh\nsleep 30\nexec /usr/bin/sed \"\$@\"\n" >/usr/sbin/sed; chmod 755 /usr/sbin/sed
run_setup killed &
until=$((SECONDS + 100))
while ! pgrep -f "sleep 30" >/dev/null && [ $SECONDS -lt $until ]; do sleep 0.2; done
pgrep -f "sleep 30" >/dev/null || echo "the run never reached the stalled sed" >"$E2E_DIR/kill.late"
pkill -TERM -x setup; wait
# setup ended the command it was running (the stub and its sleep) first.
pgrep -f "sleep 30" >"$E2E_DIR/kill.left"; pkill -f "sleep 30"; rm /usr/sbin/sed
tree after-kill
run_cmd remove "$SITE/setup" --remove
tree removed
'
for bad in changed unlisted sig; do
    expect_status $bad 1
    grep -q "ERROR: the install site fails its" "$E2E_DIR/$bad.out" || fail "$bad: $(cat "$E2E_DIR/$bad.out")"
done
same_tree before after-bad "a failing site changed the host"
expect_status dry 0
same_tree before after-dry "the dry run changed the host"
diff "$E2E_DIR/tmp-before" "$E2E_DIR/tmp-after" || fail "the dry run changed /tmp"
expect_status fresh 0
# The dry run lists the command lines of the real run, all and in order:
# those of the command layer as its log has them, the decompression without
# its redirections, and the two queue-administration runs of the clean-up
# (which run outside the command layer and so are not logged), and the
# silent chmod of /usr/Orvik (output discarded, not logged either).
grep '^run: ' "$E2E_DIR/dry.out" | sed 's/^run: //' | grep -v -e '/qpqadmin -' -e 'chmod  755 /usr/Orvik$' \
    >"$E2E_DIR/dry.lines"
sed -n -e 's/^[^ ]*\/sh -c "//p' -e 's/^\(\/usr\/bin\/[a-z]*compress .*\) 1>>.*/\1/p' \
    -e 's/^\(\/usr\/bin\/gzip .*\) 1>>.*/\1/p' "$E2E_DIR/fresh.log" >"$E2E_DIR/fresh.lines"
d=$(diff "$E2E_DIR/dry.lines" "$E2E_DIR/fresh.lines") || fail "the dry run's list is not the real run's: $d"
for line in "cp -p $E2E_DIR/site/pkg_tar.ab /tmp/OrvikInstall" \
    "cat  /tmp/OrvikInstall/pkg_tar.ab >> /tmp/OrvikInstall/Linuxi386Qpxx.tar.Z" \
    "uncompress /tmp/OrvikInstall/Linuxi386Qpxx.tar.Z" "tar xvfp /tmp/OrvikInstall/Linuxi386Qpxx.tar" \
    "cp -p /tmp/OrvikInstall/pkg/qpqadmin /usr/Orvik/qpxx"; do
    grep -qx "/usr/bin/$line" "$E2E_DIR/dry.lines" || fail "the dry run does not list $line"
done
expect_eq "$(grep -c '^run: /usr/Orvik/qpxx/qpqadmin -' "$E2E_DIR/dry.out")" 2 "qpqadmin runs listed"
# One line of progress: the clean-up's dots go on after the installation's.
grep -qxE '\.{10,}' "$E2E_DIR/fresh.out" && [ "$(wc -l <"$E2E_DIR/fresh.out")" = 1 ] ||
    fail "the progress line: $(cat "$E2E_DIR/fresh.out")"
expect_status status 0
grep -qx "version: 4.10.33" "$E2E_DIR/status.out" && grep -qx "directory: /usr" "$E2E_DIR/status.out" &&
    grep -qE "^site: [0-9a-f]{64}$" "$E2E_DIR/status.out" || fail "status: $(cat "$E2E_DIR/status.out")"
expect_eq "$(cat "$E2E_DIR/verify.status")" 1 "status of --verify after a change"
expect_eq "$(cat "$E2E_DIR/verify.out")" "changed: /usr/Orvik/qpxx/README" "--verify"
expect_status bad 1
grep -q "previous installation was kept" "$E2E_DIR/bad.out" || fail "bad: $(cat "$E2E_DIR/bad.out")"
same_tree installed after-fail "a failed upgrade changed the previous installation"
[ ! -e "$E2E_DIR/kill.late" ] || fail "$(cat "$E2E_DIR/kill.late")"
expect_status killed 143
grep -q "previous installation was kept" "$E2E_DIR/killed.out" || fail "killed: $(cat "$E2E_DIR/killed.out")"
[ ! -s "$E2E_DIR/kill.left" ] || fail "the command setup ran when it was killed still runs"
same_tree installed after-kill "a killed upgrade changed the previous installation"
expect_status remove 0
same_tree before removed "--remove did not bring the host back"
echo PASS
