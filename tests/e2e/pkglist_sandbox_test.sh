#!/usr/bin/env bash
# The package-list cases that write launchers and links into /usr/bin, give
# files to other users and plant decoy processes and temporary-file links:
# the PkgListSandbox cases of the setup test program, run as root inside the
# sandbox (they skip themselves anywhere else).
. "$(dirname "$0")/lib.sh"

run_sandboxed_cases ORVIK_PKGLIST_SANDBOX 'PkgListSandbox.*' pkglist
