// Times one run of the package list interpreter over WORK/pkg/pkg.list, as
// the installation does it: logging on, start-up discovery, then
// ProcessPkgList("pkg") into APP. It changes the system (cp, chown, links in
// /usr/bin ...): bench/install_bench.sh runs it inside the sandbox only.
//
//   install_pkglist_bench WORK APP
//
// Prints "pkglist_seconds S result R" on standard error.
#include <ctime>
#include <cstdio>

#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_pkglist_bench WORK APP\n");
        return 2;
    }
    my_name = "setup";
    flUseLog = true;
    InitSysCmdList();
    pOrvikInstallDir = SaveStr_(argv[1]);
    pAppDir = SaveStr_(argv[2]);

    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    int result = ProcessPkgList("pkg");
    clock_gettime(CLOCK_MONOTONIC, &end);
    double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                     static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
    std::fprintf(stderr, "pkglist_seconds %.6f result %d\n", seconds, result);
    return result;
}
