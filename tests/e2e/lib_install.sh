# Shared helpers of the installation scenarios: build an install site from a
# package directory, run a scenario inside the sandbox, and read back what it
# left. Source it after lib.sh:
#   . "$(dirname "$0")/lib.sh"
#   . "$(dirname "$0")/lib_install.sh"
#
# A scenario is a bash text run inside one sandbox session (see run_box).
# There /opt and /srv are private tmpfs mounts too, since the sandbox itself
# shares them with the host. Inside, run_setup NAME [ARGS...] runs the site's
# setup and leaves in $E2E_DIR:
#   NAME.status  exit status          NAME.out    standard output and error
#   NAME.log     /tmp/setup.log       NAME.calls  what the demo programs were called with
#   NAME.state   one line per path: "PATH TYPE MODE OWNER GROUP LINKTEXT"
#   NAME.qp_cfg  the flag file as reached through /usr/Orvik/qpxx
# On the host, state_of, expect_mode, expect_link, expect_absent read them.

DEMO_PKG="$ORVIK_SOURCE_DIR/demo/pkg"
MAKE_SITE="$ORVIK_SOURCE_DIR/tools/make-site"

# throwaway_key EMAIL: a signing key of the test's own (GNUPGHOME in
# E2E_DIR), its public key in $E2E_DIR/keyring.gpg.
throwaway_key() {
    export GNUPGHOME=$E2E_DIR/gnupg
    mkdir -m 700 "$GNUPGHOME"
    gpg --batch --passphrase '' --quick-gen-key "$1" default default never 2>/dev/null ||
        fail "cannot make a throwaway key"
    gpg --batch --export "$1" >"$E2E_DIR/keyring.gpg"
}

# make_site [make-site options] PKGDIR SITEDIR: a site with the setup under test.
make_site() {
    "$MAKE_SITE" --setup "$SETUP_BIN" "$@" 2>>"$E2E_DIR/make-site.err" ||
        fail "make-site $*: $(cat "$E2E_DIR/make-site.err")"
}

# copy_pkg DIR: a copy of the demo package to change for one scenario.
copy_pkg() {
    rm -rf "$1"
    cp -a "$DEMO_PKG" "$1"
}

# The helpers of the inside of a scenario; written ahead of its text.
box_prelude() {
    cat <<'PRELUDE'
set -uo pipefail
for d in /opt /srv; do
    mount -t tmpfs -o mode=0755 "orvik-e2e$d" "$d" || { echo "cannot make $d private" >&2; exit 3; }
    [ "$(stat -f -c %T "$d")" = tmpfs ] || { echo "refusing: $d is not private" >&2; exit 3; }
done
WATCHED="/usr/Orvik /opt/Orvik /srv/Orvik /var/spool/Orvik /tmp/OrvikInstall /usr/share/OrvikDemo
 /usr/bin/qprqpxx /usr/bin/qpdemo /usr/bin/qpdriver /usr/share/printconf/util"

snapshot() {
    # shellcheck disable=SC2086
    find $WATCHED -printf '%p %y %m %u %g %l\n' 2>/dev/null | sort >"$E2E_DIR/$1.state" || :
    cp /usr/Orvik/qpxx/.qp_cfg "$E2E_DIR/$1.qp_cfg" 2>/dev/null || rm -f "$E2E_DIR/$1.qp_cfg"
}

# run_setup NAME [ARGS...]: standard input from $SETUP_INPUT (default /dev/null).
run_setup() {
    local name=$1 status=0
    shift
    (cd "$SITE" && exec ./setup "$@") <"${SETUP_INPUT:-/dev/null}" >"$E2E_DIR/$name.out" 2>&1 ||
        status=$?
    echo "$status" >"$E2E_DIR/$name.status"
    cp /tmp/setup.log "$E2E_DIR/$name.log" 2>/dev/null || : >"$E2E_DIR/$name.log"
    cp /tmp/orvik-demo-calls.log "$E2E_DIR/$name.calls" 2>/dev/null || : >"$E2E_DIR/$name.calls"
    : >/tmp/orvik-demo-calls.log
    snapshot "$name"
}

# run_cmd NAME COMMAND...: like run_setup for any command (a launcher, a queue script).
run_cmd() {
    local name=$1 status=0
    shift
    "$@" </dev/null >"$E2E_DIR/$name.out" 2>&1 || status=$?
    echo "$status" >"$E2E_DIR/$name.status"
    cp /tmp/orvik-demo-calls.log "$E2E_DIR/$name.calls" 2>/dev/null || : >"$E2E_DIR/$name.calls"
    : >/tmp/orvik-demo-calls.log
}
PRELUDE
}

