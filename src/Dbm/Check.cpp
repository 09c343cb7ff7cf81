// The check walk: what a database file holds, read without changing it.
#include <sys/stat.h>

#include "Dbm/Dbm.h"

bool DbmCheckFile(const char* name, DbCheckReport* report) {
    *report = {0, 0, 0, -1};
    char path[DB_PATH_SIZE];
    struct stat st;
    if (!name || !DbmFilePath(name, path, sizeof path) || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // Kept (no re-read) and deferred: the walk may cut the image, never the file.
    DbTHandle* h = DbTOpen(name, DB_KEEP | DB_DEFER);
    if (!h) return false;
    report->format = int(h->dbType);
    report->headerCount = h->dbType == DB_TYPE_HEADED ? h->recordCount : 0;
    int32_t fullLen = h->imageLen;
    DbRecordView v;
    for (int more = DbmFirstRecord(h, &v); more; more = DbmNextRecord(h, &v)) report->records++;
    if (h->imageLen < fullLen) report->badOffset = h->imageLen;
    DbTClose(h);
    return true;
}
