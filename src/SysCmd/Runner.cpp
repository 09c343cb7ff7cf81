// STUB: placeholder until the module lands.
#include "SysCmd/SysCmd.h"

int SysCmd(int, int, const char*, ...) { return 0; }
int SysCmdP(int, const char*, ...) { return 0; }
RespLine* GetCmdResponse(int, const char*, const char*, ...) { return nullptr; }
char* GetCmdResponseStr(int, const char*, const char*, ...) { return nullptr; }
RespLine* FreeResponseList(RespLine*) { return nullptr; }
