#!/usr/bin/env bash
# What an administrator's script sees of a run: -h and --help print the usage
# and install nothing; an unknown option is refused with status 2 before
# anything is made; German locale names choose the German texts (in UTF-8
# when the codeset says so) and the German answers; a refused first
# installation runs no qpqadmin and removes the directories made for its
# work area; a work area that is not the installer's own directory ends the
# run before anything is copied into it.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/front_lib.sh"

front_site 1 1
box '
run help "" -h
run longhelp "" --help
[ -e /tmp/setup.log ] || [ -e /tmp/OrvikInstall ] || [ -e /usr/Orvik ] || echo none >"$E2E_DIR/help.nothing"
run unknown "" -x
run unknownlate "" /var/tmp --bogus
[ -e /tmp/setup.log ] || [ -e /var/tmp/OrvikInstall ] || echo none >"$E2E_DIR/unknown.nothing"

rm "$SITE/isize"
LANG=de_DE.UTF-8 run german ""
printf "1\n" >"$SITE/isize"

mkdir -p /usr/Orvik/qpxx
touch /usr/Orvik/qpxx/QPrintD
LANG=de_AT run ja "s\nj\n"
LANG=de_CH.UTF-8 run nein "nein\n"
rm -rf /usr/Orvik /tmp/OrvikInstall

# An rm that leaves a link in the work area'"'"'s place, as a user racing
# the installer would.
printf "#!/bin/sh\n/bin/rm \"\$@\"\nln -s /var/victim /tmp/OrvikInstall 2>/dev/null\nexit 0\n" >/usr/sbin/rm
chmod 755 /usr/sbin/rm
mkdir -p /var/victim
ln -s /var/victim /tmp/OrvikInstall
run worklink ""
[ -z "$(ls -A /var/victim)" ] && echo empty >"$E2E_DIR/worklink.victim"
rm -f /usr/sbin/rm /tmp/OrvikInstall
'
stub_user admin
box '
run refused "" /var/tmp/front/deep
[ -e /var/tmp/front ] || echo removed >"$E2E_DIR/refused.dirs"
'

expect_eq "$(status_of help)" 0 "-h status"
expect_out help "usage: setup [WORKDIR] [INSTALLDIR]"
expect_out help "Exit status: 0 installed or upgraded"
expect_eq "$(err_of help)" "" "-h on standard error"
expect_eq "$(status_of longhelp)" 0 "--help status"
expect_eq "$(out_of longhelp)" "$(out_of help)" "--help prints what -h prints"
[ -f "$E2E_DIR/help.nothing" ] || fail "-h or --help made something"

for run in unknown unknownlate; do
    expect_eq "$(status_of $run)" 2 "$run status"
    expect_eq "$(out_of $run)" "" "$run on standard output"
    grep -q "usage: setup" "$E2E_DIR/$run.err" || fail "$run: no usage on standard error"
done
expect_eq "$(head -n 1 "$E2E_DIR/unknown.err")" "setup: unknown option '-x'" "the refusal"
[ -f "$E2E_DIR/unknown.nothing" ] || fail "an unknown option made something"

expect_eq "$(status_of german)" 1 "German run without isize"
expect_out german "Der für die Installation benötigte Speicherplatz konnte nicht ermittelt werden"

expect_eq "$(count_out ja "Weiter mit der Installation? [jn]")" 2 "German questions for s and j"
expect_no_out ja "Weiter mit der Installation? [jn] Weiter"
# j continued: the run went on to unpack the (empty) archive and failed there.
expect_eq "$(status_of ja)" 1 "status after j"
expect_out ja "tar"
expect_eq "$(status_of nein)" 3 "status after nein"
expect_eq "$(count_out nein "[jn]")" 1 "questions before nein"

expect_eq "$(status_of worklink)" 1 "a link in the work area's place"
grep -q "ERROR: the work area /tmp/OrvikInstall is not a directory of the installer's own" \
    "$E2E_DIR/worklink.err" || fail "worklink: $(err_of worklink)"
[ -f "$E2E_DIR/worklink.victim" ] || fail "something was copied through the planted link"

expect_eq "$(status_of refused)" 1 "a refused user"
expect_out refused "admin is logged in"
if grep -q qpqadmin "$E2E_DIR/refused.err"; then fail "qpqadmin was run: $(err_of refused)"; fi
[ -f "$E2E_DIR/refused.dirs" ] || fail "the directories made for the work area are still there"
echo "PASS"
