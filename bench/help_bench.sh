#!/usr/bin/env bash
# help_bench: parsing and laying out a big help document. A benchmark, not a
# test: it prints figures and judges nothing.
#
#   bench/help_bench.sh [BUILD_DIR]     (default build/default; REPS=3)
#
# It generates help documents of about 1 MB and 5 MB (pages of headings,
# paragraphs, ordered lists, links within and across pages, tables with and
# without borders, entities) and times, on each, the best of REPS runs of
#   helptty --dump FILE   (every page parsed, laid out and written out)
#   w3m -dump FILE        (Debian's w3m, when installed)
# printing both times, the ratio, and the growth from 1 MB to 5 MB.
#
# Then it takes the HTML documents installed on this machine (every *.html
# below /usr/share/doc, and the documentation of installed toolchains; or
# the files listed one a line in HELP_BENCH_FILES) through
#   helptty --dump FILE             (under C.UTF-8)
#   w3m -dump -cols 132 FILE        (when installed)
# and prints the word recall (the share of w3m's words that helptty shows)
# and precision (the share of helptty's words that w3m shows), median and
# 10th percentile; the outputs holding a control byte (C0 but TAB, LF, FF;
# DEL; C1) and those that are not valid UTF-8; and the total time of each.
# Words are runs of letters and digits; link marks, bullets and rules are
# not words. The reference words are w3m's and those of the document's title,
# which helptty shows and w3m -dump does not.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
reps=${REPS:-3}
helptty=$build/helptty

die() { printf 'help_bench: %s\n' "$*" >&2; exit 1; }
[ -x "$helptty" ] || die "no $helptty (build it first)"
have_w3m=1
command -v w3m >/dev/null || { have_w3m=0; echo "help_bench: w3m not installed (apt-get install w3m); timing helptty alone" >&2; }

work=$(mktemp -d /tmp/help_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# generate PAGES FILE: one help document of PAGES pages (about 1.16 KB each).
generate() {
    awk -v pages="$1" 'BEGIN {
        for (p = 1; p <= pages; p++) {
            printf "<html page=\"p%d\">\n<head><title>Page %d of the generated help</title></head>\n<body>\n", p, p
            printf "<h2>Section %d</h2>\n", p
            for (q = 1; q <= 3; q++)
                printf "Paragraph %d of page %d holds some words &amp; an entity&nbsp;or two,<br>\nand a <a href=#p%d>link to the next page</a> and an <a name=a%d_%d>anchor</a>.<p>\n", q, p, p % pages + 1, p, q
            printf "<ol>\n"
            for (i = 1; i <= 5; i++) printf "<li>item %d with <a href=#a%d_1>a link</a>\n", i, (p + i) % pages + 1
            printf "</ol>\n<table border cellpadding=7>\n"
            for (r = 1; r <= 4; r++) printf "<tr><td>row %d</td><td>cell text %d</td><td>%d</td></tr>\n", r, r * p, r + p
            printf "</table>\n<table><tr><td>plain</td><td>table %d</td></tr></table>\n</body>\n</html>\n", p
        }
    }' > "$2"
}

