# helptty as people use it: the plain outputs and their errors, the viewer
# with piped answers, and the viewer in a terminal (tmux) following a link,
# going Back, to Contents and out with Exit Help, and a page taller than the
# terminal shown a screen at a time. Needs no sandbox: it only reads the
# toolkit's help pages from the build's toolkit directory and pages it
# writes. The terminal part needs tmux.
set -euo pipefail

: "${ORVIK_SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${TOOL_BIN:=$ORVIK_SOURCE_DIR/build/default/helptty}"
HELPTTY=$TOOL_BIN
TOOLKIT=$(dirname "$TOOL_BIN")/toolkit
work=$(mktemp -d /tmp/helptty_test.XXXXXX)
dir=$work
cleanup() {
    tmux_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
. "$(dirname "$0")/tmux_lib.sh"
# run EXPECTED_STATUS COMMAND...: output in $work/out and $work/err
run() {
    local want=$1 got=0
    shift
    timeout 20 "$@" >"$work/out" 2>"$work/err" </dev/null || got=$?
    [ "$got" = "$want" ] || fail "$*: status $got, expected $want: $(cat "$work/err")"
}

cd "$work"
# Plain outputs: a relative name is found below the toolkit's help folder.
run 0 "$HELPTTY" --dump index.html
[ "$(grep -c $'^\f$' out)" = 3 ] || fail "--dump: one form feed line per page of index.html"
grep -q '^   1\. qdb: <record and message databases>$' out || fail "--dump: the ordered list"
run 0 "$HELPTTY" -d "$TOOLKIT" --links qdb.html
[ "$(head -1 out)" = $'contents\t'"$(head -1 out | cut -f2)"$'\t'"$(head -1 out | cut -f3)"$'\t2\t#commands' ] ||
    fail "--links: first line $(head -1 out)"
# A name found where it is given wins over the toolkit's help.
printf '<html><body>mine</body></html>' > index.html
run 0 "$HELPTTY" --dump index.html
[ "$(cat out)" = $'mine\n\f' ] || fail "a document in the current directory is taken first"
rm index.html

run 1 "$HELPTTY" --dump nothere.html
[ "$(wc -l < err)" = 1 ] && grep -q '^helptty: ' err || fail "a missing document: one line on standard error"
[ -s out ] && fail "a missing document: nothing on standard output"
printf 'no sections at all' > plain.html
run 1 "$HELPTTY" --links plain.html
[ "$(cat err)" = "helptty: plain.html holds no page" ] || fail "no page: $(cat err)"
printf '<html><body>  <b> </b>\n</body></html>' > empty.html
run 1 "$HELPTTY" --dump empty.html
[ "$(cat err)" = "helptty: empty.html holds no page" ] || fail "an empty body: $(cat err)"
run 1 "$HELPTTY" --dump nothere.html
grep -q "^helptty: cannot read .*/help/nothere.html$" err || fail "unreadable: $(cat err)"
run 1 "$HELPTTY" index.html#nosuch
grep -q 'has no page or anchor nosuch' err || fail "a name that is no anchor: $(cat err)"
# Whatever a document holds, no control byte comes out, and under a UTF-8
# locale the output is UTF-8.
printf '<html><body>\033]0;title\007&#7963;[2J\233 \351<a href="#\033x">l\033ink</a></body></html>' > control.html
for mode in --dump --links; do
    LC_ALL=C.UTF-8 run 0 "$HELPTTY" $mode control.html
    LC_ALL=C grep -qaP '[\x00-\x08\x0B\x0D-\x1F\x7F]|\xC2[\x80-\x9F]' out && fail "$mode: a control byte came out"
    iconv -f UTF-8 -t UTF-8 out > /dev/null || fail "$mode: not UTF-8 under C.UTF-8"
done
LC_ALL=C.UTF-8 run 0 "$HELPTTY" --dump control.html
# (a byte that is no UTF-8 is read as ISO 8859-1, 128 to 159 as Windows-1252)
[ "$(head -1 out)" = "]0;title"$'\u1f1b'"[2J"$'\u203a'" "$'\u00e9'"<link>" ] || fail "control.html: $(head -1 out)"
run 2 "$HELPTTY"
run 2 "$HELPTTY" --bogus index.html
run 2 "$HELPTTY" -d
run 0 "$HELPTTY" --help
grep -q '^usage: helptty' out || fail "--help prints the usage"

# Piped answers: a link, Back, Exit Help.
printf '4\nb\ne\n' > answers
timeout 20 "$HELPTTY" index.html < answers > out 2>&1 || fail "viewer with piped answers: status $?"
grep -q 'Using the help viewer' out || fail "piped: the link was followed"
[ "$(grep -c 'The toolkit.s command-line tools:' out)" = 2 ] || fail "piped: Back shows the contents again"
# End of input while the viewer waits ends it instead of hanging.
printf '4\n' | timeout 20 "$HELPTTY" index.html > out 2>&1 && fail "end of input: the viewer reports it"
[ $? = 124 ] && fail "end of input: the viewer hung"

# A page of 200 lines with a title, a link on line 150 to a page whose own
# link names nothing.
{
    printf '<html><head><title>Long page</title></head><body>\n'
    for i in $(seq 200); do
        if [ "$i" = 150 ]; then printf 'line %d <a href=#two>to two</a><br>\n' "$i"; else printf 'line %d<br>\n' "$i"; fi
    done
    printf '</body></html><html page="two"><head><title>Two</title></head><body>page two <a href=#nosuch>broken</a></body></html>\n'
} > long.html

# The sample menu's help answer opens the toolkit's help on textmenu; Exit
# Help returns to the menu (end of input then ends textmenu with status 3).
TEXTMENU=$(dirname "$HELPTTY")/textmenu
if [ -x "$TEXTMENU" ]; then
    printf 'h\n2\ne\n' | timeout 20 "$TEXTMENU" -o "$work/values" "$ORVIK_SOURCE_DIR/data/menus/printqueue.menu" \
        > out 2>&1 || [ $? = 3 ] || fail "textmenu with help: status $?"
    grep -q 'textmenu: menus described in a file' out || fail "the sample menu's h opens its help"
    grep -q 'Orvik toolkit help' out || fail "a link into another document of the help"
    [ "$(grep -c 'Print queue setup' out)" -ge 2 ] || fail "Exit Help returns to the menu"
    # A menu's help named with a #NAME that names nothing opens at the first
    # page and says so.
    printf 'menu m\ntitle M\nflags 0x002\nhelp %s#nosuch\nitem 0 text\n' "$work/long.html" > bad.menu
    printf 'h\ne\n' | timeout 20 "$TEXTMENU" bad.menu > out 2>&1 || [ $? = 3 ] || fail "textmenu bad.menu: status $?"
    grep -qx '#nosuch names nothing. ' out && grep -qx 'line 1' out || fail "a menu's help at a #NAME that names nothing"
fi

# Piped answers that name nothing are told in one line, and the viewer asks
# again; a piped page is never cut into screens.
printf '9\nxyz\n\n-\n1\n1\ne\n' | timeout 20 "$HELPTTY" long.html > out 2>&1 || fail "long.html piped: status $?"
for line in 'There is no link 9: type 1, e, c or b. ' '"xyz" is no answer: type 1, e, c or b. ' \
    '"-" is no answer: type 1, e, c or b. ' '#nosuch names nothing. '; do
    [ "$(grep -cxF -- "$line" out)" = 1 ] || fail "piped: the line '$line'"
done
[ "$(grep -c '^line 200$' out)" = 5 ] || fail "piped: the whole page at each answer on it"
grep -q -- '-- screen' out && fail "piped: a page cut into screens"

# In a terminal.
command -v tmux >/dev/null || fail "tmux is needed (apt-get install tmux)"
tmux_clear() {
    "${T[@]}" send-keys -t t -R
    "${T[@]}" clear-history -t t
}
tmux_start 100 60
type_line "$HELPTTY index.html; echo HELPTTY-STATUS=\$?"
wait_for "Enter your choice"
wait_for "e) Exit Help"
wait_for "5) The tools at a glance"
tmux_clear
type_line 5
wait_for "qdb      builds and inspects record databases"
wait_for "1) qdb commands"
tmux_clear
type_line 1                  # into qdb.html, at its commands page
wait_for "|get DB KEY         |prints the record's data          |"
tmux_clear
type_line b                  # Back: the page before the commands page
wait_for "qdb builds and inspects"
tmux_clear
type_line c                  # Contents: the first page of the first document
wait_for "The toolkit's command-line tools:"
type_line e
wait_for "HELPTTY-STATUS=0"
# A server of its own for the next terminal: the one just stopped may still
# hold its socket for a moment.
tmux_stop
T=(tmux -S "$dir/tmux2.sock")

# A long page in an 80x24 terminal: each screen keeps the menu title, the
# page's title and the prompt in sight. A page cut into screens fills the
# terminal (the menu title on its third row); a shorter one ends at the
# bottom.
frame() {  # PAGE-TITLE
    screen > "$dir/pane"
    local at
    at=$(grep -n '^ *Orvik Help$' "$dir/pane" | tail -1 | cut -d: -f1)
    { [ -n "$at" ] && [ "$(sed -n "$((at + 2))p" "$dir/pane" | tr -s ' ')" = " $1" ] &&
        [ "$(sed -n 24p "$dir/pane")" = "Enter your choice:" ] &&
        { [ "$at" = 3 ] || ! sed -n "$at,\$p" "$dir/pane" | grep -q -- '-- screen'; }; } || { cat "$dir/pane" >&2; fail "the screen's frame"; }
}
next() {  # ANSWER TEXT [PAGE-TITLE]: answered, the screen shows TEXT in its frame
    type_line "$1"
    wait_for "$2"
    frame "${3:-Long page}"
}
tmux_start 80 24
type_line "$HELPTTY long.html; echo HELPTTY-STATUS=\$?"
wait_for "-- screen 1 of 17: Return for more --"
frame "Long page"
grep -qx "line 12" "$dir/pane" && ! grep -q "line 13" "$dir/pane" || fail "screen 1: lines 1 to 12"
next "" "-- screen 2 of 17: Return for more, - for the one before --"
grep -qx "line 13" "$dir/pane" || fail "screen 2 goes on from line 13"
next - "-- screen 1 of 17: Return for more --"
next - "This is the first screen: Return for more."
next 9 "There is no link 9: type 1, e, c, b, Return or -."
next xyz '"xyz" is no answer: type 1, e, c, b, Return or -.'
for n in $(seq 2 13); do next + "-- screen $n of 17"; done
grep -qx " 1) to two" "$dir/pane" && grep -qx "line 150 <to two>" "$dir/pane" || fail "screen 13: the link in sight"
next 1 "page two <broken>" Two          # a link followed from a later screen
sed -n '/Orvik Help/,$p' "$dir/pane" | grep -q -- "-- screen" && fail "a page that fits is not cut into screens"
next 1 "#nosuch names nothing." Two
next b "-- screen 13 of 17"             # Back returns to the screen left
for n in $(seq 14 16); do next "" "-- screen $n of 17"; done
next "" "-- screen 17 of 17, the last: - for the one before --"
grep -qx "line 200" "$dir/pane" || fail "the last screen ends the page"
next "" "This is the last screen: - for the one before."
type_line e
wait_for "HELPTTY-STATUS=0"
echo "PASS"
