#!/usr/bin/env bash
# The questions as an administrator meets them at a terminal (tmux): the
# German question under LANG de_DE.UTF-8 shows its text in UTF-8, asks again
# after a letter it does not take, and "nein" ends the run with status 3; a
# quit at the running-programs prompt ends with status 3 too. Each ending
# leaves the cursor at the start of a line.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"
command -v tmux >/dev/null || fail "tmux is not installed"

front_site 1 1
box '
export TMUX_TMPDIR=/tmp
# wait_for TEXT: polls the pane for TEXT, for at most 20 seconds.
wait_for() {
    for _ in $(seq 200); do
        tmux capture-pane -p -t t 2>/dev/null | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "timed out waiting for [$1]" >>"$E2E_DIR/term.errors"
    return 1
}
# session NAME COMMAND: runs COMMAND from the site in a fresh 100x30 pane.
# A server that fails to start (it happens now and then in a fresh sandbox)
# is started again.
session() {
    tmux kill-server 2>/dev/null
    for _ in 1 2 3; do
        tmux new-session -d -s t -x 100 -y 30 \
            "cd \"$SITE\" && $2; s=\$?; printf x; echo \"status=\$s\" >\"$E2E_DIR/$1.status\"; sleep 30" \
            2>/dev/null && tmux has-session -t t 2>/dev/null && return 0
        sleep 0.5
    done
    echo "tmux did not start" >>"$E2E_DIR/term.errors"
    return 1
}
finish() {
    for _ in $(seq 200); do [ -s "$E2E_DIR/$1.status" ] && break; sleep 0.1; done
    tmux capture-pane -p -t t >"$E2E_DIR/$1.screen"
    tmux display -p -t t "#{cursor_x}" >"$E2E_DIR/$1.cursor"
}

mkdir -p /usr/Orvik/qpxx
touch /usr/Orvik/qpxx/QPrintD
session nein "LANG=de_DE.UTF-8 timeout --foreground 60 ./setup"
wait_for "[jn]" && tmux send-keys -t t s Enter
sleep 0.5
tmux send-keys -t t nein Enter
finish nein

cp /bin/sleep /tmp/qprint
/tmp/qprint 100 &
session quit "timeout --foreground 60 ./setup"
wait_for "Enter a selection:" && tmux send-keys -t t 2 Enter
finish quit
kill $! 2>/dev/null
tmux kill-server 2>/dev/null
'

[ ! -f "$E2E_DIR/term.errors" ] || fail "$(cat "$E2E_DIR/term.errors")"
for run in nein quit; do
    expect_eq "$(cat "$E2E_DIR/$run.status")" "status=3" "$run at the terminal"
    # The "x" printed after the program ended stands at the start of a line.
    grep -qx "x" "$E2E_DIR/$run.screen" || fail "$run: the run did not end at a line start:
$(cat "$E2E_DIR/$run.screen")"
done
grep -qF "Druckdämon QPrintD" "$E2E_DIR/nein.screen" || fail "no UTF-8 German text:
$(cat "$E2E_DIR/nein.screen")"
expect_eq "$(grep -c "Weiter mit der Installation? \[jn\]" "$E2E_DIR/nein.screen")" 2 "German questions"
grep -qF "Weiter mit der Installation? [jn] nein" "$E2E_DIR/nein.screen" || fail "the answer is not on the question's line"
grep -qF "Enter a selection:  2" "$E2E_DIR/quit.screen" || fail "quit: $(cat "$E2E_DIR/quit.screen")"
echo "PASS"
