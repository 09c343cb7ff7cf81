// Installation directories and the print-subsystem flag file. Every
// installation is reachable at the fixed place /usr/Orvik/qpxx: either the
// application directory lies there, or a symbolic link there points to it.
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

static constexpr int LINK_TEXT_SIZE = 256; // at most 255 bytes of link text are read
static constexpr const char* FLAG_FILE_FORMAT = "%s/.qp_cfg";
static constexpr int FLAG_FILE_MODE = 0644;

bool SameFile(const char* a, const char* b) {
    struct stat sa {};
    struct stat sb {};
    if (!a || !b || stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FixedPlaceInTheWay(const char* fixed, const char* appDir) {
    struct stat st {};
    if (lstat(fixed, &st) != 0 || S_ISLNK(st.st_mode)) return false;
    return !SameFile(fixed, appDir);
}

// Ends the run before anything is made at a fixed place that is taken by a
// directory or file the installer must not remove.
static void refuseFixedPlace(const char* fixed, const char* appDir) {
    PutLogMsg("ERROR: %s is in the way of the link to %s\n", fixed, appDir);
    ErrorMsg(2, 1, "%s is in the way of the link to %s; move it aside and run %s again", fixed,
             appDir, my_name);
}

void LinkFixedPlace(const char* fixed, const char* appDir) {
    struct stat st {};
    if (lstat(fixed, &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (SameFile(fixed, appDir)) return; // the application directory lies there
            refuseFixedPlace(fixed, appDir);
        }
        char text[LINK_TEXT_SIZE] = {};
        const ssize_t n = readlink(fixed, text, sizeof text - 1);
        if (n > 0 && strcmp(text, appDir) == 0) return; // already the right link
        // ln -s onto a link to a directory would put the new link inside that
        // directory, and onto a dangling link it fails: the old link goes first.
        SysCmd(CMD_RM, 1, "%s", fixed);
        if (lstat(fixed, &st) == 0) refuseFixedPlace(fixed, appDir);
    }
    SysCmd(CMD_LN, 2, "-s %s %s", appDir, fixed);
}

void createInstallationDirectories(const char* target) {
    if (strcmp(target, DEFAULT_TARGET) == 0) {
        // A link left at the fixed place (one that could not be removed as
        // stale, or one to elsewhere) would take the mode meant for the new
        // directory; only the link goes, whatever it points to stays.
        struct stat st {};
        if (lstat(pAppDir, &st) == 0 && S_ISLNK(st.st_mode)) SysCmd(CMD_RM, 1, "%s", pAppDir);
        CreateFile(pAppDir, nullptr, "755", nullptr, nullptr);
        return;
    }

    MemHold<char> appDir(SaveStr("%s/%s/%s", target, DIR_WORD, APP_WORD));
    MemHold<char> base(SaveStr("%s/%s", DEFAULT_TARGET, DIR_WORD));
    // Checked before anything is made, so that a refusal leaves no half-made
    // installation behind.
    if (FixedPlaceInTheWay(FIXED_APP_DIR, appDir)) refuseFixedPlace(FIXED_APP_DIR, appDir);

    CreateFile(appDir, nullptr, "775", nullptr, nullptr);
    struct stat st {};
    if (lstat(base, &st) != 0) CreateFile(base, nullptr, "775", nullptr, nullptr);
    LinkFixedPlace(FIXED_APP_DIR, appDir);
}

int createPrintingSubsystemFile(const char* appDir) {
    // Both probes always run; CUPS wins over LPRng, and BSD is what is left.
    const char* content = " BSD ";
    if (SniffLprng()) content = " LPRng ";
    if (SniffCUPS()) content = " CUPS ";
    MemHold<char> path(SaveStr(FLAG_FILE_FORMAT, appDir));
    if (flDryRun) {
        DryRunNote("write", path);
        return 1;
    }
    return CreateTextFile(path, "wt", FLAG_FILE_MODE, "%s", content) ? 1 : 0;
}
