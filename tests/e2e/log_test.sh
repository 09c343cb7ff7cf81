#!/usr/bin/env bash
# The installer's log: the first message of a run starts /tmp/setup.log
# afresh ("initializing system" from the command layer), a new log is
# readable and writable by every user, an old log's content is replaced, and
# a link planted in the log's place is replaced, never written through.
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
' _ "$SETUP_BIN" "$E2E_DIR" || fail "the sandbox run failed"

expect_eq "$(head -n 1 "$E2E_DIR/fresh.log")" "initializing system" "first line of a fresh log"
expect_eq "$(cat "$E2E_DIR/fresh.mode")" "666" "mode of a fresh log"

expect_eq "$(head -n 1 "$E2E_DIR/old.log")" "initializing system" "first line after an old log"
if grep -q "stale line" "$E2E_DIR/old.log"; then fail "the old log's content survived"; fi

expect_eq "$(cat "$E2E_DIR/link.target")" "keep me" "file behind a planted link"
expect_eq "$(cat "$E2E_DIR/link.target.mode")" "600" "mode of the file behind the link"
expect_eq "$(cat "$E2E_DIR/link.kind")" "file" "the log after a planted link"
expect_eq "$(head -n 1 "$E2E_DIR/link.log")" "initializing system" "first line after a planted link"
echo "PASS: log"