# run_box [--stubs DIR] SITE SCENARIO: runs the scenario text inside one
# sandbox session with SITE as the install site. Its own status is not the
# installer's (run_setup keeps those); a failure to run at all fails the test.
run_box() {
    local stubs=()
    if [ "${1:-}" = --stubs ]; then
        stubs=(--stubs "$2")
        shift 2
    fi
    local site=$1 scenario=$2 box="$E2E_DIR/box.sh" status=0
    {
        printf 'E2E_DIR=%q\nSITE=%q\n' "$E2E_DIR" "$site"
        box_prelude
        printf '%s\nexit 0\n' "$scenario"
    } >"$box"
    in_sandbox "${stubs[@]}" -- bash "$box" >"$E2E_DIR/box.out" 2>&1 </dev/null || status=$?
    [ "$status" = 0 ] || fail "the scenario did not run (status $status): $(tail -n 20 "$E2E_DIR/box.out")"
}

# state_of NAME PATH: "TYPE MODE OWNER GROUP LINKTEXT" of PATH after run NAME, or nothing.
state_of() {
    awk -v p="$2" '$1 == p { $1 = ""; sub(/^ /, ""); print; exit }' "$E2E_DIR/$1.state"
}

status_of() { cat "$E2E_DIR/$1.status"; }

# show NAME: the run's output and log, for a failure message.
show() {
    echo "--- $1: output"
    cat "$E2E_DIR/$1.out"
    echo "--- $1: log (tail)"
    tail -n 30 "$E2E_DIR/$1.log"
}

expect_status() {
    local got
    got=$(status_of "$1")
    [ "$got" = "$2" ] || { show "$1" >&2; fail "$1: exit status: expected $2, got $got"; }
}

# expect_mode NAME PATH TYPE MODE [OWNER]: f file, d directory, l link.
expect_mode() {
    local s
    s=$(state_of "$1" "$2")
    [ -n "$s" ] || fail "$1: $2 is missing"
    set -- "$1" "$2" "$3" "$4" "${5:-}" $s
    [ "$6" = "$3" ] || fail "$1: $2: type expected $3, got $6"
    [ "$7" = "$4" ] || fail "$1: $2: mode expected $4, got $7"
    [ -z "$5" ] || [ "$8" = "$5" ] || fail "$1: $2: owner expected $5, got $8"
}

# expect_link NAME PATH TARGET
expect_link() {
    local s
    s=$(state_of "$1" "$2")
    [ -n "$s" ] || fail "$1: the link $2 is missing"
    set -- "$1" "$2" "$3" $s
    [ "$4" = l ] || fail "$1: $2 is not a symbolic link (type $4)"
    [ "${8:-}" = "$3" ] || fail "$1: $2 links to [${8:-}], expected [$3]"
}

expect_absent() {
    [ -z "$(state_of "$1" "$2")" ] || fail "$1: $2 should not exist: $(state_of "$1" "$2")"
}

# expect_flag NAME WORD: the flag file holds exactly " WORD ".
expect_flag() {
    [ -f "$E2E_DIR/$1.qp_cfg" ] || fail "$1: no flag file .qp_cfg"
    expect_eq "$(cat "$E2E_DIR/$1.qp_cfg")" " $2 " "$1: flag file"
}

# expect_calls NAME LINE...: the demo programs were called exactly so, in order.
expect_calls() {
    local name=$1
    shift
    expect_eq "$(cat "$E2E_DIR/$name.calls")" "$(printf '%s\n' "$@")" "$name: calls of the demo programs"
}

# The parts of a finished installation that do not depend on its place: the
# application directory APP after run NAME; links point to it by the name
# APPNAME (default APP). (The mode of /var/spool/Orvik is
# the caller's: a fresh installation makes it 775, an upgrade keeps it.)
expect_installed() {
    local name=$1 app=$2 named=${3:-$2}
    expect_mode "$name" "$app/.qp_cfg" f 644 root
    local script
    for script in OrvikPrintqpxx v4DriverScript OrvikQSF; do
        expect_mode "$name" "$app/$script" f 755
    done
    expect_mode "$name" "$app/qprqpxxtty" f 4755 root
    expect_mode "$name" "$app/qsf" f 4755 root
    expect_mode "$name" "$app/qpqadmin" f 755 root
    expect_mode "$name" "$app/driver" f 755
    expect_mode "$name" "$app/lib" d 755
    expect_mode "$name" "$app/lib/demo.txt" f 644
    expect_mode "$name" "$app/spool" d 777
    expect_mode "$name" "$app/spool/demo.log" f 666
    expect_mode "$name" "$app/qpdemo.conf" f 644
    expect_absent "$name" "$app/qpdemo.cfg"
    expect_mode "$name" "$app/release.txt" f 644
    expect_absent "$name" "$app/old-release.txt"
    expect_mode "$name" "$app/README" f 644
    expect_mode "$name" /var/spool/Orvik/qpxx/__qpa_download__ d 777
    expect_mode "$name" /usr/share/OrvikDemo/README f 644
    expect_mode "$name" /usr/bin/qprqpxx f 755
    expect_mode "$name" /usr/bin/qpdemo f 755
    expect_link "$name" /usr/bin/qpdriver "$named/driver"
    expect_absent "$name" /tmp/OrvikInstall
    expect_calls "$name" "qpqadmin -upgrade (cwd /)" "qpqadmin -clean (cwd /)"
}
