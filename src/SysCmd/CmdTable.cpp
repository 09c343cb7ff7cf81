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
#include <cstdio>
#include <cstring>
#include "MemMgr/MemMgr.h"
char* GetDirFileList(const char* dir) {
    DIR* d = opendir(dir);
    if (!d) return nullptr;
    size_t sum = 0;
    while (dirent* e = readdir(d)) sum += strlen(e->d_name) + 1;
    char* out = static_cast<char*>(GetMem(int(sum + 3)));
    size_t used = 0;
    rewinddir(d);
    while (dirent* e = readdir(d)) {
        size_t l = strlen(e->d_name);
        if (used + l + 2 > sum + 2) break;
        out[used++] = ' ';
        memcpy(out + used, e->d_name, l);
        used += l;
    }
    out[used++] = ' ';
    out[used] = 0;
    closedir(d);
    return out;
}
char* SearchDirFileList(const char*, const char*) { return nullptr; }
