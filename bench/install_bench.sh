#!/usr/bin/env bash
# install_bench: what the package list interpreter costs beyond the commands
# it runs. A benchmark, not a test: it prints figures and judges nothing.
#
#   bench/install_bench.sh [BUILD_DIR]     (default build/default; REPS=3)
#
# It generates a package of a few hundred package-list lines (c, dir, dirto,
# t, newdir, m, s, v, #, checkps with mode, owner, group, link, name, bat and
# sed on generated files) and, inside the sandbox, times
#   installer: ProcessPkgList("pkg") over it (bench/install_pkglist_bench.cpp),
#              as a fresh installation runs it: WORK/pkg unpacked, APP empty;
#   baseline:  a plain shell script that runs the very command lines the
#              installer handed to the shell, in the same order, each started
#              the way system() starts it (sh -c LINE), on the same state.
# The command lines are taken from a traced run of the installer (strace -ff:
# the first execve of every child of the installer process), so the baseline
# is the floor the design allows: one shell line per command, nothing else.
# It prints both times, their ratio, and the processes started per line.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
reps=${REPS:-3}
driver=$build/install_pkglist_bench
sandbox=$root/tools/sandbox

die() { printf 'install_bench: %s\n' "$*" >&2; exit 1; }
[ -x "$driver" ] || die "no $driver (build the bench targets first)"
command -v strace >/dev/null || die "strace is needed to see the command lines (apt-get install strace)"
reason=$("$sandbox" --probe) || die "the sandbox cannot be made: $reason"

work=$build/bench-work/install
rm -rf "$work"
mkdir -p "$work/pkg"

# ------------------------------------------------------------ the package
gen_package() {
    local p=$work/pkg i d
    for i in $(seq -w 1 120); do
        printf 'file %s\nalpha beta gamma\n' "$i" >"$p/f$i"
    done
    for d in $(seq -w 1 20); do
        mkdir -p "$p/d$d/sub"
        for i in 1 2 3; do printf 'data %s %s\n' "$d" "$i" >"$p/d$d/sub/x$i"; done
    done
    for i in $(seq -w 1 20); do printf 'g %s\n' "$i" >"$p/g$i"; done
    # The suite programs a full installation sets modes on and runs at its end.
    for i in qpqadmin qprqpxxtty qsf; do printf '#!/bin/sh\nexit 0\n' >"$p/$i"; done
    {
        echo "# generated benchmark package"
        echo "checkps ,qpbench_never_running,"
        echo "c qpqadmin mode 755"
        echo "c qprqpxxtty mode 755"
        echo "c qsf mode 755"
        for i in $(seq -w 1 120); do
            local n=$((10#$i)) line="c f$i"
            ((n % 3 == 0)) && line+=" mode 644"
            ((n % 5 == 0)) && line+=" owner root group root"
            ((n % 10 == 0)) && line+=" link /usr/bin/qpbench_l$i"
            ((n % 20 == 0)) && line+=" bat qpbench_b$i"
            ((n % 15 == 0 && n % 2 == 1)) && line+=" name f$i.renamed"
            echo "$line"
        done
        for d in $(seq -w 1 20); do echo "dir d$d mode 755"; done
        for d in $(seq -w 1 10); do echo "dirto d$d /usr/share"; done
        for i in $(seq -w 1 30); do echo "t log$i mode 666"; done
        for i in $(seq -w 1 20); do echo "newdir spool$i mode 777"; done
        for i in $(seq -w 1 30); do echo "m f$i sed s/alpha/omega/g"; done
        for i in $(seq -w 31 50); do echo "s f$i mode 600"; done
        echo "m absent.cfg sed s/x/y/"
        for i in $(seq -w 1 20); do
            echo "v >= 0 c g$i"
            echo "v < 0 c never$i"
        done
        for i in $(seq 1 20); do echo "# comment $i"; done
    } >"$p/pkg.list"
}
gen_package
lines=$(wc -l <"$work/pkg/pkg.list")

# ------------------------------------------------- one run in the sandbox
# phase.sh MODE: lay out WORK/pkg and APP as a fresh installation has them
# when it reaches the package list, then run MODE on them.
cat >"$work/phase.sh" <<EOF
#!/bin/sh
set -e
mkdir -p /tmp/OrvikInstall /usr/Orvik/qpxx
cp -a "$work/pkg" /tmp/OrvikInstall/pkg
cd /tmp/OrvikInstall
now() { date +%s.%N; }
case "\$1" in
trace)
    strace -ff -qq -s 65535 -e trace=execve,clone,clone3,fork,vfork -o "$work/trace/t" \
        "$driver" /tmp/OrvikInstall /usr/Orvik/qpxx >/dev/null 2>"$work/trace.err" </dev/null ;;
installer)
    "$driver" /tmp/OrvikInstall /usr/Orvik/qpxx >"$work/installer.out" 2>"$work/installer.err" </dev/null
    sed -n 's/^pkglist_seconds \([0-9.]*\).*/\1/p' "$work/installer.err" >>"$work/times.installer" ;;
baseline)
    t0=\$(now)
    /bin/sh "$work/baseline.sh" >"$work/baseline.out" 2>&1 </dev/null
    t1=\$(now)
    echo "\$t0 \$t1" | awk '{ printf "%.6f\n", \$2 - \$1 }' >>"$work/times.baseline" ;;
