// Print-subsystem detection: which spooler the host runs. Two plain queries
// without state, asked by the flag-file writer and the queue-script writer.
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

// The word by which an LPRng lpd names itself in its version report.
static constexpr const char* LPRNG_WORD = "LPRng";

// True when the located lpd names itself LPRng for -V. Without a located lpd
// nothing is run; an lpd that cannot be started gives an empty reply.
bool SniffLprng() {
    if (!TestCmd(CMD_LPD)) return false;
    // The version report may come on standard error only, hence 2>&1.
    RespLine* reply = GetCmdResponse(CMD_LPD, LPRNG_WORD, " -V 2>&1");
    if (!reply) return false;
    bool found = false;
    for (const RespLine* line = reply; line && !found; line = line->pNext)
        found = line->pText && strstr(line->pText, LPRNG_WORD) != nullptr;
    FreeResponseList(reply);
    return found;
}

// True when a process named cupsd runs; the program file alone does not count.
bool SniffCUPS() {
    char* report = CheckProcTableForExecs("cupsd");
    if (!report) return false;
    PutMem(report);
    return true;
}
