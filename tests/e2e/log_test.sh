#!/usr/bin/env bash
# The installer's log: the first message of a run starts /tmp/setup.log
# afresh ("initializing system" from the command layer), a new log is
# readable and writable by every user, an old log's content is replaced, and
# a link planted in the log's place is replaced, never written through.
# Then the races an unprivileged user (nobody) can run against it: a link
# re-created in a loop while setup starts, a planted file that the user keeps
# trying to swap for a link while the run appends to the log, and a second
# name of a root-only file in the log's place. The victim files stay as they
# were and the log ends up a file of root's own.
. "$(dirname "$0")/lib.sh"

in_sandbox -- bash -c '
    setup=$1 out=$2
    run() { (cd /tmp && "$setup" </dev/null >"$out/$1.out" 2>&1; echo $? >"$out/$1.rc"); }

    run fresh
    cp /tmp/setup.log "$out/fresh.log"
    stat -c %a /tmp/setup.log >"$out/fresh.mode"

    for i in $(seq 50); do echo "stale line $i from an earlier run"; done >/tmp/setup.log
    run old
    cp /tmp/setup.log "$out/old.log"

    rm -f /tmp/setup.log
    echo "keep me" >/etc/orvik-precious
    chmod 600 /etc/orvik-precious
    ln -s /etc/orvik-precious /tmp/setup.log
    run link
    cp /etc/orvik-precious "$out/link.target"
    stat -c %a /etc/orvik-precious >"$out/link.target.mode"
    if [ -L /tmp/setup.log ]; then echo link; else echo file; fi >"$out/link.kind"
    cp /tmp/setup.log "$out/link.log"

    as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"; }
    victim_state() { echo "$(stat -c "%a %u %h" "$1") $(cat "$1")"; }
    log_state() { stat -c "%F %a %U %h" /tmp/setup.log; }

    # A link re-created in a loop while setup starts, again and again.
    rm -f /tmp/setup.log
    as_nobody sh -c "while :; do ln -sfn /etc/orvik-precious /tmp/setup.log 2>/dev/null; done" &
    loop=$!
    for i in $(seq 20); do (cd /tmp && "$setup" -v 2>/dev/null); done
    kill $loop; wait $loop 2>/dev/null
    victim_state /etc/orvik-precious >"$out/loop.victim"
    log_state >"$out/loop.log"

    # A file planted beforehand, then swapped for a link, over and over, while
    # a whole run (root, an empty site) appends its commands to the log.
    rm -f /tmp/setup.log
    as_nobody sh -c "echo planted >/tmp/setup.log"
    as_nobody sh -c "while :; do rm -f /tmp/setup.log 2>/dev/null; ln -sfn /etc/orvik-precious /tmp/setup.log 2>/dev/null; done" &
    loop=$!
    site=/var/tmp/site; mkdir -p $site; cp "$setup" $site/setup
    echo 1 >$site/isize; echo 1 >$site/tsize; printf "disks\nend_of_list\n" >$site/disks
    (cd $site && ./setup </dev/null >"$out/swap.out" 2>&1; echo $? >"$out/swap.rc")
    kill $loop; wait $loop 2>/dev/null
    victim_state /etc/orvik-precious >"$out/swap.victim"
    log_state >"$out/swap.log"
    cp /tmp/setup.log "$out/swap.logtext"

    # A second name of a root-only file (on the same file system as /tmp).
    rm -f /tmp/setup.log
    mkdir -m 700 /tmp/private
    echo "root only" >/tmp/private/secret; chmod 600 /tmp/private/secret
    ln /tmp/private/secret /tmp/setup.log
    (cd /tmp && "$setup" -v 2>/dev/null)
    victim_state /tmp/private/secret >"$out/hard.victim"
    log_state >"$out/hard.log"
' _ "$SETUP_BIN" "$E2E_DIR" || fail "the sandbox run failed"

expect_eq "$(head -n 1 "$E2E_DIR/fresh.log")" "initializing system" "first line of a fresh log"
expect_eq "$(cat "$E2E_DIR/fresh.mode")" "666" "mode of a fresh log"

expect_eq "$(head -n 1 "$E2E_DIR/old.log")" "initializing system" "first line after an old log"
if grep -q "stale line" "$E2E_DIR/old.log"; then fail "the old log's content survived"; fi

expect_eq "$(cat "$E2E_DIR/link.target")" "keep me" "file behind a planted link"
expect_eq "$(cat "$E2E_DIR/link.target.mode")" "600" "mode of the file behind the link"
expect_eq "$(cat "$E2E_DIR/link.kind")" "file" "the log after a planted link"
expect_eq "$(head -n 1 "$E2E_DIR/link.log")" "initializing system" "first line after a planted link"
for race in loop swap; do
    expect_eq "$(cat "$E2E_DIR/$race.victim")" "600 0 1 keep me" "$race: the file behind the link"
    expect_eq "$(cat "$E2E_DIR/$race.log")" "regular file 666 root 1" "$race: the log"
done
expect_eq "$(cat "$E2E_DIR/swap.rc")" 1 "the run with an empty site"
grep -q "tar" "$E2E_DIR/swap.logtext" || fail "the run's later commands are not in the log"
if grep -q "logging stopped" "$E2E_DIR/swap.out"; then fail "the log was swapped after all"; fi
expect_eq "$(cat "$E2E_DIR/hard.victim")" "600 0 1 root only" "the root-only file"
expect_eq "$(cat "$E2E_DIR/hard.log")" "regular file 666 root 1" "the log after a second name"
echo "PASS: log"