esac
EOF
chmod +x "$work/phase.sh"
run() { timeout --kill-after=10 600 "$sandbox" -- "$work/phase.sh" "$1"; }

# --------------------------------------- the command lines, from a trace
mkdir -p "$work/trace"
run trace
grep -q 'result 0' "$work/trace.err" || die "traced run failed: $(cat "$work/trace.err")"
perl - "$work/trace" "$work/baseline.sh" "$work/counts" <<'PERL'
use strict; use warnings;
my ($dir, $out, $counts) = @ARGV;
opendir(my $dh, $dir) or die; my @files = grep { /^t\.\d+$/ } readdir($dh); closedir($dh);
my %lines_of; my $execs = 0; my $driver;
for my $f (@files) {
    my ($pid) = $f =~ /(\d+)$/;
    open(my $fh, '<', "$dir/$f") or die; my @l = <$fh>; close($fh);
    $lines_of{$pid} = \@l;
    $execs += grep { /^execve\(.*\) = 0$/ } @l;
    $driver = $pid if grep { /^execve\("[^"]*install_pkglist_bench"/ } @l;
}
die "no installer process in the trace\n" unless defined $driver;
sub unesc { my $s = shift;
    $s =~ s/\\(x[0-9a-fA-F]{2}|[0-7]{1,3}|.)/
        my $e = $1; $e =~ m{^x} ? chr(hex(substr($e, 1))) : $e =~ m{^[0-7]} ? chr(oct($e)) :
        $e eq 'n' ? "\n" : $e eq 't' ? "\t" : $e eq 'r' ? "\r" : $e eq 'v' ? "\x0b" :
        $e eq 'f' ? "\f" : $e/ge;
    return $s; }
my @children;
for (@{ $lines_of{$driver} }) {
    push @children, $1 if /^(?:clone3?|v?fork)\(.*\)\s*=\s*(\d+)/ || /resumed>.*\)\s*=\s*(\d+)/;
}
open(my $o, '>', $out) or die;
print $o "# The command lines of the traced installer run, in order, each as system() runs it.\n";
my ($shells, $sleeps) = (0, 0);
for my $c (@children) {
    next unless $lines_of{$c};
    for (@{ $lines_of{$c} }) {
        next unless /^execve\("[^"]*", \["sh", "-c", (?:"--", )?"((?:[^"\\]|\\.)*)"\]/;
        my $line = unesc($1);
        if ($line =~ m{^\S*/sleep \d+$}) { $sleeps++; last; }
        (my $q = $line) =~ s/'/'\\''/g;
        print $o "/bin/sh -c '$q'\n";
        $shells++;
        last;
    }
}
close($o);
open(my $k, '>', $counts) or die;
print $k "execs $execs\nshells $shells\nsleeps $sleeps\nchildren ", scalar(@children), "\n";
close($k);
PERL

# ------------------------------------------------------------- the timing
: >"$work/times.installer"
: >"$work/times.baseline"
for _ in $(seq 1 "$reps"); do
    run installer
    run baseline
done

# A whole fresh installation of the same package from a site, for scale:
# what start-up, archive, directories and scripts add around the list.
full=""
if [ -x "$root/tools/make-site" ] && [ -x "$build/setup" ]; then
    "$root/tools/make-site" --setup "$build/setup" "$work/pkg" "$work/site" >/dev/null
    cat >"$work/full.sh" <<EOF
#!/bin/sh
cd "$work/site"
t0=\$(date +%s.%N)
./setup >"$work/full.out" 2>&1 </dev/null || echo "status \$?" >>"$work/full.out"
t1=\$(date +%s.%N)
echo "\$t0 \$t1" | awk '{ printf "%.3f\n", \$2 - \$1 }' >"$work/full.time"
EOF
    chmod +x "$work/full.sh"
    timeout --kill-after=10 600 "$sandbox" -- "$work/full.sh"
    full=$(cat "$work/full.time")
fi

min() { sort -g "$1" | head -1; }
ti=$(min "$work/times.installer")
tb=$(min "$work/times.baseline")
execs=$(awk '$1 == "execs" { print $2 }' "$work/counts")
shells=$(awk '$1 == "shells" { print $2 }' "$work/counts")
sleeps=$(awk '$1 == "sleeps" { print $2 }' "$work/counts")
children=$(awk '$1 == "children" { print $2 }' "$work/counts")

echo "package list lines:           $lines"
echo "shell command lines run:      $shells (plus $sleeps pause commands, left out of the baseline)"
echo "processes started (execve):   $((execs - 1)) by the installer run, $children of them its own children"
awk -v e="$execs" -v l="$lines" -v s="$shells" 'BEGIN {
    printf "processes per list line:      %.2f\n", (e - 1) / l
    printf "processes per command line:   %.2f\n", (e - 1) / s }'
echo "installer times (s):          $(tr '\n' ' ' <"$work/times.installer")"
echo "baseline times (s):           $(tr '\n' ' ' <"$work/times.baseline")"
awk -v a="$ti" -v b="$tb" 'BEGIN {
    printf "best installer / baseline:    %.3f s / %.3f s\n", a, b
    printf "ratio:                        %.3f (target at most 1.10)\n", a / b }'
[ -z "$full" ] || echo "whole fresh installation (s): $full (setup from a make-site site, same package)"
