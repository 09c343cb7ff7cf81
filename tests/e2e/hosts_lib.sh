# Several hosts on this machine for the scenarios over ssh. Source it after
# lib.sh:
#   . "$(dirname "$0")/lib.sh"
#   . "$(dirname "$0")/hosts_lib.sh"
#
# start_hosts NAME... starts one sandbox per name (tools/sandbox --hostname
# NAME, private /root and /run, so its own processes, home and run-time
# files), each running its own sshd on a port of 127.0.0.1 with a host key
# made inside, and returns when every one answers. The test's key is
# $SSH_DIR/id; $SSH_DIR/known_hosts holds the host keys; HOST_PORT[NAME] is
# the port; $SSH_CONTROL_DIR is a short directory for ssh's connection
# sockets. on_host NAME COMMAND runs a shell command there as root.
#
# A host lives as long as the test: it reads a FIFO that only the test shell
# holds open for writing, and ends, its sshd and every process it holds with
# it, when that reaches its end, also when the test is killed. stop_hosts
# (run at the exit of the test too) closes the FIFOs, waits for the hosts and
# fails when one of their ports, or port 22, is still listened on.

SSH_DIR=$E2E_DIR/ssh
HOSTS_DIR=$E2E_DIR/hosts
declare -A HOST_PORT=() HOST_LIFE=() HOST_PID=()
HOSTS_STOPPED=0

# The inside of a host; its arguments: its directory, port and the key file.
host_main() {
    cat <<'HOST'
set -eu
dir=$1 port=$2 keys=$3
mkdir -p -m 755 /run/sshd
ssh-keygen -q -t ed25519 -N '' -C "$(hostname)" -f /etc/ssh/orvik_host_key
cp /etc/ssh/orvik_host_key.pub "$dir/host_key.pub"
# The key goes into the host's own /root, a path sshd trusts wherever the
# test's directory lies (below /tmp, say, whose modes it refuses).
mkdir -p -m 700 /root/.ssh
cp "$keys" /root/.ssh/authorized_keys
chmod 600 /root/.ssh/authorized_keys
cat >/etc/ssh/orvik_sshd_config <<CONFIG
ListenAddress 127.0.0.1:$port
HostKey /etc/ssh/orvik_host_key
PidFile /run/sshd.pid
UsePAM no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
AuthorizedKeysFile /root/.ssh/authorized_keys
CONFIG
/usr/sbin/sshd -D -e -f /etc/ssh/orvik_sshd_config 2>"$dir/sshd.log" &
cat "$dir/life" >/dev/null &
# This shell is the first process of the host: when it ends, at the end of
# the FIFO or of sshd, so does every other process there.
wait -n
HOST
}

# free_port NAME: HOST_PORT[NAME] becomes a port of 127.0.0.1 that nothing
# listens on and no other host has.
free_port() {
    local port other
    for _ in $(seq 200); do
        port=$((20000 + RANDOM % 30000))
        [ -z "$(ss -Hltn "sport = :$port")" ] || continue
        for other in "${HOST_PORT[@]}"; do [ "$other" != "$port" ] || continue 2; done
        HOST_PORT[$1]=$port
        return 0
    done
    fail "no free port found"
}

# kill_below PID: ends every process below PID, the deepest first (the
# processes of a host that did not end by itself, so that its sandbox script
# ends and cleans up after itself).
kill_below() {
    local child
    for child in $(ps -o pid= --ppid "$1"); do
        kill_below "$child"
        kill -KILL "$child" 2>/dev/null || :
    done
}

# without_hosts COMMAND...: runs COMMAND without the hosts' FIFOs open, so
# that nothing it leaves behind (ssh's connection masters) keeps a host alive.
without_hosts() {
    (
        for fd in "${HOST_LIFE[@]}"; do eval "exec $fd>&-"; done
        exec "$@"
    )
}

