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

} // namespace

bool QuitForRunningProcesses(const char* names) {
    const char* msg[5] = {}; // setup messages 66 to 70, looked up once
    for (;;) {
        MemHold<char> report(CheckProcTableForExecs(names));
        if (!report) return false;
        if (!msg[0])
            for (int i = 0; i < 5; ++i)
                msg[i] = nlsSetupStrCvt(66 + i);

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
