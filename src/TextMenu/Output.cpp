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

// The directory part of path ("." for a bare name) into dir.
static bool DirOf(const char* path, char* dir, size_t size) {
    const char* slash = strrchr(path, '/');
    if (!slash) return snprintf(dir, size, ".") < int(size);
    const size_t len = slash == path ? 1 : size_t(slash - path);
    if (len >= size) return false;
    memcpy(dir, path, len);
    dir[len] = 0;
    return true;
}

// In a sticky world-writable directory, a link may be followed and a FIFO
// or device written into only when its owner is the writer or the
// directory's owner (as the kernel's protected_symlinks and protected_fifos
// settings have it), so that what another user planted there leads nowhere.
static bool OwnerTrusted(const char* path, const struct stat& node) {
    char dir[PATH_MAX];
    struct stat st;
    if (!DirOf(path, dir, sizeof dir) || stat(dir, &st) != 0) return false;
    if (!(st.st_mode & S_ISVTX) || !(st.st_mode & S_IWOTH)) return true;
    return node.st_uid == geteuid() || node.st_uid == st.st_uid;
}

// Every link met on the way to what path names, in any of its components
// and in the texts of the links themselves, as the kernel checks each link
// it follows; false with errno. A component that does not exist ends the
// walk: nothing beyond it is followed.
static bool PathTrusted(const char* path) {
    char rest[PATH_MAX];  // what is still to be walked
    char done[PATH_MAX];  // the walked part, free of links
    if (snprintf(rest, sizeof rest, "%s", path) >= int(sizeof rest)) {
        errno = ENAMETOOLONG;
        return false;
    }
    snprintf(done, sizeof done, "%s", path[0] == '/' ? "/" : "");
    for (int hops = 0;;) {
        const char* name = rest;
        while (*name == '/') ++name;
        if (!*name) return true;
        const size_t nameLen = strcspn(name, "/");
        char node[PATH_MAX];
        const size_t doneLen = strlen(done);
        const char* sep = doneLen == 0 || done[doneLen - 1] == '/' ? "" : "/";
        if (snprintf(node, sizeof node, "%s%s%.*s", done, sep, int(nameLen), name) >= int(sizeof node)) {
            errno = ENAMETOOLONG;
            return false;
        }
        const char* after = name + nameLen;
        struct stat st;
        if (lstat(node, &st) != 0) return true;
        if (!S_ISLNK(st.st_mode)) {
            memcpy(done, node, strlen(node) + 1);
            memmove(rest, after, strlen(after) + 1);
            continue;
        }
        if (++hops > 40) {
            errno = ELOOP;
            return false;
        }
        if (!OwnerTrusted(node, st)) {
            errno = EACCES;
            return false;
        }
        char to[PATH_MAX];
        const ssize_t n = readlink(node, to, sizeof to - 1);
        if (n < 0) return false;
        to[n] = 0;
        char next[PATH_MAX];
        if (snprintf(next, sizeof next, "%s%s", to, after) >= int(sizeof next)) {
            errno = ENAMETOOLONG;
            return false;
        }
        memcpy(rest, next, strlen(next) + 1);
        if (to[0] == '/') snprintf(done, sizeof done, "/");
    }
}

bool MenuOutputOpen(MenuOutput* out, const char* path) {
    out->file = nullptr;
    out->direct = false;
    out->replace.fd = -1;
    out->replace.temp[0] = 0;
    struct stat st;
    const bool exists = lstat(path, &st) == 0;
    if (!exists && errno != ENOENT) return false;
    const bool link = exists && S_ISLNK(st.st_mode);
    if (!PathTrusted(path)) return false;
    struct stat target;
    if (exists && stat(path, &target) == 0 && !S_ISREG(target.st_mode)) {
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
