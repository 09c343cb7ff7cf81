#!/usr/bin/env bash
# qdb where databases are shared: writers in parallel with a reader, files
# planted by another user in a sticky directory, damaged files, hostile
# message formats, and control bytes in keys at a terminal (tmux). Every run
# has a time limit; nothing outside the test's own directory is touched.
set -euo pipefail

BIN=${TOOL_BIN:?}
dir=$(mktemp -d /tmp/qdb_tool_XXXXXX)
chmod 755 "$dir"
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
q() { timeout 20 "$BIN" "$@"; }
status() {
    local s=0
    q "$@" >"$dir/out" 2>"$dir/err" || s=$?
    echo $s
}
expect_error() {  # STATUS TEXT qdb-args...
    local want=$1 text=$2
    shift 2
    local s
    s=$(status "$@")
    [ "$s" = "$want" ] || fail "qdb $* gave $s, not $want: $(cat "$dir/err")"
    [ "$(wc -l <"$dir/err")" = 1 ] || fail "qdb $* wrote more than one error line: $(cat "$dir/err")"
    grep -qF -- "$text" "$dir/err" || fail "qdb $*: no \"$text\" in: $(cat "$dir/err")"
}

# Writers in parallel: the library's own test runs 4 x 500 puts with a
# reader; here two qdb writers and a qdb reader meet on one file.
db=$dir/c.qdb
for i in $(seq 300); do echo "old$i	$i"; done | q import "$db"
reader() {
    local n=0
    while [ ! -e "$dir/done" ]; do
        q check "$db" >"$dir/check" || { echo "check: $(cat "$dir/check")" >"$dir/reader.bad"; return; }
        records=$(sed -n 's/^records: //p' "$dir/check")
        [ "${records:-0}" -ge 300 ] || { echo "saw $records records" >"$dir/reader.bad"; return; }
        q keys "$db" >"$dir/keys"
        grep -q '^old300$' "$dir/keys" || { echo "keys lost old300" >"$dir/reader.bad"; return; }
        n=$((n + 1))
    done
    echo $n >"$dir/reader.count"
}
reader &
rpid=$!
pids=()
for w in 1 2; do
    (for i in $(seq 100); do q put "$db" "w$w-$i" "$i" || exit 1; done) &
    pids+=($!)
done
for p in "${pids[@]}"; do wait "$p" || fail "a writer's put failed"; done
touch "$dir/done"
wait "$rpid"
[ ! -e "$dir/reader.bad" ] || fail "the reader: $(cat "$dir/reader.bad")"
[ "$(cat "$dir/reader.count")" -gt 0 ] || fail "the reader never ran"
[ "$(q keys "$db" | wc -l)" = 500 ] || fail "$(q keys "$db" | wc -l) records, not 500"
[ "$(q get "$db" w2-100)" = 100 ] || fail "w2-100 lost"
[ ! -e "${db}_new" ] || fail "a replacement was left behind"

# ---------------------------------------------------- damaged files
printf '\x50\x00\x01' >>"$db"
cp "$db" "$dir/before"
size=$(($(stat -c %s "$db") - 3))
for cmd in "put $db k v" "del $db old1" "delprefix $db old" "keys $db" "get $db none"; do
    # shellcheck disable=SC2086
    expect_error 1 "damaged: the record at offset $size runs past the end" $cmd
done
echo "k	v" >"$dir/cat"
expect_error 1 "damaged" import "$db" "$dir/cat"
cmp -s "$db" "$dir/before" || fail "a damaged file was written"
[ "$(q get "$db" old1)" = 1 ] || fail "a record before the damage is not found"
q salvage "$db" "$dir/saved.qdb" >"$dir/out"
grep -qF "records: 500" "$dir/out" || fail "salvage: $(cat "$dir/out")"
q check "$dir/saved.qdb" >/dev/null || fail "the salvaged file does not check"
expect_error 1 "cannot write" salvage "$db" "$dir/saved.qdb"  # never over a file

# ------------------------------------------------------- statuses
expect_error 2 "no such directory" -d "$dir/none" keys x
expect_error 1 "holds no db directory" -d "$dir" keys x
mkdir "$dir/db"
(cd "$dir" && q put ./t.qdb k v)
(cd "$dir" && expect_error 1 "(looked for $dir/db/t.qdb.qdb; for the file here write ./t.qdb)" -d "$dir" keys t.qdb)
(umask 002 && q put "$dir/m.qdb" k v)
[ "$(stat -c %a "$dir/m.qdb")" = 664 ] || fail "a new database is not 0666 less the umask"
mkfifo "$dir/f.qdb"
expect_error 1 "not a regular file" put "$dir/f.qdb" k v

# ------------------------------------------------ hostile messages
mkdir -p "$dir/db/en_US"
printf '1_1\t%%.2147483000f\n1_2\t%%lle\n1_3\t%%qf\n1_4\t%%5000d\n1_5\t%%Lf %%lld\n' |
    q -d "$dir" import en_US/Evil
