// Output files of the engine and its tool (settings files, the values a
// script reads): a regular file is replaced whole, an existing target that
// is not a regular file (a pipe such as /dev/fd/3, a terminal) is written
// straight into, and a symbolic link or a FIFO in a sticky world-writable
// directory is used only when it belongs to the writer or to the
// directory's owner, so that what another user planted leads nowhere.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TextMenu/TextMenu.h"

bool MenuOutputOpen(MenuOutput* out, const char* path) {
    out->file = nullptr;
    out->direct = false;
    out->replace.fd = -1;
    out->replace.temp[0] = 0;
    struct stat st;
    const bool exists = lstat(path, &st) == 0;
    if (!exists && errno != ENOENT) return false;
    const bool link = exists && S_ISLNK(st.st_mode);
    struct stat target;
    if (exists && stat(path, &target) == 0 && !S_ISREG(target.st_mode)) {
        if (!PathTrusted(path)) return false;  // ReplaceBegin checks the others
        char real[PATH_MAX];  // a pipe of /dev/fd has no path and is the caller's own
        if (realpath(path, real) && !OwnerTrusted(real, target)) {
            errno = EACCES;
            return false;
        }
        const int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        out->file = fdopen(fd, "w");
        if (!out->file) {
            close(fd);
            return false;
        }
        out->direct = true;
        return true;
    }
    if (!ReplaceBegin(&out->replace, path, "_new", 0666)) return false;
    // A link that appeared after the look above is not followed.
    if (!link && strcmp(out->replace.target, path) != 0) {
        ReplaceAbort(&out->replace);
        errno = EACCES;
        return false;
    }
    const int fd = fcntl(out->replace.fd, F_DUPFD_CLOEXEC, 0);  // commands run from the menu never see it
    out->file = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (!out->file) {
        const int e = errno;
        if (fd >= 0) close(fd);
        ReplaceAbort(&out->replace);
        errno = e;
        return false;
    }
    return true;
}

bool MenuOutputClose(MenuOutput* out) {
    if (!out->file) {
        errno = EBADF;
        return false;
    }
    bool ok = fflush(out->file) == 0 && !ferror(out->file);
    int e = errno;
    ok = fclose(out->file) == 0 && ok;
    if (!ok && !e) e = errno;
    out->file = nullptr;
    if (out->direct) {
        errno = e;
        return ok;
    }
    if (!ok) {
        ReplaceAbort(&out->replace);
        errno = e;
        return false;
    }
    return ReplaceCommit(&out->replace, false);
}

void MenuOutputAbort(MenuOutput* out) {
    if (out->file) fclose(out->file);
    out->file = nullptr;
    if (!out->direct) ReplaceAbort(&out->replace);
}
