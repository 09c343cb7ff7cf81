// The check walk: what a database file holds, read without changing it, and
// the salvage of the records that lie before a damaged one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Dbm/Dbm.h"

// A handle that reads the file once, never re-reads and never writes.
static DbTHandle* OpenChecked(const char* name, DbCheckReport* report) {
    *report = {0, 0, 0, -1};
    char path[DB_PATH_SIZE];
    struct stat st;
    if (!name || !DbmFilePath(name, path, sizeof path) || stat(path, &st) != 0) return nullptr;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return nullptr;
    }
    DbTHandle* h = DbTOpen(name, DB_KEEP | DB_DEFER);
    if (!h) return nullptr;
    report->format = int(h->dbType);
    report->headerCount = h->dbType == DB_TYPE_HEADED ? h->recordCount : 0;
    report->badOffset = h->damagedAt;
    DbRecordView v;
    for (int more = DbmFirstRecord(h, &v); more; more = DbmNextRecord(h, &v)) report->records++;
    return h;
}

bool DbmCheckFile(const char* name, DbCheckReport* report) {
    DbTHandle* h = OpenChecked(name, report);
    if (!h) return false;
    DbTClose(h);
    return true;
}

bool DbmSalvageFile(const char* name, const char* out, DbCheckReport* report) {
    DbTHandle* h = OpenChecked(name, report);
    if (!h) return false;
    if (h->dbType == DB_TYPE_HEADED && h->imageLen >= DB_HEADER_SIZE) {
        h->recordCount = int32_t(report->records);
        DbmWriteHeader(h);
    }
    bool ok = false;
    int fd = open(out, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0) {
        const uint8_t* p = h->pImage;
        int32_t left = h->pImage ? h->imageLen : 0;
        ok = true;
        while (ok && left > 0) {
            ssize_t w = write(fd, p, size_t(left));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) {
                p += w;
                left -= int32_t(w);
            }
        }
        ok = close(fd) == 0 && ok;
        if (!ok) {
            const int e = errno;
            unlink(out);
            errno = e;
        }
    }
    // Reads only: closing writes nothing back.
    DbTClose(h);
    return ok;
}
