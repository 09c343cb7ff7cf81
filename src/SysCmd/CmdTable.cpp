// The command table and the discovery of each tool's directory, and the
// directory listings on which discovery and the file presence tests rest.
#include "SysCmd/SysCmd.h"

#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

// Every tool the program runs, by command id. pPath stays none until
// discovery finds the tool; once set it is never changed.
constinit SysCmdEntry ComList[SYSCMD_COUNT] = {
    {"", "", nullptr, 0},             // CMD_RAW
    {"", "", nullptr, 0},             // CMD_RAW_LOG
    {"cancel", "", nullptr, 2},       // CMD_CANCEL
    {"cat", "", nullptr, 0},          // CMD_CAT
    {"chgrp", "", nullptr, 0},        // CMD_CHGRP
    {"chmod", "", nullptr, 0},        // CMD_CHMOD
    {"chown", "", nullptr, 0},        // CMD_CHOWN
    {"clear", "", nullptr, 0},        // CMD_CLEAR
    {"compress", "", nullptr, 0},     // CMD_COMPRESS
    {"cp", "-p", nullptr, 0},         // CMD_CP
    {"cp", "-pr", nullptr, 0},        // CMD_CP_R
    {"cupsd", "", nullptr, 0},        // CMD_CUPSD
    {"id", "", nullptr, 0},           // CMD_ID
    {"echo", "", nullptr, 0},         // CMD_ECHO
    {"eject", "-f", nullptr, 1},      // CMD_EJECT_F
    {"eject", "-q", nullptr, 1},      // CMD_EJECT_Q
    {"file", "", nullptr, 0},         // CMD_FILE
    {"ln", "", nullptr, 0},           // CMD_LN
    {"lp", "", nullptr, 0},           // CMD_LP
    {"lpc", "", nullptr, 1},          // CMD_LPC
    {"lpr", "", nullptr, 0},          // CMD_LPR
    {"lprm", "", nullptr, 1},         // CMD_LPRM
    {"lpstat", "", nullptr, 1},       // CMD_LPSTAT
    {"ls", "", nullptr, 0},           // CMD_LS
    {"kill", "-KILL", nullptr, 0},    // CMD_KILL
    {"mv", "-f", nullptr, 0},         // CMD_MV
    {"mkdir", "-p", nullptr, 0},      // CMD_MKDIR
    {"more", "", nullptr, 0},         // CMD_MORE
    {"ping", "", nullptr, 0},         // CMD_PING
    {"rm", "-f", nullptr, 0},         // CMD_RM
    {"rm", "-rf", nullptr, 0},        // CMD_RM_R
    {"sh", "", nullptr, 0},           // CMD_SH
    {"sleep", "", nullptr, 0},        // CMD_SLEEP
    {"tar", "cvfp", nullptr, 0},      // CMD_TAR_C
    {"tar", "xvfp", nullptr, 0},      // CMD_TAR_X
    {"touch", "", nullptr, 0},        // CMD_TOUCH
    {"uncompress", "", nullptr, 0},   // CMD_UNCOMPRESS
    {"whoami", "", nullptr, 0},       // CMD_WHOAMI
    {"zcat", "", nullptr, 0},         // CMD_ZCAT
    {"uname", "", nullptr, 0},        // CMD_UNAME
    {"sed", "", nullptr, 0},          // CMD_SED
    {"du", "-s", nullptr, 0},         // CMD_DU
    {"checkpc", "", nullptr, 0},      // CMD_CHECKPC
    {"lpd", "", nullptr, 0},          // CMD_LPD
    {"pkgadd", "", nullptr, 1},       // CMD_PKGADD
    {"pkginfo", "", nullptr, 0},      // CMD_PKGINFO
    {"pkgrm", "", nullptr, 1},        // CMD_PKGRM
    {"accept", "", nullptr, 1},       // CMD_ACCEPT
    {"disable", "", nullptr, 1},      // CMD_DISABLE
    {"cupsdisable", "", nullptr, 1},  // CMD_CUPSDISABLE
    {"enable", "", nullptr, 1},       // CMD_ENABLE
    {"lpadmin", "", nullptr, 1},      // CMD_LPADMIN
    {"lpfilter", "", nullptr, 1},     // CMD_LPFILTER
    {"lpsched", "", nullptr, 1},      // CMD_LPSCHED
    {"lpshut", "", nullptr, 1},       // CMD_LPSHUT
    {"lpsystem", "", nullptr, 1},     // CMD_LPSYSTEM
    {"ps", "-ace", nullptr, 0},       // CMD_PS
    {"bar", "", nullptr, 0},          // CMD_BAR
    {"df", "", nullptr, 0},           // CMD_DF
    {"lpq", "-P", nullptr, 0},        // CMD_LPQ
    {"ypcat", "", nullptr, 0},        // CMD_YPCAT
    {"reject", "", nullptr, 1},       // CMD_REJECT
    {"pmadm", "", nullptr, 1},        // CMD_PMADM
    {"sacadm", "", nullptr, 1},       // CMD_SACADM
    {"volcheck", "", nullptr, 0},     // CMD_VOLCHECK
    {"capture", "", nullptr, 0},      // CMD_CAPTURE
    {"lpset", "", nullptr, 1},        // CMD_LPSET
    {"instnetpr", "", nullptr, 1},    // CMD_INSTNETPR
    {"piomkpq", "", nullptr, 0},      // CMD_PIOMKPQ
    {"piomisc_ext", "", nullptr, 0},  // CMD_PIOMISC_EXT
    {"piomisc_base", "", nullptr, 0}, // CMD_PIOMISC_BASE
    {"lsallq", "", nullptr, 0},       // CMD_LSALLQ
    {"mkque", "", nullptr, 0},        // CMD_MKQUE
    {"mkquedev", "", nullptr, 0},     // CMD_MKQUEDEV
    {"rmque", "", nullptr, 0},        // CMD_RMQUE
    {"rmquedev", "", nullptr, 0},     // CMD_RMQUEDEV
    {"piochdfq", "", nullptr, 0},     // CMD_PIOCHDFQ
    {"enq", "", nullptr, 0},          // CMD_ENQ
    {"lsquedev", "", nullptr, 0},     // CMD_LSQUEDEV
    {"lsque", "", nullptr, 0},        // CMD_LSQUE
    {"startsrc", "", nullptr, 1},     // CMD_STARTSRC
    {"stopsrc", "", nullptr, 0},      // CMD_STOPSRC
    {"lssrc", "", nullptr, 0},        // CMD_LSSRC
    {"sha256sum", "", nullptr, 0},    // CMD_SHA256SUM: an install site's checksums
    {"gpgv", "", nullptr, 0},         // CMD_GPGV: the signature over them
    {nullptr, nullptr, nullptr, 0},   // end marker
};

