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

// Makes every missing directory above the file path.
static void MakeParentDirs(const char* path) {
    char dir[DB_PATH_SIZE];
    snprintf(dir, sizeof dir, "%s", path);
    for (char* p = dir + 1; *p; p++) {
        if (*p != '/') continue;
        *p = 0;
        mkdir(dir, 0777);
        *p = '/';
    }
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
    char fresh[DB_PATH_SIZE];
    int n = snprintf(fresh, sizeof fresh, "%s_new", path);
    bool ok = n > 0 && n < int(sizeof fresh);
    if (ok) {
        MakeParentDirs(fresh);
        int fd = open(fresh, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        ok = fd >= 0;
        if (ok) {
            ok = WriteAll(fd, bytes, len);
            ok = close(fd) == 0 && ok;
            if (ok) ok = rename(fresh, path) == 0;
            if (!ok) unlink(fresh);
        }
    }
    if (!ok) fprintf(stderr, "ERROR: Can't write to %s\n", name);
    return ok;
}

int DbmTArchiveDb(DbTHandle* h) {
    if (!h || !h->pName) return 0;
    if (h->dbType == DB_TYPE_HEADED && h->pImage && h->imageLen >= DB_HEADER_SIZE)
        DbmWriteHeader(h);
    char path[DB_PATH_SIZE];
    if (h->flUnread || !DbmFilePath(h->pName, path, sizeof path)) {
        fprintf(stderr, "ERROR: Can't write to %s\n", h->pName);
        return 0;
    }
    if (!DbmWriteReplacement(path, h->pImage, h->pImage ? h->imageLen : 0, h->pName)) return 0;
    // The file now holds the image: no re-read of our own write.
    struct stat st;
    if (stat(path, &st) == 0) {
        h->mtime = unsigned(st.st_mtim.tv_sec);
        h->mtimeNs = st.st_mtim.tv_nsec;
        h->fileSize = long(st.st_size);
        h->fileId = (unsigned long)(st.st_ino);
    }
    return 1;
}
