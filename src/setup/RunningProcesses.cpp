// The running-process check: programs of the suite must not be replaced
// while they run. While any of the named programs runs, the user may wait
// for them to end or quit the installation.
#include <cstdio>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr int WAIT_CHECKS = 6; // checks of one wait ...
constexpr int WAIT_STEP = 5;   // ... this many seconds apart: 30 seconds
constexpr char SEL_WAIT = '1';
constexpr char SEL_QUIT = '2';

// Waits up to 30 seconds; true as soon as none of the programs runs.
bool WaitForEnd(const char* names) {
    for (int i = 0; i < WAIT_CHECKS; ++i) {
        sleep(WAIT_STEP);
        MemHold<char> report(CheckProcTableForExecs(names));
        if (!report) return true;
    }
    return false;
}

// --wait-running: after the report, waits up to iWaitRunning seconds; true,
// naming the programs, when they still run then. A dry run only reports.
bool WaitUnattended(const char* names, const char* report) {
    printf("%s", report);
    if (flDryRun && iWaitRunning < 0) {
        printf("%s: dry run: the installation would ask about these programs here\n", my_name);
        fflush(stdout);
        return true;
    }
    if (flDryRun) {
        printf("%s: dry run: the installation would wait up to %d seconds for them\n", my_name,
               iWaitRunning);
        fflush(stdout);
        flDryRunWaits = true;
        return false;
    }
    printf("%s: waiting up to %d seconds for them to end\n", my_name, iWaitRunning);
    fflush(stdout);
    for (int waited = 0; waited < iWaitRunning; ++waited) {
        sleep(1);
        MemHold<char> still(CheckProcTableForExecs(names));
        if (!still) return false;
    }
    MemHold<char> still(CheckProcTableForExecs(names));
    if (!still) return false;
    printf("%s: still running after %d seconds: ", my_name, iWaitRunning);
    for (const char* p = still.get(); *p; ++p)
        putchar(*p == '\n' && p[1] ? ' ' : *p);
    fflush(stdout);
    PutLogMsg("stopped: suite programs still running after %d seconds\n", iWaitRunning);
    return true;
}

} // namespace

bool QuitForRunningProcesses(const char* names) {
    const char* msg[5] = {}; // setup messages 66 to 70, looked up once
    for (;;) {
        MemHold<char> report(CheckProcTableForExecs(names));
        if (!report) return false;
        if (!msg[0])
            for (int i = 0; i < 5; ++i)
                msg[i] = nlsSetupStrCvt(66 + i);

        if (iWaitRunning >= 0 || flDryRun) {
            EndMidLine();
            fputs(msg[0][0] == '\n' ? msg[0] + 1 : msg[0], stdout);
            return WaitUnattended(names, report.get());
        }
        // The report begins with a line break of its own.
        if (msg[0][0] == '\n')
            flMidLine = false;
        else
            EndMidLine();
        fputs(msg[0], stdout);
        printf("%s\n", report.get());
        for (int i = 1; i < 5; ++i)
            fputs(msg[i], stdout);
        fflush(stdout);
        report.reset();

        // The first character selects; the one after it, normally the end
        // of the line, is dropped. Nothing more to read means quit: the
        // installation cannot go on while the programs run.
        char selection = 0;
        flMidLine = true; // until the answer's line end, echoed by a terminal
        if (scanf("%c%*c", &selection) != 1) {
            EndMidLine();
            return true;
        }
        if (isatty(STDIN_FILENO)) flMidLine = false;
        if (selection == SEL_QUIT) {
            EndMidLine();
            return true;
        }
        if (selection == SEL_WAIT) EndMidLine(); // the waiting starts on a line of its own
        if (selection == SEL_WAIT && WaitForEnd(names)) return false;
    }
}
