// The dry run (-n): the checks run as in a real run, the site is copied and
// the archive unpacked into a scratch area of the run's own to read the
// package list, and every command line the installation would run and
// every file it would write is printed, in order: the copying and the
// unpacking as they are run in the scratch area (under the real work
// area's name), everything after instead of being run or written. The
// scratch area, which also holds the run's log, goes at the end; nothing
// else on the host changes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

char* pScratch = nullptr;
char* pScratchWork = nullptr; // the work area inside the scratch area
char* pRealWork = nullptr;    // the work area a real run would use

// A line as the real run would run it: the scratch work area's name
// becomes the real work area's.
void ShowLine(const char* line, int len) {
    EndMidLine();
    fputs("run: ", stdout);
    const size_t from = pScratchWork ? strlen(pScratchWork) : 0;
    for (int i = 0; i < len;) {
        if (from && strncmp(line + i, pScratchWork, from) == 0 && i + int(from) <= len) {
            fputs(pRealWork, stdout);
            i += int(from);
        } else {
            putchar(line[i++]);
        }
    }
    putchar('\n');
    fflush(stdout);
}

int RemoveScratch(int status) {
    if (pScratch) {
        const bool dry = flSysCmdDryRun, show = flSysCmdDryRunShow;
        flSysCmdDryRun = flSysCmdDryRunShow = false;
        flUseLog = false; // the log goes with the scratch area
        MemHold<char> word(ShellWord(pScratch));
        SysCmd(-CMD_RM_R, 0, " %s", word.get());
        flSysCmdDryRun = dry;
        flSysCmdDryRunShow = show;
        PutMem(pScratch);
        pScratch = nullptr;
    }
    if (status == SETUP_EXIT_DONE && flDryRunWaits)
        printf("%s: dry run: the installation would go through once those programs end, "
               "within %d seconds; else it stops (status 3)\n", my_name, iWaitRunning);
    else if (status == SETUP_EXIT_DONE)
        printf("%s: dry run: the installation would go through\n", my_name);
    return status;
}

} // namespace

void DryRunReal(bool on) {
    static bool savedLog = false;
    if (!flDryRun) return;
    if (on) {
        savedLog = flSysCmdLog;
        flSysCmdLog = false;
    } else {
        flSysCmdLog = savedLog;
    }
    flSysCmdDryRun = !on; // shown either way
}

void NoteShellLine(const char* shown, const char* line) {
    if (flDryRun)
        ShowLine(shown, int(strlen(shown)));
    else
        PutLogMsg("%s\n", line);
}

void DryRunNote(const char* what, const char* path) {
    EndMidLine();
    printf("%s: %s\n", what, path);
    fflush(stdout);
}

void StartDryRun() {
    // Before the first message of the run: the log is the scratch area's.
    MemHold<char> scratch(SaveStr("/tmp/%s-dry-run.XXXXXX", my_name));
    if (!mkdtemp(scratch))
        ErrorMsg(2, SETUP_EXIT_FAILED, "cannot make a scratch area %s", scratch.get());
    pScratch = SaveStr_(scratch);
    ExitAppHook = RemoveScratch;
    pLogPath = pScratch;
    flSysCmdDryRun = true;
    flSysCmdDryRunShow = true;
    SysCmdDryRunShowHook = ShowLine;
    printf("%s: dry run: nothing is changed\n", my_name);
    fflush(stdout);
}

void DryRunWorkArea() {
    if (!flDryRun) return;
    pRealWork = pOrvikInstallDir;
    pScratchWork = SaveStr("%s/%sInstall", pScratch, DIR_WORD);
    pOrvikInstallDir = pScratchWork;
}
