// Writing a database: the whole image goes to a replacement file beside the
// database file, which is then renamed over it in one step, so a reader sees
// either the old file or the new one and a failed write leaves the old file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Dbm/Dbm.h"
#include "utils/utils.h"

bool flDbmQuiet = false;

void DbmWriteFailed(const char* name) {
    const int e = errno;
    if (!flDbmQuiet) fprintf(stderr, "ERROR: Can't write to %s\n", name);
    errno = e;
}

static bool WriteAll(int fd, const uint8_t* bytes, int32_t len) {
    while (len > 0) {
        ssize_t w = write(fd, bytes, size_t(len));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        bytes += w;
        len -= int32_t(w);
    }
    return true;
}

bool DbmWriteReplacement(const char* path, const uint8_t* bytes, int32_t len, const char* name) {
    DbmMakeParentDirs(path);
    // A new file at PATH_new, made exclusively; the database's mode and
    // owner go over to it before it is renamed into place.
    Replacement r;
    bool ok = ReplaceBegin(&r, path, "_new", 0666);
    if (ok) {
        ok = WriteAll(r.fd, bytes, len);
        if (ok) {
            ok = ReplaceCommit(&r, false);
        } else {
            const int e = errno;
            ReplaceAbort(&r);
            errno = e;
        }
    }
    if (!ok) {
        const int e = errno;
        DbmWriteFailed(name);
        errno = e;
    }
    return ok;
}

int DbmTArchiveDb(DbTHandle* h) {
    if (!h || !h->pName) return 0;
    char path[DB_PATH_SIZE];
    // Under the lock; taken here (and the file re-read) when no change holds it.
    if (!DbmFilePath(h->pName, path, sizeof path)) {
        DbmWriteFailed(h->pName);
        errno = ENAMETOOLONG;
        return 0;
    }
    if (!DbmBeginWrite(h)) return 0;
    if (h->dbType == DB_TYPE_HEADED && h->pImage && h->imageLen >= DB_HEADER_SIZE)
        DbmWriteHeader(h);
    bool ok = DbmWriteReplacement(path, h->pImage, h->pImage ? h->imageLen : 0, h->pName);
    // The file now holds the image: no re-read of our own write.
    struct stat st;
    if (ok && stat(path, &st) == 0) DbmKeepIdentity(h, st);
    DbmEndWrite(h);
    return ok ? 1 : 0;
}