// The system directories, searched before PATH. Start-up discovery cuts this
// text at its colons, and the pieces become the directories of the commands.
static constexpr char kSearchPaths[] = "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc";
char SearchPaths[sizeof kSearchPaths] = "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc";
char* FullSearchPath = nullptr;
bool flInitSysCmd = true;
bool flSysCmdLog = false;

// The system directory list in use: SearchPaths, or a test's own list.
static char* pSysDirs = SearchPaths;
static char TestSysDirs[CMDLINE_SIZE];
// The private copy of PATH that start-up discovery cuts into directories.
static char* pPathCopy = nullptr;
// The "SHELL=..." text handed to the environment; it must outlive the process.
static char* pShellEnv = nullptr;
// Which directories are private copies made by first-use discovery.
static bool flOwnPath[SYSCMD_COUNT];
// Directories listed by start-up discovery, one per line, for the tests.
static char ScanTrace[CMDLINE_SIZE];

// The directory of "sh" for the shell wrapper and SHELL. The C library's own
// system() runs /bin/sh, so that is the shell when discovery found none.
const char* GetShellDir() {
    return ComList[CMD_SH].pPath ? ComList[CMD_SH].pPath : "/bin";
}

// Cuts the next directory out of a colon-separated list in place. Empty
// fields are skipped; none at the end of the list.
static char* NextDirInPlace(char** cursor) {
    char* p = *cursor;
    while (*p == ':')
        ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }
    char* start = p;
    while (*p && *p != ':')
        ++p;
    if (*p) *p++ = '\0';
    *cursor = p;
    return start;
}

