#!/usr/bin/env bash
# A site as a medium that shows its names in capitals: the disk list is
# "DISKS" and the pieces PKG_TAR.AA ...; the installation is the same.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/lib_install.sh"

make_site --caps --piece-size 512 "$DEMO_PKG" "$E2E_DIR/site"
[ -e "$E2E_DIR/site/DISKS" ] && [ ! -e "$E2E_DIR/site/disks" ] && [ -e "$E2E_DIR/site/PKG_TAR.AC" ] ||
    fail "make-site --caps did not make a capital-letter site: $(ls "$E2E_DIR/site")"
run_box "$E2E_DIR/site" '
run_setup caps
'
expect_status caps 0
expect_installed caps /usr/Orvik/qpxx
expect_mode caps /var/spool/Orvik d 775
expect_flag caps BSD
for piece in PKG_TAR.AA PKG_TAR.AB PKG_TAR.AC; do
    grep -q "cp -p $E2E_DIR/site/$piece /tmp/OrvikInstall\$" "$E2E_DIR/caps.log" ||
        fail "$piece was not copied into the work area"
done
echo "PASS"
