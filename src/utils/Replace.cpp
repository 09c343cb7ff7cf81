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

bool ReplaceBegin(Replacement* r, const char* target, const char* suffix, mode_t newMode) {
    r->fd = -1;
    r->target[0] = r->temp[0] = '\0';
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