// Copies the next directory of a colon-separated list into out without
// changing the list. A directory that does not fit out is skipped.
static bool NextDirCopy(const char** cursor, char* out, size_t size) {
    for (;;) {
        const char* p = *cursor;
        while (*p == ':')
            ++p;
        if (!*p) {
            *cursor = p;
            return false;
        }
        size_t len = strcspn(p, ":");
        *cursor = p + len;
        if (len < size) {
            memcpy(out, p, len);
            out[len] = '\0';
            return true;
        }
    }
}

// Only absolute directories are searched: a relative one would make a
// command's meaning depend on the working directory of the moment. A
// trailing "/" is cut so that "DIR/NAME" has one slash.
static bool UsableDir(char* dir) {
    if (dir[0] != '/') return false;
    size_t len = strlen(dir);
    while (len > 1 && dir[len - 1] == '/')
        dir[--len] = '\0';
    return true;
}

// True when dir equals one of the pieces of [start, end), a list already
// cut in place (pieces separated by one or more terminators).
static bool AmongPieces(const char* start, const char* end, const char* dir) {
    for (const char* p = start; p < end;) {
        if (!*p) {
            ++p;
            continue;
        }
        if (strcmp(p, dir) == 0) return true;
        p += strlen(p) + 1;
    }
    return false;
}

static void BuildFullSearchPath() {
    MemHold<char> path(GetEnv("PATH"));
    FullSearchPath = SaveStr("%s:%s", pSysDirs, path ? path.get() : "");
}

// True when blank-name-blank occurs in a directory listing.
static bool ListingHas(const char* listing, const char* name) {
    size_t len = strlen(name);
    if (!len) return false;
    for (const char* p = strstr(listing, name); p; p = strstr(p + 1, name))
        if (p > listing && p[-1] == ' ' && p[len] == ' ') return true;
    return false;
}

void InitSysCmdList() {
    flInitSysCmd = false;

    pPathCopy = GetEnv("PATH");
    PutMem(FullSearchPath);
    FullSearchPath = SaveStr("%s:%s", pSysDirs, pPathCopy ? pPathCopy : "");

    bool missing = true;
    char* const sysStart = pSysDirs;
    char* const sysEnd = pSysDirs + strlen(pSysDirs);
    char* cursor = pSysDirs;
    while (missing) {
        char* dir = NextDirInPlace(&cursor);
        if (!dir) break;
        if (!UsableDir(dir) || AmongPieces(sysStart, dir, dir)) continue;
        missing = FillCmdPaths(dir);
    }
    if (missing && pPathCopy) {
        cursor = pPathCopy;
        while (missing) {
            char* dir = NextDirInPlace(&cursor);
            if (!dir) break;
            if (!UsableDir(dir) || AmongPieces(sysStart, sysEnd, dir) ||
                AmongPieces(pPathCopy, dir, dir))
                continue;
            missing = FillCmdPaths(dir);
        }
    }

    char* env = SaveStr("SHELL=%s/%s ", GetShellDir(), ComList[CMD_SH].pName);
    putenv(env);
    PutMem(pShellEnv);
    pShellEnv = env;

    if (flUseLog) {
        flSysCmdLog = true;
        PutLogMsg("initializing system\n");
    }
}

bool FillCmdPaths(const char* dir) {
    size_t used = strlen(ScanTrace);
    if (dir && used + strlen(dir) + 2 <= sizeof ScanTrace)
        snprintf(ScanTrace + used, sizeof ScanTrace - used, "%s\n", dir);

    char* listing = dir ? GetDirFileList(dir) : nullptr;
    if (!listing) return true;
    bool missing = false;
    for (int id = CMD_CANCEL; id < CMD_END && ComList[id].pName && *ComList[id].pName; ++id) {
        SysCmdEntry& entry = ComList[id];
        if (!entry.pPath && ListingHas(listing, entry.pName)) entry.pPath = dir;
        if (!entry.pPath) missing = true;
    }
    PutMem(listing);
    return missing;
}

bool FillCmdPath(int id) {
    if (id < CMD_CANCEL || id > CMD_LAST) return false;
    SysCmdEntry& entry = ComList[id];
    if (entry.pPath) return true;
    if (!FullSearchPath) BuildFullSearchPath();
    const char* cursor = FullSearchPath;
    char dir[CMDLINE_SIZE];
    while (NextDirCopy(&cursor, dir, sizeof dir)) {
        if (!UsableDir(dir)) continue;
        if (FindFile(dir, entry.pName)) {
            entry.pPath = SaveStr_(dir);
            flOwnPath[id] = true;
            return true;
        }
    }
    return false;
}

