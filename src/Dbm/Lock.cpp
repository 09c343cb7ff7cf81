// The writers' lock. Every write of a database file happens under an
// exclusive flock on the database file itself, taken before the file is
// re-read and held until the replacement has been renamed into place. The
// rename puts a new file at the path, so a writer that waited on the old
// one finds, once it holds the lock, that the path names another file: it
// lets go and locks the file that is there now. No lock file is made beside
// the database, so nothing planted in a shared directory can stand in for
// the lock. Readers take no lock: they see the old file or the new one.
// A writer waits for the lock at most iDbmLockWait seconds: anyone who can
// read a database can lock it, and a writer must not hang on that for ever.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Dbm/Dbm.h"

constexpr int DB_LOCK_TRIES = 1000;  // replacements a waiting writer follows
int iDbmLockWait = 60;

// flock(LOCK_EX), tried until iDbmLockWait seconds have gone by (checks 10
// ms apart at first, then 100 ms); EWOULDBLOCK when the time is up.
static int LockWithin(int fd) {
    struct timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (int tries = 0;; tries++) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return -1;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long waitedMs = (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
        if (waitedMs >= iDbmLockWait * 1000L) {
            errno = EWOULDBLOCK;
            return -1;
        }
        const struct timespec pause = {0, (tries < 50 ? 10 : 100) * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

void DbmMakeParentDirs(const char* path) {
    char dir[DB_PATH_SIZE];
    snprintf(dir, sizeof dir, "%s", path);
    for (char* p = dir + 1; *p; p++) {
        if (*p != '/') continue;
        *p = 0;
        mkdir(dir, 0777);
        *p = '/';
    }
}

// The descriptor holding the lock; -1 with errno when the path is no
// regular file or cannot be locked. A database that does not exist yet has
// no file to lock: its directory is locked instead, and a writer that finds
// the file there once it holds that lock turns to the file.
static int LockPath(const char* path) {
    for (int attempt = 0; attempt < DB_LOCK_TRIES; attempt++) {
        // O_NONBLOCK: a FIFO put at the path must not stop the writer here.
        int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        bool dir = false;
        if (fd < 0 && errno == ENOENT) {
            DbmMakeParentDirs(path);
            char parent[DB_PATH_SIZE];
            snprintf(parent, sizeof parent, "%s", path);
            char* slash = strrchr(parent, '/');
            if (!slash) snprintf(parent, sizeof parent, ".");
            else slash[slash == parent ? 1 : 0] = 0;
            fd = open(parent, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            dir = true;
        }
        if (fd < 0) return -1;
        struct stat held, now;
        if (fstat(fd, &held) != 0 || (!dir && !S_ISREG(held.st_mode))) {
            close(fd);
            errno = EINVAL;
            return -1;
        }
        if (LockWithin(fd) != 0) {
            const int e = errno;
            close(fd);
            errno = e;
            return -1;
        }
        int found = stat(path, &now);
        if (dir ? found != 0 && errno == ENOENT
                : found == 0 && now.st_dev == held.st_dev && now.st_ino == held.st_ino)
            return fd;
        close(fd);  // made or replaced while we waited
    }
    errno = EAGAIN;
    return -1;
}

bool DbmBeginWrite(DbTHandle* h) {
    if (h->lockFd >= 0) return true;
    char path[DB_PATH_SIZE];
    if (!DbmFilePath(h->pName, path, sizeof path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    int fd = LockPath(path);
    if (fd >= 0) {
        h->lockFd = fd;
        // Under the lock the file holds every record the other writers put.
        DbTUpDate(h);
        if (!h->flUnread && h->damagedAt < 0) return true;
        DbmEndWrite(h);
        errno = EIO;
    }
    const int e = errno;
    DbmWriteFailed(h->pName);
    errno = e;
    return false;
}

void DbmEndWrite(DbTHandle* h) {
    if (h->lockFd < 0) return;
    close(h->lockFd);  // lets go of the lock
    h->lockFd = -1;
}
