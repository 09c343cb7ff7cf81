// The free-space check: before anything is copied, the work area and the
// installation area must have room for what the package says it needs. An
// earlier copy that will be replaced counts as free space. When both areas
// share one file system, they must have room together.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

// Sizes are in the unit of the "avail" column of df.
constexpr double SIZE_MARGIN = 40; // added to each requirement
constexpr double NEAR_FULL = 17;   // a file system with this much or less is full

// The run cannot be made as asked: an error, not an installation.
[[noreturn]] void EndCheck() {
    fflush(stdout);
    exit_app(SETUP_EXIT_FAILED);
}

// The requirement in the install site's size file NAME, margin included. A
// file that cannot be read, or that does not begin with a number, leaves
// the need unknown: setup message 65 and the end of the run.
double ReadRequirement(const char* name) {
    if (GetFileContent(pPathToSetup, name)) {
        char* end = nullptr;
        double size = strtod(LineBuf, &end);
        if (end != LineBuf && std::isfinite(size)) return size + SIZE_MARGIN;
    }
    EndMidLine();
    fputs(nlsSetupStrCvt(65), stdout);
    EndCheck();
}

// Message 56: work area and installation directory share a file system that
// cannot hold both. Its text has no line end of its own.
[[noreturn]] void ReportShortTogether(const char* work, const char* target, double need) {
    EndMidLine();
    printf(nlsSetupStrCvt(56), work, target, need);
    fputs("\n", stdout);
    EndCheck();
}

} // namespace

void FreeSpaceForInstall(const char* work, const char* target, const char* word) {
    const double isize = ReadRequirement("isize");
    const double tsize = ReadRequirement("tsize");

    DfInfo workRec{};
    DfInfo targetRec{};
    DfInfo probeRec{};

    // Work side: the work area itself, or the directory it will be made in.
    int exists = 0;
    {
        MemHold<char> at(FindExistingPath(work, &exists));
        if (!GetDiskSpace(at ? at.get() : work, &workRec)) return; // no df: no check
    }
    if (exists) workRec.dAvail += DUPath(work);

    // Target side: the deepest of the application directory, TARGET/Orvik,
    // TARGET and "/" that exists. Only an existing application directory is
    // replaced, so only its space counts as free.
    MemHold<char> appPath(SaveStr("%s/%s/%s", target, word, APP_WORD));
    MemHold<char> basePath(SaveStr("%s/%s", target, word));
    const char* sidePath;
    const char* checkPath = nullptr;
    if (FindFile(appPath, nullptr)) {
        exists = 0;
        MemHold<char> at(FindExistingPath(appPath, &exists));
        GetDiskSpace(at ? at.get() : appPath.get(), &targetRec);
        if (exists) targetRec.dAvail += DUPath(appPath);
        sidePath = appPath;
    } else {
        if (FindFile(basePath, nullptr))
            sidePath = basePath;
        else if (FindFile(target, nullptr))
            sidePath = target;
        else
            sidePath = "/";
        GetDiskSpace(sidePath, &targetRec);
        checkPath = sidePath;
    }

    // The directory the installation will be created in is full.
    if (checkPath) {
        GetDiskSpace(checkPath, &probeRec);
        if (probeRec.dAvail <= NEAR_FULL) ReportShortTogether(work, target, isize + tsize);
    }

    if (strcmp(workRec.szLine, targetRec.szLine) == 0) {
        // One file system: plain free space, plus whatever the replaced work
        // area and application directory occupy.
        probeRec = DfInfo{};
        GetDiskSpace(sidePath, &probeRec);
        double together;
        if (probeRec.dAvail < workRec.dAvail || probeRec.dAvail < targetRec.dAvail)
            together = targetRec.dAvail - probeRec.dAvail + workRec.dAvail;
        else
            together = MaxD(workRec.dAvail, targetRec.dAvail);
        if (together < isize + tsize) ReportShortTogether(work, target, isize + tsize);
        return;
    }

    if (workRec.dAvail < tsize) {
        EndMidLine();
        printf(nlsSetupStrCvt(49), work, tsize);
        EndCheck();
    }
    if (targetRec.dAvail < isize) {
        EndMidLine();
        printf(nlsSetupStrCvt(55), target, isize);
        EndCheck();
    }
}
