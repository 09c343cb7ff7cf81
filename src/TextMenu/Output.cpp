// Output files of the engine and its tool (settings files, the values a
// script reads): a regular file is replaced whole, an existing target that
// is not a regular file (a pipe such as /dev/fd/3, a terminal) is written
// straight into, and a symbolic link in a sticky world-writable directory
// is followed only when it belongs to the writer or to the directory's
// owner, so that a link planted by another user leads nowhere.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// A link in a sticky world-writable directory may be followed only when
// its owner is the writer or the directory's owner.
static bool LinkTrusted(const char* path, const struct stat& link) {
    char dir[PATH_MAX];
    struct stat st;
    if (!DirOf(path, dir, sizeof dir) || stat(dir, &st) != 0) return false;
    if (!(st.st_mode & S_ISVTX) || !(st.st_mode & S_IWOTH)) return true;
    return link.st_uid == geteuid() || link.st_uid == st.st_uid;
}

// Every link of the chain that starts at path, as the kernel checks each
// link it follows; false with errno.
static bool ChainTrusted(const char* path) {
    char cur[PATH_MAX];
    if (snprintf(cur, sizeof cur, "%s", path) >= int(sizeof cur)) {
        errno = ENAMETOOLONG;
        return false;
    }
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (lstat(cur, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (!LinkTrusted(cur, st)) {
            errno = EACCES;
            return false;
        }
        char to[PATH_MAX];
        const ssize_t n = readlink(cur, to, sizeof to - 1);
        if (n < 0) return false;
        to[n] = 0;
        char next[PATH_MAX];
        char dir[PATH_MAX];
        const int len = to[0] == '/' || !DirOf(cur, dir, sizeof dir)
                            ? snprintf(next, sizeof next, "%s", to)
                            : snprintf(next, sizeof next, "%s/%s", dir, to);
        if (len >= int(sizeof next)) {
            errno = ENAMETOOLONG;
            return false;
        }
        memcpy(cur, next, size_t(len) + 1);
    }
    errno = ELOOP;
    return false;
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
    if (link && !ChainTrusted(path)) return false;
    struct stat target;
    if (exists && stat(path, &target) == 0 && !S_ISREG(target.st_mode)) {
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