# best REPS seconds of a command, its output thrown away
best() {
    local best= t0 t1 t
    for ((i = 0; i < reps; i++)); do
        t0=$(date +%s.%N)
        "$@" > /dev/null
        t1=$(date +%s.%N)
        t=$(echo "$t1 - $t0" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    printf '%.3f' "$best"
}

command -v bc >/dev/null || die "bc is needed for the arithmetic (apt-get install bc)"
declare -A ours theirs
for size in 1 5; do
    doc=$work/help_${size}MB.html
    generate $((size * 1024 * 1024 / 1160)) "$doc"
    bytes=$(stat -c %s "$doc")
    pages=$(grep -c '<html page=' "$doc")
    ours[$size]=$(best "$helptty" --dump "$doc")
    line=$(printf '%d MB document (%d bytes, %d pages): helptty --dump %6s s' "$size" "$bytes" "$pages" "${ours[$size]}")
    if [ $have_w3m = 1 ]; then
        theirs[$size]=$(best w3m -dump -T text/html "$doc")
        line+=$(printf '   w3m -dump %6s s   w3m/helptty %.1f' "${theirs[$size]}" "$(echo "${theirs[$size]} / ${ours[$size]}" | bc -l)")
    fi
    echo "$line"
done
printf 'growth from 1 MB to 5 MB: helptty %.2f' "$(echo "${ours[5]} / ${ours[1]}" | bc -l)"
[ $have_w3m = 1 ] && printf '   w3m %.2f' "$(echo "${theirs[5]} / ${theirs[1]}" | bc -l)"
echo

# ------------------------------------------------ the installed documents
list=$work/documents
if [ -n "${HELP_BENCH_FILES:-}" ]; then
    cp "$HELP_BENCH_FILES" "$list"
else
    {
        for d in /usr/share/doc /usr/share/gtk-doc /usr/lib/node_modules /usr/lib/google-cloud-sdk /usr/local/share/doc /opt; do
            [ -d "$d" ] && find "$d" \( -name '*.html' -o -name '*.htm' \) -path '*doc*' -type f
        done
        # One installed Rust toolchain: its top-level pages and its book.
        for t in "${HOME:-/root}"/.rustup/toolchains/*/share/doc/rust/html; do
            [ -d "$t" ] || continue
            find "$t" -maxdepth 1 -name '*.html' -type f
            [ -d "$t/book" ] && find "$t/book" -name '*.html' -type f
            break
        done
    } 2>/dev/null | sort -u > "$list"
fi
count=$(wc -l < "$list")
[ "$count" -gt 0 ] || { echo "help_bench: no HTML documents found"; exit 0; }
mkdir -p "$work/h" "$work/w"

# run_all DIR COMMAND...: COMMAND FILE > DIR/N for every document; then
# prints the seconds that COMMAND takes over all of them, started one after
# the other straight from xargs (no shell between), output thrown away.
run_all() {
    local dir=$1 t0 t1 n=0
    shift
    while IFS= read -r f; do
        n=$((n + 1))
        "$@" "$f" > "$dir/$n" 2>/dev/null || true
    done < "$list"
    t0=$(date +%s.%N)
    xargs -a "$list" -d '\n' -n 1 "$@" > /dev/null 2>&1 || true
    t1=$(date +%s.%N)
    printf '%.2f' "$(echo "$t1 - $t0" | bc -l)"
}
export LC_ALL=C.UTF-8
ht=$(run_all "$work/h" "$helptty" --dump)
control=0 invalid=0
for ((n = 1; n <= count; n++)); do
    LC_ALL=C grep -qaP '[\x00-\x08\x0B\x0D-\x1F\x7F]|\xC2[\x80-\x9F]' "$work/h/$n" && control=$((control + 1))
    iconv -f UTF-8 -t UTF-8 "$work/h/$n" > /dev/null 2>&1 || invalid=$((invalid + 1))
done
echo "$count installed HTML documents: helptty --dump ${ht} s; outputs with a control byte: $control; not valid UTF-8: $invalid"
[ $have_w3m = 1 ] || exit 0

wt=$(run_all "$work/w" w3m -dump -cols 132 -T text/html -O UTF-8)
# words: one word a line. A word is a run of letters, digits and other
# non-ASCII characters; the marks w3m draws (bullets, box rules: U+2000 to
# U+2BFF) are not words, nor are helptty's link marks and table rules.
words() { LC_ALL=C sed 's/\xe2[\x80-\xaf][\x80-\xbf]/ /g' | LC_ALL=C tr -c 'A-Za-z0-9\200-\377' '\n' | grep -a . || true; }
# title FILE: the document's title as w3m renders it. helptty heads the page
# with it; w3m -dump leaves it out (it is the title of w3m's window).
title() {
    tr '\n\r' '  ' < "$1" | LC_ALL=C grep -aoiP '<title[^>]*>\K[^<]*(?=</title)' | head -n 1 |
        w3m -dump -cols 132 -T text/html -O UTF-8 2>/dev/null || true
}
scores=$work/scores
: > "$scores"
n=0
while IFS= read -r f; do
    n=$((n + 1))
    { words < "$work/w/$n"; title "$f" | words; } > "$work/ww"
    [ -s "$work/ww" ] || continue
    words < "$work/h/$n" > "$work/hw"
    LC_ALL=C awk -v doc="$f" '
        FNR == NR { want[$0]++; wn++; next }
        { hn++; if (want[$0] > 0) { want[$0]--; common++ } }
        END { printf "%.4f %.4f %s\n", common / wn, hn ? common / hn : 0, doc }' "$work/ww" "$work/hw" >> "$scores"
done < "$list"
scored=$(wc -l < "$scores")
# quantile COLUMN Q: the Q quantile (nearest rank) of a column of the scores.
quantile() { sort -n -k"$1","$1" "$scores" | awk -v q="$2" -v c="$1" '{ v[NR] = $c } END { i = int(q * NR + 0.999999); if (i < 1) i = 1; print v[i] }'; }
printf 'against w3m over %d documents with words: recall median %s, 10th percentile %s; precision median %s, 10th percentile %s\n' \
    "$scored" "$(quantile 1 0.5)" "$(quantile 1 0.1)" "$(quantile 2 0.5)" "$(quantile 2 0.1)"
printf 'total time: helptty %s s, w3m %s s, w3m/helptty %.1f\n' "$ht" "$wt" "$(echo "$wt / $ht" | bc -l)"
if [ -n "${HELP_BENCH_WORST:-}" ]; then
    echo "lowest recall:"; sort -n -k1,1 "$scores" | head -n "$HELP_BENCH_WORST"
    echo "lowest precision:"; sort -n -k2,2 "$scores" | head -n "$HELP_BENCH_WORST"
fi
