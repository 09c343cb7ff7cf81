#!/usr/bin/env bash
# The Solaris package registration upgrade against a stub installf that
# records its calls, a package map, the work area's root and reloc trees and
# a pkginfo under /var/sadm/pkg: the SolarisSandbox cases of the setup test
# program, run as root inside the sandbox (they skip themselves anywhere else).
. "$(dirname "$0")/lib.sh"

run_sandboxed_cases ORVIK_SOLARIS_SANDBOX 'SolarisSandbox.*' Solaris
