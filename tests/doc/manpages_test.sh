#!/usr/bin/env bash
# The manual pages format without a single warning from man and groff.
set -euo pipefail
src=${ORVIK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
command -v man >/dev/null || { echo "SKIPPED: man is not installed"; exit 77; }
status=0
for page in "$src"/man/*.[1-8]; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
    if [ -n "$warnings" ]; then
        echo "FAIL: $(basename "$page"):" >&2
        echo "$warnings" >&2
        status=1
    fi
    grep -q '^\.SH EXIT STATUS' "$page" || { echo "FAIL: $(basename "$page") has no EXIT STATUS" >&2; status=1; }
done
[ $status -eq 0 ] && echo "manual pages clean"
exit $status
