// The file-level operations: each opens the database file through a handle
// of its own, does one thing and writes the file back. New files made here
// are headerless; a headed file keeps its format.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

void DbmSetV4DriverPathHandling() { flDbmPathMode = true; }
void DbmCreate() {}
void DbmDelete() {}

static bool FileExists(const char* name) {
    char path[DB_PATH_SIZE];
    struct stat st;
    return DbmFilePath(name, path, sizeof path) && stat(path, &st) == 0;
}

// A handle that neither re-reads nor writes by itself.
static DbTHandle* OpenFileHandle(const char* name) {
    DbTHandle* h = DbTOpen(name, DB_KEEP | DB_DEFER);
    if (h && h->dbType == DB_TYPE_NEW) {
        DbTSetDbType(h, DB_TYPE_HEADERLESS);
        h->imageLen = 0;  // no header in this format
    }
    return h;
}

// The same for a write: the lock is taken and the file read under it; none
// when the file cannot be written (no regular file, damaged, unreadable).
static DbTHandle* OpenForWrite(const char* name) {
    DbTHandle* h = DbTOpen(name, DB_KEEP | DB_DEFER);
    if (!h) return nullptr;
    if (!DbmBeginWrite(h)) {
        const int e = errno;
        bool pathMode = flDbmPathMode;
        DbTClose(h);
        flDbmPathMode = pathMode;
        errno = e;
        return nullptr;
    }
    if (h->dbType == DB_TYPE_NEW) {
        DbTSetDbType(h, DB_TYPE_HEADERLESS);
        h->imageLen = 0;
    }
    return h;
}

// Closes without leaving path mode, which lasts until a handle of the
// application is closed.
static void CloseFileHandle(DbTHandle* h) {
    bool pathMode = flDbmPathMode;
    DbTClose(h);
    flDbmPathMode = pathMode;
}

int DbmPutRecord(const char* name, const char* key, const void* data, int n) {
    if (!name || !key || !data || n <= 0) return 0;
    DbTHandle* h = OpenForWrite(name);
    if (!h) return 0;
    int ok = DbmTPutRecord(h, key, data, n) && DbmTArchiveDb(h);
    CloseFileHandle(h);
    return ok;
}

static int DeleteFromFile(const char* name, const char* key, bool prefix) {
    if (!name || !key || !key[0] || !FileExists(name)) return 0;
    DbTHandle* h = OpenForWrite(name);
    if (!h) return 0;
    int ok = !DbmPurgeImage(h, key, prefix) || DbmTArchiveDb(h);
    CloseFileHandle(h);
    return ok;
}

int DbmDeleteRecord(const char* name, const char* key) { return DeleteFromFile(name, key, false); }

int DbmDeleteRecords(const char* name, const char* prefix) {
    return DeleteFromFile(name, prefix, true);
}

int DbmGetRecord(const char* name, const char* key, void* dest) {
    if (!name || !key || !dest || !FileExists(name)) return 0;
    DbTHandle* h = OpenFileHandle(name);
    int n = DbmTGetRecord(h, key, dest);
    CloseFileHandle(h);
    return n;
}

int DbmGetRecordSize(const char* name, const char* key) {
    if (!name || !key || !FileExists(name)) return 0;
    DbTHandle* h = OpenFileHandle(name);
    int n = DbmTGetRecordSize(h, key);
    CloseFileHandle(h);
    return n;
}

int DbmGetNextRecord(const char* name, void* dest) {
    static int next = 0;  // shared by every database, never reset
    if (!name || !dest || !FileExists(name)) return 0;
    DbTHandle* h = OpenFileHandle(name);
    if (!h) return 0;
    DbRecordView v;
    int ok = DbmFirstRecord(h, &v);
    for (int i = 0; ok && i < next; i++) ok = DbmNextRecord(h, &v);
    int n = 0;
    if (ok) {
        n = DbmRecordData(h, &v, dest);
        next++;
    }
    CloseFileHandle(h);
    return n;
}

char* DbmGetRecordList(const char* name, const char* separator, const char* end) {
    if (!name || !separator || !end || !FileExists(name)) return nullptr;
    DbTHandle* h = OpenFileHandle(name);
    char* list = DbmTGetRecordList(h, separator, end);
    CloseFileHandle(h);
    return list;
}

int DbmCopyRecord(const char* name, const char* from, const char* to) {
    if (!name || !from || !to) return 0;
    MemHold<char> buffer(static_cast<char*>(GetMem(DB_COPY_SIZE)));
    if (!buffer) return 0;
    int n = DbmGetRecord(name, from, buffer.get());
    return n > 0 ? DbmPutRecord(name, to, buffer.get(), n) : 0;
}

DbRecordLink* DbmGetDbLinkList(const char* name, const char* pattern) {
    if (!name || !pattern || !FileExists(name)) return nullptr;
    DbTHandle* h = OpenFileHandle(name);
    DbRecordLink* list = DbmTGetDbLinkList(h, pattern);
    CloseFileHandle(h);
    return list;
}

char* DbmGetDbList(int style) {
    char* list = SaveStr_("");
    DIR* dir = opendir("db");
    if (!dir) return list;
    while (dirent* entry = readdir(dir)) {
        const char* dot = strchr(entry->d_name, '.');
        if (!dot || dot == entry->d_name || strcmp(dot, ".qdb") != 0) continue;
        int len = int(dot - entry->d_name);
        const char* sep = style == 1 ? " " : list[0] ? "," : "";
        char* longer = SaveStr("%s%s%.*s", list, sep, len, entry->d_name);
        PutMem(list);
        list = longer;
    }
    closedir(dir);
    return list;
}

void DumpDbm(const char* name) {
    if (!name) return;
    char path[DB_PATH_SIZE];
    int n = snprintf(path, sizeof path, name[0] == '/' || name[0] == '.' ? "%s.db" : "./%s.db", name);
    struct stat st;
    if (n < 0 || n >= int(sizeof path) || stat(path, &st) != 0) {
        fprintf(stderr, common_114, path);
        return;
    }
    bool pathMode = flDbmPathMode;
    flDbmPathMode = true;
    DbTHandle* h = OpenFileHandle(path);
    flDbmPathMode = pathMode;
    if (!h) return;
    MemHold<char> data(static_cast<char*>(GetMem(DB_COPY_SIZE)));
    DbRecordView v;
    for (int ok = DbmFirstRecord(h, &v); ok && data; ok = DbmNextRecord(h, &v)) {
        printf("%i %i ==>{", v.L, v.K);
        int keyLen = v.pKey ? v.K : 0;
        for (int i = 0; i < keyLen; i++) putchar(isprint(uint8_t(v.pKey[i])) ? v.pKey[i] : '.');
        int len = DbmRecordData(h, &v, data.get());
        for (int i = 0; i < len; i++) putchar(isprint(uint8_t(data[i])) ? data[i] : '.');
        printf("}\n");
    }
    CloseFileHandle(h);
}
