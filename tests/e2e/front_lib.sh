# Helpers of the front scenarios (command line, previous installation,
# free space, running programs, readiness). Source it after lib.sh:
#   . "$(dirname "$0")/lib.sh"
#   . "$(dirname "$0")/front_lib.sh"
#
# The scenarios stop the run at a point the front decides (a quit, a refused
# user, a space report), so that they hold whatever the installation steps
# after the front do.

SITE="$E2E_DIR/site"
STUBS="$E2E_DIR/stubs"
mkdir -p "$STUBS"

# front_site ISIZE TSIZE: a minimal install site in $SITE holding the setup
# under test, the size files (an empty value leaves the file out) and a disk
# list that names only itself.
front_site() {
    rm -rf "$SITE"
    mkdir -p "$SITE"
    cp "$SETUP_BIN" "$SITE/setup"
    [ -z "$1" ] || printf '%s\n' "$1" >"$SITE/isize"
    [ -z "$2" ] || printf '%s\n' "$2" >"$SITE/tsize"
    printf 'disks\nend_of_list\n' >"$SITE/disks"
}

# stub_user NAME: whoami in the sandbox answers NAME.
stub_user() {
    printf '#!/bin/sh\necho %s\n' "$1" >"$STUBS/whoami"
    chmod 755 "$STUBS/whoami"
}

# box SCRIPT: runs the bash text SCRIPT in one sandbox with the stubs. Inside,
# run NAME INPUT [ARGS...] runs the site's setup from the site with INPUT
# (printf %b escapes) on its standard input and leaves NAME.out, NAME.err
# and NAME.status in $E2E_DIR.
box() {
    in_sandbox --stubs "$STUBS" -- bash -c "
set -u
E2E_DIR='$E2E_DIR'; SITE='$SITE'
run() {
    local name=\$1 input=\$2; shift 2
    (cd \"\$SITE\" && printf '%b' \"\$input\" | timeout 200 ./setup \"\$@\" \
        >\"\$E2E_DIR/\$name.out\" 2>\"\$E2E_DIR/\$name.err\")
    echo \$? >\"\$E2E_DIR/\$name.status\"
}
$1"
}

out_of() { cat "$E2E_DIR/$1.out"; }
err_of() { cat "$E2E_DIR/$1.err"; }
status_of() { cat "$E2E_DIR/$1.status"; }

# expect_out NAME TEXT: the standard output of run NAME holds TEXT.
expect_out() {
    grep -qF -- "$2" "$E2E_DIR/$1.out" || fail "$1: no [$2] in: $(out_of "$1")"
}
expect_no_out() {
    ! grep -qF -- "$2" "$E2E_DIR/$1.out" || fail "$1: unexpected [$2] in: $(out_of "$1")"
}
# count_out NAME TEXT: how many times TEXT is in the output of run NAME.
count_out() { grep -oF -- "$2" "$E2E_DIR/$1.out" | wc -l; }