// The step every lookup takes first: while first-use discovery is enabled,
// an unlocated table command is searched for.
void LookUpCmd(int id) {
    if (flInitSysCmd && id >= CMD_CANCEL && id <= CMD_LAST && !ComList[id].pPath) FillCmdPath(id);
}

int TestCmd(int id) {
    if (id < CMD_CANCEL || id > CMD_LAST) return 0;
    LookUpCmd(id);
    return ComList[id].pPath ? 1 : 0;
}

char* GetCmd(int id) {
    if (!TestCmd(id)) return nullptr;
    const SysCmdEntry& entry = ComList[id];
    return SaveStr("%s/%s %s", entry.pPath, entry.pName, entry.pFlags);
}

char* GetCmdNoFlags(int id) {
    if (!TestCmd(id)) return nullptr;
    const SysCmdEntry& entry = ComList[id];
    return SaveStr("%s/%s", entry.pPath, entry.pName);
}

char* ReadDir(DIR* dir) {
    if (!dir) return nullptr;
    dirent* entry = readdir(dir);
    return entry ? entry->d_name : nullptr;
}

// An entry of SearchDirFileList: its text after the last "." equals ext;
// with ext none, any entry but "." and "..".
static bool Qualifies(const char* name, const char* ext) {
    if (!ext) return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
    const char* dot = strrchr(name, '.');
    return dot && strcmp(dot + 1, ext) == 0;
}

// The listing of dir, sized by a first pass and filled by a second. Entries
// that appear between the passes are left out when they do not fit, so the
// second pass never writes past the allocation.
static char* ListDir(const char* dir, bool filtered, const char* ext) {
    DIR* handle = dir ? opendir(dir) : nullptr;
    if (!handle) return nullptr;
    size_t sum = 0;
    while (const char* name = ReadDir(handle))
        sum += strlen(name) + 1;
    if (sum > size_t(INT32_MAX) - 3) sum = size_t(INT32_MAX) - 3;
    const size_t room = sum + 3; // the names, their blanks, the closing blank, the terminator
    char* out = static_cast<char*>(GetMem(int(room)));
    if (!out) {
        closedir(handle);
        SysError("%s", common_109);
    }
    size_t used = 0;
    int kept = 0;
    rewinddir(handle);
    while (const char* name = ReadDir(handle)) {
        if (filtered && !Qualifies(name, ext)) continue;
        size_t len = strlen(name);
        if (used + 1 + len + 2 > room) continue;
        out[used++] = ' ';
        memcpy(out + used, name, len);
        used += len;
        ++kept;
    }
    closedir(handle);
    if (filtered && !kept) {
        PutMem(out);
        return nullptr;
    }
    out[used++] = ' ';
    out[used] = '\0';
    return out;
}

char* GetDirFileList(const char* dir) {
    return ListDir(dir, false, nullptr);
}

char* SearchDirFileList(const char* dir, const char* ext) {
    return ListDir(dir, true, ext);
}

// ------------------------------------------------------------ test hooks

void ResetSysCmdForTests(const char* sysDirs) {
    for (int id = 0; id < SYSCMD_COUNT; ++id) {
        if (flOwnPath[id]) PutMem(const_cast<char*>(ComList[id].pPath));
        flOwnPath[id] = false;
        ComList[id].pPath = nullptr;
    }
    PutMem(pPathCopy);
    pPathCopy = nullptr;
    PutMem(FullSearchPath);
    FullSearchPath = nullptr;
    memcpy(SearchPaths, kSearchPaths, sizeof kSearchPaths);
    pSysDirs = SearchPaths;
    if (sysDirs) {
        snprintf(TestSysDirs, sizeof TestSysDirs, "%s", sysDirs);
        pSysDirs = TestSysDirs;
    }
    flInitSysCmd = true;
    flSysCmdLog = false;
    ScanTrace[0] = '\0';
}

const char* SysCmdScanTraceForTests() {
    return ScanTrace;
}
