// Relocation of a previous installation and the clean-up after the
// installation. The relocation moves CURRENT/Orvik/qpxx to the new target
// and points the fixed place at it, so that the installation that follows
// upgrades the moved files; the clean-up removes the work area and lets the
// queue administration tool bring the queue configuration up to date.
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

static bool exists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0;
}

static bool isLink(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
}

[[noreturn]] static void refuseRelocation(const char* what, const char* where) {
    PutLogMsg("ERROR: %s %s; the previous installation was not moved\n", where, what);
    ErrorMsg(2, 1, "%s %s; the previous installation was not moved", where, what);
    exit_app(1); // not reached: ErrorMsg level 2 ends the program
}

void relocatePreviousInstallation() {
    const char* target = pTargetInstallDir;
    const char* current = pCurrentInstallDir;
    const char* fixed = FIXED_APP_DIR;
    MemHold<char> currentApp(SaveStr("%s/%s/%s", current, DIR_WORD, APP_WORD));

    // The two names may differ as texts and still be one directory (a target
    // reached through a symbolic link, a doubled "/"): removing the "new"
    // directory would then remove the installation itself. Only the link at
    // the fixed place may need to follow the new name.
    if (!isLink(pAppDir) && SameFile(currentApp, pAppDir)) {
        PutLogMsg("%s is %s: nothing to move\n", pAppDir, currentApp.get());
        if (strcmp(fixed, pAppDir) != 0) LinkFixedPlace(fixed, pAppDir);
        return;
    }
    // Whatever the move leaves at the fixed place must make way for the link;
    // find out before anything is changed.
    if (strcmp(fixed, pAppDir) != 0 && FixedPlaceInTheWay(fixed, currentApp))
        refuseRelocation("is in the way of the link to the new place", fixed);

    if (exists(pAppDir)) SysCmd(CMD_RM_R, 1, " %s", pAppDir);
    // mv would put the installation inside anything left there.
    if (!flDryRun && exists(pAppDir)) refuseRelocation("could not be removed", pAppDir);

    MemHold<char> base(SaveStr("%s/%s", target, DIR_WORD));
    CreateFile(base, nullptr, "755", nullptr, nullptr);
    SysCmd(CMD_MV, 2, "-f %s/%s/%s %s/%s", current, DIR_WORD, APP_WORD, target, DIR_WORD);

    if (strcmp(fixed, pAppDir) != 0) LinkFixedPlace(fixed, pAppDir);
}

// The installer made the work area's parent, and perhaps directories above
// it up to pCreatedTmpDirTop: each goes, innermost first, when the removal
// of what it held left it empty. One that holds anything stays, and so does
// everything above it.
static void removeCreatedDirs(const char* work) {
    if (!pCreatedTmpDirTop) return;
    MemHold<char> dir(SaveStr_(work));
    const size_t topLen = strlen(pCreatedTmpDirTop);
    for (;;) {
        char* slash = strrchr(dir.get(), '/');
        if (!slash || slash == dir.get()) return;
        *slash = '\0';
        // Only the created chain: the top itself and what lies below it.
        if (strncmp(dir, pCreatedTmpDirTop, topLen) != 0 || strlen(dir) < topLen) return;
        if (rmdir(dir) != 0) return;
        PutLogMsg("removed %s, made for the work area\n", dir.get());
        if (strlen(dir) == topLen) return;
    }
}

// The queue administration tool comes with the package; a run that stopped
// before the package was in place has none to run.
static void runQueueAdmin(const char* option) {
    MemHold<char> tool(SaveStr("%s/qpqadmin", pAppDir));
    if (flDryRun) {
        MemHold<char> line(SaveStr("%s %s", tool.get(), option));
        DryRunNote("run", line);
        return;
    }
    if (!exists(tool)) return;
    fflush(stdout); // the dots and the tool's own output appear in order
    MemHold<char> line(SaveStr("%s %s", tool.get(), option));
    [[maybe_unused]] int status = system(line);  // the tool reports its own failure
    printf(".");
}

void OrvikClean(const char* work) {
    // The clean-up's dots go on the line of the installation's progress
    // dots. A dry run lists the removal and the queue administration (its
    // scratch area goes at the end of the run).
    if (chdir("/") != 0) PutLogMsg("WARNING_MSG: cannot change to /\n");
    SysCmd(CMD_RM_R, 1, " %s", work);
    runQueueAdmin("-upgrade");
    runQueueAdmin("-clean");
    if (flDryRun) return;
    printf("\n");
    fflush(stdout);
    flMidLine = false;

    if (flCreatedTmpDir) {
        if (chdir(DEFAULT_TARGET) != 0) PutLogMsg("WARNING_MSG: cannot change to /usr\n");
        SysCmd(CMD_RM_R, 1, " %s", work);
        removeCreatedDirs(work);
        EndMidLine();
    }
}