start_hosts() {
    command -v ss >/dev/null || fail "ss is not installed"
    mkdir -p "$SSH_DIR" "$HOSTS_DIR"
    [ -f "$SSH_DIR/id" ] || ssh-keygen -q -t ed25519 -N '' -C orvik-e2e -f "$SSH_DIR/id" ||
        fail "cannot make the test's key"
    case "$SSH_DIR" in *[[:space:]%]*) fail "the key's path holds a space or %: $SSH_DIR" ;; esac
    host_main >"$HOSTS_DIR/host.sh"
    # ssh's connection masters need a short path for their sockets.
    SSH_CONTROL_DIR=$(mktemp -d /tmp/orvik-ssh.XXXXXX)
    trap 'stop_hosts || exit $?' EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    local name dir fd
    for name in "$@"; do
        dir=$HOSTS_DIR/$name
        mkdir -p "$dir"
        mkfifo "$dir/life"
        # Read and write: opening does not wait for the host.
        exec {fd}<>"$dir/life"
        free_port "$name"
        HOST_LIFE[$name]=$fd
        # The sandbox holds none of the FIFOs open: its end comes from the test only.
        (
            for fd in "${HOST_LIFE[@]}"; do eval "exec $fd>&-"; done
            exec "$SANDBOX" --hostname "$name" --private /root --private /run -- \
                bash "$HOSTS_DIR/host.sh" "$dir" "${HOST_PORT[$name]}" "$SSH_DIR/id.pub"
        ) </dev/null >"$dir/sandbox.out" 2>&1 &
        HOST_PID[$name]=$!
    done
    : >"$SSH_DIR/known_hosts"
    for name in "$@"; do
        wait_listening "$name"
        printf '[127.0.0.1]:%s %s\n' "${HOST_PORT[$name]}" "$(cat "$HOSTS_DIR/$name/host_key.pub")" \
            >>"$SSH_DIR/known_hosts"
    done
}

# wait_listening NAME: until the host's sshd listens (60 s at most).
wait_listening() {
    local name=$1 port=${HOST_PORT[$1]} deadline=$((SECONDS + 60))
    until [ -n "$(ss -Hltn "src 127.0.0.1 and sport = :$port")" ] && [ -s "$HOSTS_DIR/$name/host_key.pub" ]; do
        kill -0 "${HOST_PID[$name]}" 2>/dev/null ||
            fail "host $name ended: $(cat "$HOSTS_DIR/$name/sandbox.out" "$HOSTS_DIR/$name/sshd.log" 2>/dev/null)"
        [ $SECONDS -lt $deadline ] || fail "host $name does not listen on $port"
        sleep 0.05
    done
}

SSH_OPTS=()
ssh_opts() {
    SSH_OPTS=(-i "$SSH_DIR/id" -o IdentitiesOnly=yes -o BatchMode=yes
        -o UserKnownHostsFile="$SSH_DIR/known_hosts" -o GlobalKnownHostsFile=/dev/null
        -o StrictHostKeyChecking=yes -o ControlMaster=no -o ConnectTimeout=20)
}

on_host() {
    local name=$1
    shift
    ssh_opts
    without_hosts timeout 120 ssh "${SSH_OPTS[@]}" -p "${HOST_PORT[$name]}" root@127.0.0.1 "$@" </dev/null
}

stop_hosts() {
    local status=$? name fd deadline
    [ "$HOSTS_STOPPED" = 0 ] || return "$status"
    HOSTS_STOPPED=1
    for fd in "${HOST_LIFE[@]}"; do eval "exec $fd>&-"; done
    deadline=$((SECONDS + 20))
    for name in "${!HOST_PID[@]}"; do
        while kill -0 "${HOST_PID[$name]}" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
        if kill -0 "${HOST_PID[$name]}" 2>/dev/null; then
            echo "FAIL: host $name did not end with its FIFO" >&2
            kill_below "${HOST_PID[$name]}"
            status=1
        fi
        wait "${HOST_PID[$name]}" 2>/dev/null || :
        if [ -n "$(ss -Hltn "sport = :${HOST_PORT[$name]}")" ]; then
            echo "FAIL: port ${HOST_PORT[$name]} of host $name is still listened on" >&2
            status=1
        fi
    done
    [ -z "${SSH_CONTROL_DIR:-}" ] || rm -rf "$SSH_CONTROL_DIR"
    if [ -n "$(ss -Hltn 'sport = :22')" ]; then
        echo "FAIL: something listens on port 22: $(ss -Hltnp 'sport = :22')" >&2
        status=1
    fi
    return "$status"
}
