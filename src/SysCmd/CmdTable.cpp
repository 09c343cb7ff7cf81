// STUB: placeholder until the module lands.
#include "SysCmd/SysCmd.h"

SysCmdEntry ComList[SYSCMD_COUNT] = {};
char SearchPaths[] = "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc";
char* FullSearchPath = nullptr;
bool flInitSysCmd = true;
bool flSysCmdLog = false;
void InitSysCmdList() {}
bool FillCmdPaths(const char*) { return true; }
bool FillCmdPath(int) { return false; }
int TestCmd(int) { return 0; }
char* GetCmd(int) { return nullptr; }
char* GetCmdNoFlags(int) { return nullptr; }
char* ReadDir(DIR*) { return nullptr; }
char* GetDirFileList(const char*) { return nullptr; }
char* SearchDirFileList(const char*, const char*) { return nullptr; }
