// STUB: placeholder until the module lands.
#include "SysCmd/SysCmd.h"

char* GetSysPsIdList(const char*) { return nullptr; }
char* CheckProcTableForExecs(const char*) { return nullptr; }
int KillProcessByName(const char*) { return 0; }
bool GetDiskSpace(const char*, DfInfo*) { return false; }
double DUPath(const char*) { return 0; }
bool AvailSpace(const char*, const char*, double) { return false; }
