#!/usr/bin/env bash
# The textmenu tool as people meet it: the sample menu driven in tmux (keys
# sent, the screen read back), the pass phrase with echo off and restored
# after a stop and a continue, piped input, the end of input at every
# prompt, and the command line's errors. Every run has a time limit.
set -euo pipefail

BIN=${TOOL_BIN:?}
SRC=${ORVIK_SOURCE_DIR:?}
MENU=$SRC/data/menus/printqueue.menu
dir=$(mktemp -d /tmp/textmenu_e2e_XXXXXX)
T=(tmux -S "$dir/tmux.sock")
cleanup() {
    "${T[@]}" kill-server 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# --------------------------------------------------------------- tmux
# Waits until the screen shows TEXT (10 seconds at most).
screen() { "${T[@]}" capture-pane -p -t t; }
wait_for() {
    local text=$1
    while [ "${text% }" != "$text" ]; do text=${text% }; done  # the screen keeps no trailing blanks
    for _ in $(seq 100); do
        screen >"$dir/pane" 2>/dev/null || true
        grep -qF -- "$text" "$dir/pane" && return 0
        sleep 0.1
    done
    cat "$dir/pane" >&2
    fail "the screen never showed: $1"
}
type_line() {
    "${T[@]}" send-keys -t t -l -- "$1"
    "${T[@]}" send-keys -t t Enter
}

if command -v tmux >/dev/null; then
    cd "$SRC"
    "${T[@]}" new-session -d -s t -x 100 -y 50 "bash --norc --noprofile"
    "${T[@]}" set-option -t t remain-on-exit on >/dev/null
    type_line "PS1='ready> '; clear"
    wait_for "ready> "
    type_line "$BIN -o $dir/out $MENU; echo status=\$?"
    wait_for "Enter your choice or s for store settings in a file or h for help or <Return> to exit:"
    wait_for " 3) Connection ............................... [1. Network socket]"
    wait_for "    Remote queue ............................. [raw]"

    # A forbidden name, then a good one typed after the selection.
    type_line "1"
    wait_for "Queue name (letters, digits, - and _): "
    type_line "lp"
    wait_for 'Invalid entry "lp"'
    type_line ""
    type_line "1 office-2"
    wait_for " 1) Queue name ............................... [office-2]"

    # The connection steps on: the remote queue is offered, port 515 preset,
    # the daemon's options become the submenu.
    type_line "3"
    wait_for " 3) Connection ............................... [2. Line printer daemon]"
    wait_for " 5) Port ..................................... [515]"
    wait_for " 7) Remote queue ............................. [raw]"
    wait_for "12) Line printer daemon options"

    # The picker: A3 added, saved.
    type_line "11"
    wait_for " ->  1) A4"
    wait_for "Current selection: A4 Letter"
    type_line "4"
    wait_for "Current selection: A4 Letter A3"
    type_line "s"
    wait_for "10) Paper sizes .............................. [1,2,4]"

    # The submenu chosen by the connection: a literal and an alternative.
    type_line "12"
    wait_for "Line printer daemon options:"
    type_line "1 T-top"
    wait_for 'Invalid character -'
    type_line ""
    type_line "1 T:top"
    wait_for " 1) Paper tray ......... [T:top]"
    type_line "2 high"
    wait_for " 2) Priority ........... [high]"
    type_line "b"
    wait_for "12) Line printer daemon options"

    # Leaving the changed menu: the apply prompt, the apply command.
    type_line ""
    wait_for "Apply the new queue settings? [y/n] "
    type_line "y"
    wait_for "status=0"
    wait_for "Queue office-2 (Office printer) on printhost port 515 configured."
    grep -qx "QUEUE=office-2" "$dir/out" || fail "QUEUE in $(cat "$dir/out")"
    grep -qx "CONN=1" "$dir/out" || fail "CONN"
    grep -qx "PORT=515" "$dir/out" || fail "PORT"
    grep -qx "SIZES=11" "$dir/out" || fail "SIZES"
    grep -qx "TRAY='T:top'" "$dir/out" || fail "TRAY"
    grep -qx "PRIO=high" "$dir/out" || fail "PRIO"

    # The pass phrase: not shown while typed; a stop restores the terminal,
    # and the continued program asks again.
    type_line "clear; sh -c '$BIN -p \"Pass phrase: \" > $dir/phrase; echo pstatus=\$?'"
    wait_for "Pass phrase: "
    "${T[@]}" send-keys -t t -l "hidden"
    sleep 0.3
    screen | grep -q hidden && fail "the pass phrase was echoed"
    "${T[@]}" send-keys -t t C-z
    wait_for "Stopped"
    type_line "stty -a | grep -o -- ' -\?echo ' > $dir/stty; clear; fg"
    wait_for "Pass phrase: "
    grep -qx " echo " "$dir/stty" || fail "echo not restored after a stop: $(cat "$dir/stty")"
    "${T[@]}" send-keys -t t -l "secret"
    "${T[@]}" send-keys -t t Enter
    wait_for "pstatus=0"
    [ "$(cat "$dir/phrase")" = "secret" ] || fail "pass phrase read: $(cat "$dir/phrase")"
    screen | grep -q secret && fail "the pass phrase was echoed"
    type_line "stty -a | grep -o -- ' -\?echo ' > $dir/stty; echo done"
    wait_for "done"
    grep -qx " echo " "$dir/stty" || fail "echo not restored"

    # A yes/no question.
    type_line "clear; $BIN -y 'Remove the queue'; echo ystatus=\$?"
    wait_for "Remove the queue? [y/n] "
    type_line "Y"
    type_line "n"
    wait_for "ystatus=1"
    "${T[@]}" kill-server
else
    echo "tmux missing: the terminal scenarios are skipped" >&2
fi

# -------------------------------------------------------- piped input
# Without a controlling terminal (setsid), as scripts run it.
run() {  # INPUT ARGS...: status in $status, output in $dir/stdout, $dir/stderr
    local input=$1
    shift
    set +e
    printf '%b' "$input" | timeout 20 setsid -w "$BIN" "$@" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    set -e
    [ $status -ne 124 ] || fail "textmenu hung: $*"
}
cd "$SRC"
run '1 q1\n3\n\ny\n' -o "$dir/piped" "$MENU"
[ $status -eq 0 ] || fail "piped run: status $status $(cat "$dir/stderr")"
grep -qx "QUEUE=q1" "$dir/piped" || fail "piped QUEUE"
grep -qx "CONN=1" "$dir/piped" || fail "piped CONN"

# Settings stored on request, then loaded and applied without the menu.
run "1 stored\ns\n$dir/settings\n\nn\ny\n" "$MENU"
[ $status -eq 0 ] || fail "store run: status $status"
grep -q "^1\[stored\] 11 0$" "$dir/settings" || fail "settings: $(cat "$dir/settings")"
run '' -n -s "$dir/settings" -o "$dir/applied" "$MENU"
[ $status -eq 0 ] || fail "-n run: status $status"
grep -qx "QUEUE=stored" "$dir/applied" || fail "-n QUEUE"
grep -q "Queue stored (Office) " "$dir/stdout" || fail "-n applies (a text is loaded up to its first blank)"
run '' -s "$dir/none" "$MENU"
[ $status -eq 1 ] || fail "missing settings: status $status"

# The end of input at every prompt ends the program.
for input in '' '\n' '1\n' '1 lp\n' '11\n' '12\n' '12\n\n' '1 q\n\n'; do
    run "$input" "$MENU"
    [ $status -eq 1 ] || fail "end of input after '$input': status $status"
    grep -q "reading from standard input" "$dir/stderr" || fail "no report after '$input'"
done

# Script modes.
run 'yes\n' -y "Proceed"; [ $status -eq 0 ] || fail "-y yes"
run 'no\n' -y "Proceed"; [ $status -eq 1 ] || fail "-y no"
run '' -y "Proceed"; [ $status -eq 1 ] || fail "-y at end of input"
run 'abc\n' -p "Phrase: "
[ $status -eq 0 ] && [ "$(cat "$dir/stdout")" = "abc" ] || fail "-p piped: $(cat "$dir/stdout")"
grep -q "Phrase: " "$dir/stderr" || fail "-p prompt on standard error"
long=$(printf 'x%.0s' $(seq 300))
run "$long\n" -p "Phrase: "
[ "$(cat "$dir/stdout")" = "${long:0:256}" ] || fail "a pass phrase is cut to 256 characters"

# The command line.
run '' -h; [ $status -eq 0 ] && grep -q "^usage: textmenu" "$dir/stdout" || fail "-h"
run '' --help; [ $status -eq 0 ] || fail "--help"
run ''; [ $status -eq 2 ] || fail "no file"
run '' -x "$MENU"; [ $status -eq 2 ] || fail "unknown option"
run '' -y Q "$MENU"; [ $status -eq 2 ] || fail "-y with a file"
printf 'menu a\nitem 16 X\n' >"$dir/bad.menu"
run '' "$dir/bad.menu"
[ $status -eq 2 ] || fail "bad file: status $status"
[ "$(cat "$dir/stderr")" = "textmenu: $dir/bad.menu:2: item type must be 0 to 14, not '16'" ] ||
    fail "bad file report: $(cat "$dir/stderr")"
[ ! -s "$dir/stdout" ] || fail "something was shown before the report"
run '' "$dir/missing.menu"
[ $status -eq 2 ] || fail "missing file"
grep -q "^textmenu: $dir/missing.menu:0: No such file or directory$" "$dir/stderr" || fail "missing report"
echo "textmenu: all scenarios passed"
