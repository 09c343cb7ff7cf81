#!/usr/bin/env bash
# The role deploy/ansible/roles/orvik_suite with the real engine, over ssh,
# on three sandboxed hosts (two get the site copied from the controller, the
# third finds it at a path of its own): a first run installs everywhere
# (changed), a second changes nothing (ok); --check with a new site, or on a
# host whose installed files changed, reports what it would change and
# changes nothing; with the new site, a host where
# a suite program runs and a host given a tampered site fail with setup's
# message while the third is upgraded; absent removes the suite, and again
# changes nothing (also checked first). No copy of a site is left on a
# host, failed or not.
. "$(dirname "$0")/lib.sh"
command -v ansible-playbook >/dev/null || { echo "SKIPPED: ansible-playbook is not installed"; exit 77; }
[ -x /usr/sbin/sshd ] || { echo "SKIPPED: sshd is not installed (openssh-server)"; exit 77; }
command -v ssh >/dev/null || { echo "SKIPPED: ssh is not installed (openssh-client)"; exit 77; }
command -v ss >/dev/null || { echo "SKIPPED: ss is not installed (iproute2)"; exit 77; }
. "$(dirname "$0")/lib_install.sh"
. "$(dirname "$0")/hosts_lib.sh"

throwaway_key ansible-test@orvik.invalid
make_site --sign ansible-test@orvik.invalid "$DEMO_PKG" "$E2E_DIR/site1"
copy_pkg "$E2E_DIR/pkg2"
echo "the second release" >>"$E2E_DIR/pkg2/README"
make_site --sign ansible-test@orvik.invalid "$E2E_DIR/pkg2" "$E2E_DIR/site2"
cp -a "$E2E_DIR/site2" "$E2E_DIR/site-tampered"
echo x >>"$E2E_DIR/site-tampered/pkg_tar.ab"
sum1=$(sha256sum <"$E2E_DIR/site1/SHA256SUMS" | cut -d' ' -f1)
sum2=$(sha256sum <"$E2E_DIR/site2/SHA256SUMS" | cut -d' ' -f1)

started=$SECONDS
t0=$(date +%s%N)
start_hosts host1 host2 host3
echo "hosts started: $((($(date +%s%N) - t0) / 1000000)) ms"
HOSTS=(host1 host2 host3)
for h in "${HOSTS[@]}"; do
    expect_eq "$(on_host "$h" hostname)" "$h" "host name over ssh"
done

ANS=$E2E_DIR/ansible
mkdir -p "$ANS/tmp"
cat >"$ANS/ansible.cfg" <<CFG
[defaults]
home = $ANS
local_tmp = $ANS/tmp
roles_path = $ORVIK_SOURCE_DIR/deploy/ansible/roles
inventory = $E2E_DIR/inventory.yml
interpreter_python = /usr/bin/python3
retry_files_enabled = false
nocolor = true
forks = 5

[ssh_connection]
control_path_dir = $SSH_CONTROL_DIR
ssh_args = -o ControlMaster=auto -o ControlPersist=60s -o IdentitiesOnly=yes -o BatchMode=yes -o UserKnownHostsFile=$SSH_DIR/known_hosts -o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes
pipelining = true
CFG
export ANSIBLE_CONFIG=$ANS/ansible.cfg ANSIBLE_HOME=$ANS LC_ALL=C.UTF-8
cat >"$E2E_DIR/playbook.yml" <<'PLAY'
- name: The Orvik print suite on the workstations
  hosts: workstations
  gather_facts: false
  roles:
    - orvik_suite
PLAY

# inventory SITE1 SITE2 SITE3: the install site of each host; host3 takes
# its site (and the keyring) where they are, as from an NFS mount.
inventory() {
    cat >"$E2E_DIR/inventory.yml" <<INV
workstations:
  vars:
    ansible_host: 127.0.0.1
    ansible_user: root
    ansible_ssh_private_key_file: $SSH_DIR/id
    orvik_suite_keyring: $E2E_DIR/keyring.gpg
    orvik_suite_wait_running: 1
  hosts:
    host1: {ansible_port: ${HOST_PORT[host1]}, orvik_suite_site: $E2E_DIR/$1}
    host2: {ansible_port: ${HOST_PORT[host2]}, orvik_suite_site: $E2E_DIR/$2}
    host3: {ansible_port: ${HOST_PORT[host3]}, orvik_suite_site: $E2E_DIR/$3, orvik_suite_site_copy: false}
INV
}

# play NAME ARGS...: ansible-playbook, its output in NAME.out, its status in NAME.status.
play() {
    local name=$1 status=0 t0
    shift
    t0=$(date +%s%N)
    without_hosts timeout 300 ansible-playbook "$E2E_DIR/playbook.yml" "$@" \
        >"$E2E_DIR/$name.out" 2>&1 </dev/null || status=$?
    echo "$status" >"$E2E_DIR/$name.status"
    printf 'play %s: %d ms\n' "$name" $((($(date +%s%N) - t0) / 1000000))
}