for n in 1 2 3 4; do
    expect_error 2 "the conversion %" -d "$dir" msg Evil 1 $n 2
done
[ "$(LANG=en_US q -d "$dir" msg Evil 1 5 2.5 7)" = "2.500000 7" ] || fail "%Lf %lld"

# --------------------------------------------- another user's files
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
    share=$dir/share
    mkdir -m 1777 "$share"
    mkdir -m 777 "$dir/nb"
    v=$share/v.qdb
    q put "$v" a 1
    chmod 600 "$v"
    ln -s v.qdb "$share/l.qdb"
    for plant in file fifo symlink hardlink; do
        rm -f "$share/v.qdb_new" "$dir/nb/"*
        case $plant in
        file) nobody sh -c "echo planted >$share/v.qdb_new; ln $share/v.qdb_new $dir/nb/keep" ;;
        fifo) nobody mkfifo "$share/v.qdb_new" ;;
        symlink) nobody sh -c "echo theirs >$dir/nb/target; ln -s $dir/nb/target $share/v.qdb_new" ;;
        hardlink) nobody sh -c "echo theirs >$dir/nb/target; ln $dir/nb/target $share/v.qdb_new" ;;
        esac
        timeout 10 "$BIN" put "$share/l.qdb" "$plant" x || fail "put with a planted $plant"
        [ "$(q get "$v" a)" = 1 ] && [ "$(q get "$v" "$plant")" = x ] || fail "$plant: records lost"
        [ "$(stat -c '%a %U' "$v")" = "600 root" ] || fail "$plant: $(stat -c '%a %U' "$v")"
        [ -L "$share/l.qdb" ] || fail "$plant: the link was replaced"
        [ ! -e "$share/v.qdb_new" ] && [ ! -L "$share/v.qdb_new" ] || fail "$plant: left at _new"
        case $plant in
        file) [ "$(cat "$dir/nb/keep")" = planted ] || fail "the planted file was written" ;;
        symlink | hardlink) [ "$(cat "$dir/nb/target")" = theirs ] || fail "the $plant was written through" ;;
        esac
    done
    # Another user's database keeps its owner and mode, and its owner can
    # still write it.
    nobody "$BIN" put "$share/o.qdb" mine 1
    nobody chmod 600 "$share/o.qdb"
    q put "$share/o.qdb" root 2
    [ "$(stat -c '%a %U' "$share/o.qdb")" = "600 nobody" ] || fail "owner or mode changed"
    nobody "$BIN" put "$share/o.qdb" mine 3 || fail "its owner can no longer write it"
    # A link another user planted at the database's own name leads nowhere.
    q put "$dir/mine.qdb" k kept
    nobody ln -s "$dir/mine.qdb" "$share/j.qdb"
    [ "$(status put "$share/j.qdb" k theirs)" = 1 ] && grep -q 'Permission denied' "$dir/err" ||
        fail "a planted link at the database: $(cat "$dir/err")"
    [ "$(q get "$dir/mine.qdb" k)" = kept ] || fail "written through a planted link"
    [ "$(q get "$share/o.qdb" root)" = 2 ] || fail "root's record lost"
else
    echo "skipped: another user's files (needs root and setpriv)"
fi

# ------------------------------------------------- a terminal (tmux)
if command -v tmux >/dev/null; then
    t=$dir/tty.qdb
    q put "$t" "$(printf 'k\033]2;HACKED\007\033[2J\033[6n\302\233x')" "$(printf 'd\033[31mred')"
    tmux_start 120 20
    type_line "clear; $BIN keys $t; $BIN export $t; $BIN get $t \$($BIN keys $t </dev/null | cat); echo end=\$?"
    wait_for "end=0"
    grep -qF 'k\x1B]2;HACKED\x07\x1B[2J\x1B[6n\xC2\x9Bx' "$dir/pane" || { cat "$dir/pane"; fail "keys sent control bytes"; }
    grep -qF 'd\x1B[31mred' "$dir/pane" || { cat "$dir/pane"; fail "export sent control bytes"; }
    [ "$("${T[@]}" display -p -t t '#{pane_title}')" != HACKED ] || fail "the terminal was retitled"
    grep -q '6n' "$dir/pane" && ! grep -q '\[[0-9]*;[0-9]*R' "$dir/pane" || fail "a cursor report was typed"
    [ "$(q get "$t" "$(q keys "$t")" | od -An -c | tr -d ' \n')" = 'd033[31mred' ] || fail "get into a pipe"
    # Into a pipe export still escapes the text (C1 in UTF-8 too), and get
    # writes the data as it is.
    q put "$t" c1 "$(printf 'a\302\233b\303\251')"
    q export "$t" | grep -qF "$(printf 'c1\ta\\xC2\\x9Bb\303\251')" || fail "export into a pipe: $(q export "$t")"
else
    echo "skipped: the terminal (no tmux)"
fi
echo "qdb tool test: ok"
