#!/usr/bin/env bash
# The manual pages format without a single warning from man and groff, and
# each names the project's version in its heading.
set -euo pipefail
src=${ORVIK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
command -v man >/dev/null || { echo "SKIPPED: man is not installed"; exit 77; }
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "FAIL: no project version in CMakeLists.txt" >&2; exit 1; }
status=0
for page in "$src"/man/*.[1-8]; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
    if [ -n "$warnings" ]; then
        echo "FAIL: $(basename "$page"):" >&2
        echo "$warnings" >&2
        status=1
    fi
    grep -q "^\\.TH .* \"Orvik $version\"" "$page" ||
        { echo "FAIL: $(basename "$page"): the heading does not name Orvik $version" >&2; status=1; }
    grep -q '^\.SH EXIT STATUS' "$page" || { echo "FAIL: $(basename "$page") has no EXIT STATUS" >&2; status=1; }
done
[ $status -eq 0 ] && echo "manual pages clean"
exit $status