# expect_recap NAME "HOST CHANGED FAILED"...: the play recap's counts per host.
expect_recap() {
    local name=$1 line
    shift
    for line in "$@"; do
        # shellcheck disable=SC2086
        set -- $line
        grep -Eq "^$1 +: ok=[0-9]+ +changed=$2 +unreachable=0 +failed=$3 " "$E2E_DIR/$name.out" ||
            fail "$name: $1 expected changed=$2 failed=$3: $(cat "$E2E_DIR/$name.out")"
    done
}
expect_play() {
    expect_eq "$(cat "$E2E_DIR/$1.status")" "$2" "$1: status of ansible-playbook ($(tail -n 30 "$E2E_DIR/$1.out"))"
}
expect_said() {
    grep -qF -- "$2" "$E2E_DIR/$1.out" || fail "$1: no [$2] in: $(cat "$E2E_DIR/$1.out")"
}

# expect_site HOST SUM: what setup --status says the host has from which site
# (SUM, or "none"); and no copy of a site is left in its /tmp.
expect_site() {
    local got
    got=$(on_host "$1" "$E2E_DIR/site1/setup --status 2>&1; ls /tmp | grep -c orvik-site || :")
    if [ "$2" = none ]; then
        grep -qx "setup: nothing is installed" <<<"$got" || fail "$1: still installed: $got"
    else
        grep -qx "site: $2" <<<"$got" && grep -qx "directory: /usr" <<<"$got" ||
            fail "$1: expected the site $2 in /usr: $got"
    fi
    expect_eq "$(tail -n 1 <<<"$got")" 0 "$1: copies of a site left in /tmp"
}
# tree HOST: every path of the installation and of /tmp, with mode, size and
# time; the project tree, which every host shares (below /tmp when the
# project was cloned there), is not the host's.
tree() {
    on_host "$1" 'f="%p %m %s %T@\n"; { find /usr/Orvik /usr/bin/qpdemo /var/spool/Orvik /var/lib/orvik \
        -printf "$f"; find /tmp -mindepth 1 -path '"$(printf %q "$ORVIK_SOURCE_DIR")"' -prune -o -printf "$f"; } | sort'
}

inventory site1 site1 site1
play first
expect_play first 0
expect_recap first "host1 1 0" "host2 1 0" "host3 1 0"
for h in "${HOSTS[@]}"; do expect_site "$h" "$sum1"; done

play second
expect_play second 0
expect_recap second "host1 0 0" "host2 0 0" "host3 0 0"

# host1 keeps its site but an installed file changed; the others get a new site.
on_host host1 'echo changed >>/usr/Orvik/qpxx/README'
inventory site1 site2 site2
for h in "${HOSTS[@]}"; do tree "$h" >"$E2E_DIR/$h.before-check"; done
play check --check
expect_play check 0
expect_recap check "host1 1 0" "host2 1 0" "host3 1 0"
expect_said check "would install into /usr: installed files differ: changed: /usr/Orvik/qpxx/README"
expect_said check "would install into /usr: installed from another site ($sum1)"
[ "$(grep -c '"write: /var/lib/orvik/qpxx.list"' "$E2E_DIR/check.out")" = 3 ] ||
    fail "check: not every host lists what it would write: $(cat "$E2E_DIR/check.out")"
for h in "${HOSTS[@]}"; do
    tree "$h" >"$E2E_DIR/$h.after-check"
    diff "$E2E_DIR/$h.before-check" "$E2E_DIR/$h.after-check" || fail "$h: --check changed the host"
done

# A suite program on host2, seen there only.
on_host host2 'cp /bin/sleep /tmp/qprint && { setsid /tmp/qprint 600 </dev/null >/dev/null 2>&1 & }'
on_host host2 'ps -e -o comm=' | grep -qx qprint || fail "the decoy does not run on host2"
if on_host host1 'ps -e -o comm=' | grep -qx qprint; then fail "host1 sees host2's decoy"; fi
inventory site2 site2 site-tampered
play faults
expect_play faults 2
expect_recap faults "host1 1 0" "host2 0 1" "host3 0 1"
expect_said faults "setup stopped (status 3): suite programs were running or a question was refused:"
expect_said faults "setup: still running after 1 seconds: qprint ("
expect_said faults "setup failed (status 1): ERROR: the install site fails its checksums: pkg_tar.ab"
expect_site host1 "$sum2"
expect_site host2 "$sum1"
expect_site host3 "$sum1"

play absent-check -e orvik_suite_state=absent --check
expect_play absent-check 0
expect_recap absent-check "host1 1 0" "host2 1 0" "host3 1 0"
expect_said absent-check "would remove the suite installed in /usr"
expect_site host1 "$sum2"
expect_site host2 "$sum1"
play absent -e orvik_suite_state=absent
expect_play absent 0
expect_recap absent "host1 1 0" "host2 1 0" "host3 1 0"
for h in "${HOSTS[@]}"; do
    expect_site "$h" none
    [ -z "$(on_host "$h" 'ls -d /usr/Orvik /usr/bin/qpdemo 2>/dev/null')" ] || fail "$h: the suite is still there"
done
play absent-again -e orvik_suite_state=absent
expect_play absent-again 0
expect_recap absent-again "host1 0 0" "host2 0 0" "host3 0 0"

stop_hosts || fail "the hosts did not all end"
echo "all in $((SECONDS - started)) s"
echo PASS
