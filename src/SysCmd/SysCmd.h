// SysCmd: the system command layer. One table names every tool the program
// runs; discovery finds each tool's directory; the runner builds the shell
// line, logs it and reports failures by severity; captures read a tool's
// output as lines; the queries parse ps, df and du.
#pragma once

#include <dirent.h>

// Command ids: the index of a tool in ComList.
// clang-format off
enum SysCmdId : int {
    CMD_RAW = 0, CMD_RAW_LOG, CMD_CANCEL, CMD_CAT, CMD_CHGRP, CMD_CHMOD, CMD_CHOWN, CMD_CLEAR,
    CMD_COMPRESS, CMD_CP, CMD_CP_R, CMD_CUPSD, CMD_ID, CMD_ECHO, CMD_EJECT_F, CMD_EJECT_Q,
    CMD_FILE, CMD_LN, CMD_LP, CMD_LPC, CMD_LPR, CMD_LPRM, CMD_LPSTAT, CMD_LS, CMD_KILL, CMD_MV,
    CMD_MKDIR, CMD_MORE, CMD_PING, CMD_RM, CMD_RM_R, CMD_SH, CMD_SLEEP, CMD_TAR_C, CMD_TAR_X,
    CMD_TOUCH, CMD_UNCOMPRESS, CMD_WHOAMI, CMD_ZCAT, CMD_UNAME, CMD_SED, CMD_DU, CMD_CHECKPC,
    CMD_LPD, CMD_PKGADD, CMD_PKGINFO, CMD_PKGRM, CMD_ACCEPT, CMD_DISABLE, CMD_CUPSDISABLE,
    CMD_ENABLE, CMD_LPADMIN, CMD_LPFILTER, CMD_LPSCHED, CMD_LPSHUT, CMD_LPSYSTEM, CMD_PS, CMD_BAR,
    CMD_DF, CMD_LPQ, CMD_YPCAT, CMD_REJECT, CMD_PMADM, CMD_SACADM, CMD_VOLCHECK, CMD_CAPTURE,
    CMD_LPSET, CMD_INSTNETPR, CMD_PIOMKPQ, CMD_PIOMISC_EXT, CMD_PIOMISC_BASE, CMD_LSALLQ,
    CMD_MKQUE, CMD_MKQUEDEV, CMD_RMQUE, CMD_RMQUEDEV, CMD_PIOCHDFQ, CMD_ENQ, CMD_LSQUEDEV,
    CMD_LSQUE, CMD_STARTSRC, CMD_STOPSRC, CMD_LSSRC, CMD_SHA256SUM, CMD_GPGV,
    CMD_END  // 85: the end marker
};
constexpr int CMD_LAST = CMD_GPGV; // the last tool of the table
// clang-format on

constexpr int SYSCMD_COUNT = CMD_END + 1; // 86 entries
constexpr int CMDLINE_SIZE = 4096;        // SysCmd and capture command lines
constexpr int CMDLINE_P_SIZE = 512;       // SysCmdP command line
constexpr int RESP_PIECE = 4096;          // captured lines: pieces of 4095 characters

// One entry of the command table.
struct SysCmdEntry {
    const char* pName;  // file name; "" for ids 0 and 1; none in the end marker
    const char* pFlags; // default options, "" when none
    const char* pPath;  // directory holding the tool; none until located
    int iWait;          // after the run: 0 return, n sleep n s, -1 wait for the process
};

extern SysCmdEntry ComList[SYSCMD_COUNT];
extern char SearchPaths[];   // "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc"
extern char* FullSearchPath; // SearchPaths ":" PATH; first-use search list
extern bool flInitSysCmd;    // 1: first-use discovery still enabled
extern bool flSysCmdLog;     // the runner echoes and logs

// ------------------------------------------------- table and discovery
void InitSysCmdList();
bool FillCmdPaths(const char* dir); // 1 while some command is still missing
bool FillCmdPath(int id);           // 1 when found
int TestCmd(int id);
char* GetCmd(int id);        // "DIR/NAME FLAGS", allocated; none when unlocated
char* GetCmdNoFlags(int id); // "DIR/NAME", allocated
char* ReadDir(DIR* dir);
char* GetDirFileList(const char* dir); // " . .. a b ", allocated
char* SearchDirFileList(const char* dir, const char* ext);
// Inner operations shared by the runner and the queries.
void LookUpCmd(int id);    // first-use lookup of an unlocated command, while enabled
const char* GetShellDir(); // directory of "sh"; "/bin" when it is not located

// ------------------------------------------------------------- runner
// One captured output line; the text lives in the same allocation.
struct RespLine {
    RespLine* pNext;
    char* pText;
};

// Severity: 0 silent, 1 logged warning, 2 logged error that ends the program.
// Returns 0 on success, non-zero when the shell could not be started or the
// command line exited with a non-zero status.
int SysCmd(int id, int severity, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int SysCmdP(int severity, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
RespLine* GetCmdResponse(int id, const char* pattern, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
char* GetCmdResponseStr(int id, const char* pattern, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
RespLine* FreeResponseList(RespLine* list);

// ------------------------------------------------------------ queries
constexpr int DF_LINE_SIZE = 512;

// The data line of a df report and the available amount read from it.
struct DfInfo {
    char szLine[DF_LINE_SIZE];
    double dAvail;
};

char* GetSysPsIdList(const char* name);          // " 812 901 " or none
char* CheckProcTableForExecs(const char* names); // "qprint ( 812 901 )\n"... or none
int KillProcessByName(const char* name);
bool GetDiskSpace(const char* path, DfInfo* info);
double DUPath(const char* path);
bool AvailSpace(const char* dir, const char* name, double needed);

// ------------------------------------------------------------ test hooks
// Puts the layer back in its start state: every command unlocated, first-use
// discovery enabled, command logging off, no search list built. sysDirs, when
// given, stands in for the system directories searched before PATH.
void ResetSysCmdForTests(const char* sysDirs = nullptr);
// The directories start-up discovery listed since the last reset, one a line.
const char* SysCmdScanTraceForTests();
// With flSysCmdDryRun set, SysCmd and SysCmdP build, echo and log their line
// but hand nothing to the shell and do not wait; the result is 0.
extern bool flSysCmdDryRun;
// With flSysCmdDryRunShow, each line is printed on standard output as
// "run: COMMAND" (the command as the shell would run it, no redirections),
// and then run unless flSysCmdDryRun is set too.
extern bool flSysCmdDryRunShow;
// Prints a shown line instead, when set (len characters of line).
extern void (*SysCmdDryRunShowHook)(const char* line, int len);
extern char SysCmdLastLine[CMDLINE_SIZE]; // the last line built for the shell
extern int SysCmdLastWait;                // iWait of the last SysCmd (0 for ids 0 and 1)
