// Files written whole or not at all. A replacement is a new file beside its
// target, made exclusively so that nothing planted at its name is ever
// written into, given the target's mode and (as root) owner, and renamed
// over the target in one step: a reader sees the old file or the new one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "utils/utils.h"

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
bool OwnerTrusted(const char* path, const struct stat& node) {
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
bool PathTrusted(const char* path) {
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

bool ReplaceBegin(Replacement* r, const char* target, const char* suffix, mode_t newMode) {
    r->fd = -1;
    r->target[0] = r->temp[0] = '\0';
    if (!PathTrusted(target)) return false;
    // A symbolic link keeps pointing at the file it names: that file is the
    // one replaced.
    struct stat st;
    bool exists = lstat(target, &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (!realpath(target, r->target)) return false;
        exists = lstat(r->target, &st) == 0;
    } else if (snprintf(r->target, sizeof r->target, "%s", target) >= int(sizeof r->target)) {
        errno = ENAMETOOLONG;
        return false;
    }
    if (!exists && errno != ENOENT) return false;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = EINVAL;  // a FIFO, device or directory is never replaced
        return false;
    }
    if (snprintf(r->temp, sizeof r->temp, "%s%s", r->target, suffix) >= int(sizeof r->temp)) {
        errno = ENAMETOOLONG;
        return false;
    }
    // Whatever lies at the temporary name goes first; a rival's file made in
    // between makes the exclusive open fail rather than be written into.
    if (unlink(r->temp) != 0 && errno != ENOENT) return false;
    r->fd = open(r->temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                 exists ? 0600 : newMode);
    if (r->fd < 0) return false;
    if (exists) {
        // The owner first: fchown clears set-id bits, which fchmod restores.
        if ((geteuid() == 0 && fchown(r->fd, st.st_uid, st.st_gid) != 0) ||
            fchmod(r->fd, st.st_mode & 07777) != 0) {
            const int e = errno;
            ReplaceAbort(r);
            errno = e;
            return false;
        }
    }
    return true;
}

bool ReplaceCommit(Replacement* r, bool durable) {
    if (r->fd < 0) {
        errno = EBADF;
        return false;
    }
    bool ok = !durable || fsync(r->fd) == 0;
    ok = close(r->fd) == 0 && ok;
    r->fd = -1;
    ok = ok && rename(r->temp, r->target) == 0;
    if (!ok) {
        const int e = errno;
        unlink(r->temp);
        errno = e;
    }
    return ok;
}

void ReplaceAbort(Replacement* r) {
    if (r->fd >= 0) close(r->fd);
    r->fd = -1;
    if (r->temp[0]) unlink(r->temp);
}
