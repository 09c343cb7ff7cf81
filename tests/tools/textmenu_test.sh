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
cleanup() {
    tmux_stop
    rm -rf "$dir"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
. "$(dirname "$0")/tmux_lib.sh"

if command -v tmux >/dev/null; then
    cd "$SRC"
    tmux_start 100 50
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

    # An interruption stops the menu and the pass phrase with status 3 and
    # writes nothing.
    type_line "clear; $BIN -o $dir/int.out $MENU; echo istatus=\$?"
    wait_for "<Return> to exit:"
    "${T[@]}" send-keys -t t C-c
    wait_for "istatus=3"
    [ ! -e "$dir/int.out" ] && ! ls "$dir" | grep -q _new || fail "an interrupted menu wrote its values"
    type_line "clear; w=word; $BIN -p \"Secret \$w: \" > $dir/phrase; echo pstatus=\$?"
    wait_for "Secret word: "  # not on the command line: the tool is waiting
    "${T[@]}" send-keys -t t -l "half"
    "${T[@]}" send-keys -t t C-c
    wait_for "pstatus=3"
    [ ! -s "$dir/phrase" ] || fail "an interrupted pass phrase was printed"
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
# Settings stored on request keep every value (a text with blanks, the
# paper sizes), then load and apply without the menu; leaving without
# applying gives 3.
run "1 stored\n11\n4\ns\ns\n$dir/settings\n\nn\ny\n" "$MENU"
[ $status -eq 3 ] || fail "store run: status $status"
grep -q "^1\\[stored\\] 11 0$" "$dir/settings" || fail "settings: $(cat "$dir/settings")"
run '' -n -s "$dir/settings" -o "$dir/applied" "$MENU"
[ $status -eq 0 ] || fail "-n run: status $status"
grep -qx "QUEUE=stored" "$dir/applied" && grep -qx "SIZES=11" "$dir/applied" || fail "-n: $(cat "$dir/applied")"
grep -q "Queue stored (Office printer) " "$dir/stdout" || fail "-n applies the whole text"
run '' -s "$dir/none" "$MENU"
[ $status -eq 1 ] || fail "missing settings: status $status"

# The end of input at every prompt ends the program with 3 and names no
# system error.
for input in '' '\n' '1\n' '1 lp\n' '11\n' '12\n' '12\n\n' '1 q\n\n' 's\n'; do
    run "$input" "$MENU"
    [ $status -eq 3 ] || fail "end of input after '$input': status $status"
    [ "$(tail -n 1 "$dir/stderr")" = "textmenu: reading from standard input" ] ||
        fail "report after '$input': $(cat "$dir/stderr")"
done

# Statuses as scripts see them, one case a line: INPUT|STATUS|ARGUMENTS.
# OUT is written when the status is 0 or the apply command failed (1), and
# left alone otherwise.
printf '0[] 11 0\n' >"$dir/noname"
printf 'menu m\napply exit 4\nitem 12 T\n  name T\n' >"$dir/failing.menu"
while IFS='|' read -r input want args; do
    rm -f "$dir/out"
    # shellcheck disable=SC2086
    run "$input" -o "$dir/out" $args
    [ $status -eq "$want" ] || fail "'$input' $args: status $status, not $want: $(cat "$dir/stderr")"
    if [ "$want" = 0 ] || [ "${args#*failing}" != "$args" ]; then
        [ -s "$dir/out" ] || fail "'$input' $args: no values written"
    else
        [ ! -e "$dir/out" ] || fail "'$input' $args: values written with status $status"
    fi
done <<EOF
1 q1\n3\n\ny\n|0|$MENU
\ny\n|0|$MENU
1 q1\n\nn\ny\n|3|$MENU
1 q1\n|3|$MENU
|1|-n -s $dir/noname $MENU
|2|$dir/missing.menu
1 x\n\ny\n|1|$dir/failing.menu
EOF
run '' -n -s "$dir/noname" "$MENU"
[ "$(cat "$dir/stderr")" = "textmenu: All names must be set before applying setup." ] ||
    fail "-n with an empty name: $(cat "$dir/stderr")"
run '' -o /nonexistent/out "$MENU"
[ $status -eq 1 ] && [ ! -s "$dir/stdout" ] || fail "an OUT that cannot be written is found before the menu"

# Output files: an existing OUT keeps its mode; a pipe (/dev/fd/3) is
# written straight into; in a sticky world-writable directory a link
# planted by another user is refused, for -o and for stored settings, and
# one of the caller's own is followed.
printf 'old\n' >"$dir/kept"
chmod 640 "$dir/kept"
run '\ny\n' -o "$dir/kept" "$MENU"
[ $status -eq 0 ] && [ "$(stat -c %a "$dir/kept")" = 640 ] && grep -qx "CONN=0" "$dir/kept" ||
    fail "OUT replaced with its mode: $status $(stat -c %a "$dir/kept")"
values=$(printf '\ny\n' | timeout 20 setsid -w "$BIN" -o /dev/fd/3 "$MENU" 3>&1 >/dev/null 2>&1)
eval "$values"
[ "$CONN" = 0 ] && [ "$DESCR" = "Office printer" ] || fail "-o /dev/fd/3: $values"
chmod 755 "$dir"
mkdir -m 1777 "$dir/sticky"
printf 'precious\n' >"$dir/victim"
setpriv --reuid=nobody --regid=nogroup --clear-groups ln -s "$dir/victim" "$dir/sticky/out"
run '\ny\n' -o "$dir/sticky/out" "$MENU"
[ $status -eq 1 ] && [ ! -s "$dir/stdout" ] && grep -q "cannot write $dir/sticky/out: Permission denied" "$dir/stderr" ||
    fail "a planted link for -o: status $status $(cat "$dir/stderr")"
run "s\n$dir/sticky/out\n\nn\ny\n" "$MENU"
grep -q "cannot write $dir/sticky/out: Permission denied" "$dir/stderr" || fail "a planted link for settings"
ln -s "$dir/sticky/out" "$dir/sticky/via"  # the caller's link to the planted one
run '\ny\n' -o "$dir/sticky/via" "$MENU"
[ $status -eq 1 ] || fail "a chain through a planted link: status $status"
[ "$(cat "$dir/victim")" = precious ] || fail "the planted link's target was written"
ln -s "$dir/victim" "$dir/sticky/mine"
run '\ny\n' -o "$dir/sticky/mine" "$MENU"
[ $status -eq 0 ] && [ -L "$dir/sticky/mine" ] && grep -qx "CONN=0" "$dir/victim" || fail "the caller's own link"
# A planted link to a directory further up the path, and a planted FIFO,
# are refused too (whatever the kernel's own protections say).
mkdir "$dir/vdir"
printf 'precious\n' >"$dir/vdir/out"
setpriv --reuid=nobody --regid=nogroup --clear-groups ln -s "$dir/vdir" "$dir/sticky/d"
setpriv --reuid=nobody --regid=nogroup --clear-groups mkfifo "$dir/sticky/fifo"
for out in "$dir/sticky/d/out" "$dir/sticky/fifo"; do
    run '\ny\n' -o "$out" "$MENU"
    [ $status -eq 1 ] && grep -q "cannot write $out: Permission denied" "$dir/stderr" ||
        fail "planted $out: status $status $(cat "$dir/stderr")"
done
[ "$(cat "$dir/vdir/out")" = precious ] || fail "written through a planted directory link"

# Menu files that are refused, at their line: FILE TEXT|REPORT.
while IFS='|' read -r text report; do
    printf '%b' "$text" >"$dir/bad.menu"
    run '' "$dir/bad.menu"
    [ $status -eq 2 ] && [ "$(cat "$dir/stderr")" = "textmenu: $dir/bad.menu:$report" ] ||
        fail "bad menu '$text': $status $(cat "$dir/stderr")"
done <<'EOF'
menu a\nitem 8 B\n  submenu b\nmenu b\nitem 8 A\n  submenu a|6: the submenus of menu 'b' lead back to menu 'a'
menu a\nitem 8 B\n  submenu b\nmenu b\nitem 8 C\n  submenu c\nmenu c\nitem 8 B\n  submenu b|9: the submenus of menu 'c' lead back to menu 'b'
menu a\nitem 12 P\n  name PATH|3: name 'PATH' would change how every command runs
menu a\nitem 12 P\n  name LD_PRELOAD|3: name 'LD_PRELOAD' would change how every command runs
menu a\nitem 12 P\n  name IFS|3: name 'IFS' would change how every command runs
EOF

# Script modes: INPUT|STATUS|OPTION, the question or prompt "Proceed".
while IFS='|' read -r input want args; do
    run "$input" "$args" "Proceed"
    [ $status -eq "$want" ] || fail "'$input' $args: status $status, not $want"
done <<EOF
yes\n|0|-y
no\n|1|-y
|3|-y
|3|-p
abc|3|-p
EOF
[ ! -s "$dir/stdout" ] || fail "-p printed a phrase the end of input cut"
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
for args in "-x|unknown option -x" "-o|option -o needs its value" "--frob|unknown option --frob"; do
    run "" "$MENU" ${args%%|*}
    [ $status -eq 2 ] && [ "$(cat "$dir/stderr")" = "textmenu: ${args#*|} (textmenu -h for usage)" ] ||
        fail "${args%%|*}: $status $(cat "$dir/stderr")"
done
run '' --version; [ $status -eq 0 ] && grep -qx 'textmenu 4\.10\.33' "$dir/stdout" || fail "--version"
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
