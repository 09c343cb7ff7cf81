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
