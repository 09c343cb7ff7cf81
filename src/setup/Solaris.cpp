// Registration upgrade of the suite's Solaris package: the application
// directory gets the library tree of the graphical toolkit modules, every
// plain file of the new package's map is registered with installf and copied
// into place, the registration is finalised, and the version recorded in the
// package's pkginfo becomes the installer's.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr const char* MAP_DELIMS = " \n\r"; // a tab stays inside a word
constexpr const char* MAP_TYPES = ",f,d,i,";
constexpr int MAP_TYPE_FILE = 1; // "f" in MAP_TYPES

// The used words of a package-map entry, in order; further words are ignored.
enum MapWord : int { W_PART, W_TYPE, W_CLASS, W_PATH, W_MODE, W_OWNER, W_GROUP, MAP_WORDS };

// The library tree below APPDIR/lib, made in this order.
constexpr const char* LIB_TREE[] = {
    "gtk",
    "gtk/modules",
    "gtk/modules/2.2.0",
    "gtk/modules/2.2.0/engines",
    "gtk/modules/2.2.0/immodules",
    "gtk/modules/2.2.0/loaders",
    "gtk/modules/etc",
    "gtk/modules/etc/gtk-2.0",
    "gtk/modules/etc/pango",
    "gtk/modules/include",
    "gtk/modules/modules",
    "gtk/modules/pango",
    "gtk/modules/pango/1.2.0",
    "gtk/modules/pango/1.2.0/modules",
};

// Runs a line through the system shell; its status is the caller's to use.
int Shell(const char* line) {
    return std::system(line);
}

void MakeLibTree() {
    if (FindFile(pAppDir, "lib")) return;
    MemHold<char> lib(SaveStr("%s/lib", pAppDir));
    CreateFile(lib, nullptr, "755", nullptr, nullptr);
    for (const char* sub : LIB_TREE)
        SysCmd(CMD_MKDIR, 2, "%s/lib/%s", pAppDir, sub);
}

// Sets the version of /var/sadm/pkg/PKG/pkginfo to the installer's through
// an edited copy beside it. The copy replaces the original only when sed has
// made it, so a pkginfo that cannot be read is never replaced by an empty
// one; the original's mode and owner are kept.
void RewriteVersion(const char* pkg) {
    SysCmd(CMD_RM, 1, "/var/sadm/pkg/%s/pkginfo.tmp", pkg);
    MemHold<char> sed(SaveStr("sed -e\"s/VERSION=[0-9.].*/VERSION=%s/\" /var/sadm/pkg/%s/pkginfo >> "
                              "/var/sadm/pkg/%s/pkginfo.tmp",
                              ToolVersionText, pkg, pkg)); // the package's own version
    int status = Shell(sed);
    putchar('.');
    MemHold<char> info(SaveStr("/var/sadm/pkg/%s/pkginfo", pkg));
    struct stat before {};
    if (status != 0 || stat(info, &before) != 0) {
        PutLogMsg("WARNING_MSG: %s not rewritten\n", info.get());
        SysCmd(CMD_RM, 1, "/var/sadm/pkg/%s/pkginfo.tmp", pkg);
        return;
    }
    SysCmd(CMD_MV, 1, "/var/sadm/pkg/%s/pkginfo.tmp /var/sadm/pkg/%s/pkginfo", pkg, pkg);
    if (chown(info, before.st_uid, before.st_gid) != 0 ||
        chmod(info, before.st_mode & 07777) != 0)
        PutLogMsg("WARNING_MSG: cannot keep the mode and owner of %s\n", info.get());
}

} // namespace

bool SolarisMapLines(char* entry, const char* pkg, char** reg, char** copy) {
    *reg = nullptr;
    *copy = nullptr;
    char* w[MAP_WORDS];
    if (ParseStr(entry, MAP_DELIMS, w, MAP_WORDS) < MAP_WORDS) return false;
    // A word holding the list's separator would match a run of several types.
    if (std::strchr(w[W_TYPE], ',') || FindToken(w[W_TYPE], MAP_TYPES) != MAP_TYPE_FILE)
        return false;
    for (int i : {W_CLASS, W_PATH, W_MODE, W_OWNER, W_GROUP}) {
        if (IsPlainSiteName(w[i])) continue;
        PutLogMsg("WARNING_MSG: pkgmap entry %s skipped: \"%s\" holds a blank or shell-special "
                  "character\n",
                  w[W_PATH], w[i]);
        return false;
    }
    const char* path = w[W_PATH];
    if (path[0] == '/') {
        *reg = SaveStr("%s -c %s %s %s %s %s %s %s 1>/dev/null 2>/dev/null", pPathToInstallf,
                       w[W_CLASS], pkg, path, w[W_TYPE], w[W_MODE], w[W_OWNER], w[W_GROUP]);
        *copy = SaveStr("cp %s/%s/root%s %s", pOrvikInstallDir, pkg, path, path);
    } else {
        *reg = SaveStr("%s -c %s %s %s/%s/%s %s %s %s %s 1>/dev/null 2>/dev/null",
                       pPathToInstallf, w[W_CLASS], pkg, pTargetInstallDir, DIR_WORD, path,
                       w[W_TYPE], w[W_MODE], w[W_OWNER], w[W_GROUP]);
        *copy = SaveStr("cp %s/%s/reloc/%s %s/%s/%s", pOrvikInstallDir, pkg, path,
                        pTargetInstallDir, DIR_WORD, path);
    }
    return true;
}

int upgradeSolarisPackage(const char* pkg, const char* dir) {
    MakeLibTree();
    OpenInputFileF(2, "%s/TLMRqpxx/pkgmap", dir);
    while (GetFileLine()) {
        // The log and the shell may reuse LineBuf: the entry is split in a copy.
        char entry[LINEBUF_SIZE];
        std::memcpy(entry, LineBuf, std::strlen(LineBuf) + 1);
        char* reg;
        char* copy;
        if (!SolarisMapLines(entry, pkg, &reg, &copy)) continue;
        // Failures of registration and copy are installf's and cp's to report.
        Shell(reg);
        Shell(copy);
        PutMem(reg);
        PutMem(copy);
        putchar('.');
        fflush(stdout);
    }
    MemHold<char> finish(SaveStr("%s -f %s 1>/dev/null 2>/dev/null", pPathToInstallf, pkg));
    Shell(finish);
    RewriteVersion(pkg);
    return 1;
}
