// File creation and removal. Directories, empty files, modes, owners,
// removal and renaming all go through the command runner, so every change to
// the file system is echoed and logged in one place; only the small text
// files the installer writes itself are written directly.
#include <cstdarg>
#include <cstdio>
#include <sys/stat.h>

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

constexpr int kTargetSize = 512; // "PATH/NAME" of CreateFile

void CreateFile(const char* path, const char* name, const char* mode, const char* owner,
                const char* group) {
    if (!path) return;
    if (!FindFile(StripFn(path), StripPath(path))) SysCmd(CMD_MKDIR, 2, "%s", path);

    char target[kTargetSize];
    int n = snprintf(target, sizeof target, "%s%s%s", path, name ? "/" : "", name ? name : "");
    if (n < 0 || n >= int(sizeof target)) {
        // Every step here is fatal on failure; a name too long to form is one.
        PutLogMsg("ERROR: path too long: %s/%s\n", path, name ? name : "");
        printf("ERROR: path too long: %s/%s\n", path, name ? name : "");
        exit_app(1);
    }

    if (name) SysCmd(CMD_TOUCH, 2, "%s", target);
    if (mode) SysCmd(CMD_CHMOD, 2, "%s %s", mode, target);
    if (owner) SysCmd(CMD_CHOWN, 2, "%s %s", owner, target);
    if (group) SysCmd(CMD_CHGRP, 2, "%s %s", group, target);
}

bool CreateTextFile(const char* path, const char* mode, int perm, const char* fmt, ...) {
    FILE* file = path && mode ? fopen(path, mode) : nullptr;
    if (!file) {
        fprintf(stderr, "ERROR: couldn't open %s\n", path ? path : "(none)");
        return false;
    }
    va_list ap;
    va_start(ap, fmt);
    vfprintf(file, fmt, ap);
    va_end(ap);
    if (perm != 0) fchmod(fileno(file), mode_t(perm));
    fclose(file);
    return true;
}

// Removes DIR/NAME (or DIR alone when name is none) recursively.
static void Remove(const char* dir, const char* name) {
    SysCmd(CMD_RM_R, 1, "%s%s%s", dir, name ? "/" : "", name ? name : "");
}

void DeleteFile(const char* dir, const char* name) {
    if (!dir) {
        // The name is the whole path.
        if (name && *name && FindFile(nullptr, name)) Remove(name, nullptr);
        return;
    }
    if (FindFile(dir, name)) Remove(dir, name);
}

void DeleteFile_(const char* path, const char* name) {
    if (!path) return;
    bool present = name ? FindFile(path, name) : FindFile(StripFn(path), StripPath(path));
    if (present) Remove(path, name);
}

void RenameFile(const char* dir, const char* name, const char* newName) {
    if (!name || !newName) return;
    if (dir) {
        if (FindFile(dir, name)) SysCmd(-CMD_MV, 1, "%s/%s %s/%s", dir, name, dir, newName);
        return;
    }
    // Without a directory both names are whole paths; the source is what
    // must be present.
    if (FindFile(nullptr, name)) SysCmd(-CMD_MV, 1, "%s %s", name, newName);
}
